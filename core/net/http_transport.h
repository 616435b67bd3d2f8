// SPDX-License-Identifier: GPL-3.0-or-later
// The transport under every request of http_client: the one way a libcurl handle is made, the
// loop that drives a transfer on a run's connections while it watches for stalls, stops, pauses
// and the bandwidth cap, the connection tried again when one left open had gone, and what a
// failed transfer was. Inside core/net only.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "core/net/http_client.h"
#include "core/net/pacing.h"

namespace kelvarn {

// How often a transfer waiting on a silent server looks at its stop flag.
inline constexpr int kStopCheckMilliseconds = 100;

enum class Redirects { Refuse, Follow };

// The one place a request's protocols and redirects are set: the web's own protocols only, for
// the address given and for any it is sent on to.
CURL* newHandle(const HttpLimits& limits, Redirects redirects);

struct Headers {
    curl_slist* list = nullptr;
    ~Headers() { curl_slist_free_all(list); }
    void add(const char* line) { list = curl_slist_append(list, line); }
};

bool isSuccess(long status);

// An answer that is no success, as the error it is.
HttpError notSuccess(const std::string& address, long status, HttpFailure failure = {});

bool endsHeaders(std::string_view line);

// The header `name` of the answer last received (after any redirects), as libcurl keeps it.
std::optional<std::string_view> finalHeader(CURL* curl, const char* name);

// The final answer's Retry-After in seconds, a date counted from now; -1 when it asks for no
// wait: no such header, or a negative number, garbage or a date gone by. libcurl keeps a
// redirect's wait through the answers after it, so only an answer with the header counts, and
// it says 0 for garbage too, so 0 counts only when the header says so.
int retryAfterOf(CURL* curl);

// What a transfer in progress watches besides the server.
struct Watch {
    const std::atomic<bool>* stop = nullptr;
    const std::atomic<bool>* paused = nullptr;
    long stallSeconds = 60;
    Pace* pace = nullptr;
    // Set once the final answer's headers are in; until then `answerSeconds` runs.
    const bool* answered = nullptr;
    long answerSeconds = 0;
};

// Runs one transfer to its end on `multi`, which keeps the connection for the next one. The
// transfer is driven here rather than by curl_easy_perform so that a stop or a pause is seen
// within kStopCheckMilliseconds even while the server sends nothing at all, and so that a stall
// means exactly what it says: no byte for the stall limit, a pause not counted.
CURLcode performWatched(CURLM* multi, CURL* easy, const Watch& watch);

// Runs a request as performWatched does; one that got no answer over a connection an earlier
// request left open is run again at once over a new one. The server may have closed it since,
// or sent a body with its answer to a HEAD, left on the connection to be read as the next
// answer. A stall or a stop is not run again.
CURLcode performReusing(CURLM* multi, CURL* easy, const Watch& watch);

// A request that ended without a whole answer.
HttpFailure failureOf(CURLcode rc, long status);

}  // namespace kelvarn
