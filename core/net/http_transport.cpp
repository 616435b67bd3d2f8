// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/net/http_transport.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <mutex>
#include <stdexcept>

namespace kelvarn {
namespace {

// Bytes of headers and body received so far.
curl_off_t bytesIn(CURL* easy) {
    curl_off_t body = 0;
    long headers = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &body);
    curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &headers);
    return body + headers;
}

}  // namespace

CURL* newHandle(const HttpLimits& limits, Redirects redirects) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        throw std::runtime_error("cannot start an HTTP session");
    }
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    if (redirects == Redirects::Follow) {
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    }
    return curl;
}

bool isSuccess(long status) {
    return status >= 200 && status < 300;
}

HttpError notSuccess(const std::string& address, long status, HttpFailure failure) {
    failure.status = static_cast<int>(status);
    return HttpError(address, "the server answered " + std::to_string(status), failure);
}

bool endsHeaders(std::string_view line) {
    return line == "\r\n" || line == "\n";
}

std::optional<std::string_view> finalHeader(CURL* curl, const char* name) {
    curl_header* header = nullptr;
    if (curl_easy_header(curl, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK) {
        return std::nullopt;
    }
    return std::string_view(header->value);
}

int retryAfterOf(CURL* curl) {
    const std::optional<std::string_view> header = finalHeader(curl, "Retry-After");
    curl_off_t seconds = 0;
    if (!header || curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &seconds) != CURLE_OK) {
        return -1;
    }
    if (seconds > 0) {
        return static_cast<int>(std::min<curl_off_t>(seconds, INT_MAX));
    }
    return *header == "0" ? 0 : -1;
}

CURLcode performWatched(CURLM* multi, CURL* easy, const Watch& watch) {
    using Clock = std::chrono::steady_clock;
    curl_multi_add_handle(multi, easy);
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    bool holding = false;
    // The last moment the transfer had made kStallBytes of progress, and its count then: a
    // server that trickles a byte now and then stalls as surely as a silent one.
    curl_off_t mark = 0;
    Clock::time_point markedAt = Clock::now();
    // Since when the answer has been waited for, a pause not counted.
    Clock::time_point askedAt = markedAt;
    for (;;) {
        bool pause = watch.paused != nullptr && watch.paused->load();
        if (pause != holding) {
            curl_easy_pause(easy, pause ? CURLPAUSE_ALL : CURLPAUSE_CONT);
            holding = pause;
        }
        if (!holding && watch.pace != nullptr && watch.pace->release()) {
            curl_easy_pause(easy, CURLPAUSE_CONT);
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                    result = message->data.result;
                }
            }
            break;
        }
        if (watch.stop != nullptr && watch.stop->load()) {
            break;
        }
        const curl_off_t now = bytesIn(easy);
        const Clock::time_point at = Clock::now();
        if (holding) {
            askedAt = at;
        }
        if (now - mark >= HttpLimits::kStallBytes || holding) {
            mark = now;
            markedAt = at;
        } else if (at - markedAt >= std::chrono::seconds(watch.stallSeconds)) {
            result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        if (watch.answered != nullptr && !*watch.answered &&
            at - askedAt >= std::chrono::seconds(watch.answerSeconds)) {
            result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        // A piece held for the cap goes on as soon as it may.
        const long held = watch.pace != nullptr ? watch.pace->heldMilliseconds() : -1;
        const int wait = held >= 0
                             ? static_cast<int>(std::min<long>(held, kStopCheckMilliseconds)) + 1
                             : kStopCheckMilliseconds;
        curl_multi_poll(multi, nullptr, 0, wait, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

CURLcode performReusing(CURLM* multi, CURL* easy, const Watch& watch) {
    CURLcode rc = performWatched(multi, easy, watch);
    long status = 0;
    long connects = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &connects);
    if (rc == CURLE_OK || rc == CURLE_ABORTED_BY_CALLBACK || rc == CURLE_OPERATION_TIMEDOUT ||
        status != 0 || connects != 0) {
        return rc;
    }
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    rc = performWatched(multi, easy, watch);
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 0L);
    return rc;
}

HttpFailure failureOf(CURLcode rc, long status) {
    HttpFailure failure;
    failure.status = static_cast<int>(status);
    using Kind = HttpFailure::Kind;
    if (rc == CURLE_TOO_MANY_REDIRECTS) {
        failure.kind = Kind::RedirectLoop;
    } else if (rc == CURLE_UNSUPPORTED_PROTOCOL && status != 0) {
        failure.kind = Kind::ErrorAnswer;  // a redirect to where the program does not go
    } else if (rc == CURLE_OPERATION_TIMEDOUT) {
        failure.kind = Kind::Stalled;
    } else {
        failure.kind = status == 0 ? Kind::NoConnection : Kind::Cut;
    }
    return failure;
}

}  // namespace kelvarn
