// SPDX-License-Identifier: GPL-3.0-or-later
// HTTP over libcurl: the site's list page, the size queries and the file transfers. Calls block;
// the import and the downloader make them on their worker threads, and a stop flag ends a call at
// once.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

typedef void CURL;
typedef void CURLM;

namespace kelvarn {

// Why a request failed: what the user is told, and whether trying again may help.
struct HttpFailure {
    enum class Kind {
        NoConnection,  // none could be made, or it broke before any answer
        Stalled,       // no answer in time, or one that came too slowly
        Cut,           // the answer broke off, or ended short of its length
        ErrorAnswer,   // the server answered, with a status that is no success
        RedirectLoop,
        LongBody,  // the body ran past the length the server announced
    };
    Kind kind = Kind::ErrorAnswer;
    int status = 0;  // the HTTP status of the answer; 0 when none came whole
    // The answer's Retry-After in seconds, a date counted from now; -1 when it asks for no wait.
    int retryAfter = -1;

    // Worth another try: the network failed, the server was overloaded or asked to wait.
    bool retryable() const {
        return kind == Kind::NoConnection || kind == Kind::Stalled || kind == Kind::Cut ||
               status >= 500 || status == 429;
    }
    // The site did not answer at all.
    bool silent() const { return kind == Kind::NoConnection || kind == Kind::Stalled; }
};

// A request that failed: the address and what went wrong.
class HttpError : public std::runtime_error {
public:
    HttpError(std::string address, const std::string& message, HttpFailure failure = {})
        : std::runtime_error(address + ": " + message),
          address_(std::move(address)),
          failure_(failure) {}
    const std::string& address() const { return address_; }
    const HttpFailure& failure() const { return failure_; }

private:
    std::string address_;
    HttpFailure failure_;
};

// How long a request may take. Every transfer also ends within a tenth of a second of its stop
// flag being set, whatever the server does.
struct HttpLimits {
    long connectSeconds = 20;
    // A file transfer's answer, its status and headers whole, within this long: a silent site
    // is known in half a minute.
    long answerSeconds = 30;
    // Fewer than kStallBytes in this long: the transfer has stalled, however it trickles.
    long stallSeconds = 60;
    static constexpr std::int64_t kStallBytes = 1024;
    long sizeQuerySeconds = 30;  // the whole of one size query, however slowly headers trickle in
    // What a run's file transfers receive per second at most, all together; 0 sets no cap. Size
    // queries and the list page are not held back.
    std::int64_t maxBytesPerSecond = 0;
};

// The open connections of one run. Every SizeQuery and FileTransfer made on it takes a connection
// to the same server left open by another before it opens one, so a run's size queries and
// transfers go over one connection where the server keeps it alive. A request that gets no
// answer over a connection left open is sent again at once over a new one. One thread at a time.
class HttpConnections {
public:
    HttpConnections();
    ~HttpConnections();
    HttpConnections(const HttpConnections&) = delete;
    HttpConnections& operator=(const HttpConnections&) = delete;

    CURLM* multi() const { return multi_; }

private:
    CURLM* multi_;
};

// One GET of the list page, with the request headers the site expects; the body of a 2xx answer.
// Any other answer (a redirect included), no connection, a stall or a stop is an HttpError.
std::string fetchListPage(const std::string& address, const std::atomic<bool>* stop = nullptr,
                          const HttpLimits& limits = {});

// What a size query found.
struct SizeAnswer {
    std::int64_t bytes = 0;  // 0 when there is none
    int status = 0;          // the final answer's HTTP status; 0 when none came
    HttpFailure failure;     // why there is no size, when the query failed
    std::string error;       // the address and what went wrong, when the query failed
};

// Asks for file sizes: the Content-Length of a HEAD's answer. Some sites answer HEAD otherwise
// than GET (405 or 501, a 404, no length), so an answer that gives no size is asked again with a
// GET whose body is not read, and that answer stands; only a busy site's answer (429, 503) and
// no answer at all stand without one. So a 404, 410 or a success without a length is always
// the GET's. `connections` must outlive the object.
class SizeQuery {
public:
    explicit SizeQuery(HttpConnections& connections, const std::atomic<bool>* stop = nullptr,
                       const HttpLimits& limits = {});
    ~SizeQuery();
    SizeQuery(const SizeQuery&) = delete;
    SizeQuery& operator=(const SizeQuery&) = delete;

    // The size the server announces for the address, in bytes; 0 when there is none: no
    // answer, an answer that is not 2xx (after up to five redirects), no Content-Length, or a
    // stop.
    SizeAnswer contentLength(const std::string& address);

private:
    enum class Method { Head, Get };
    SizeAnswer ask(const std::string& address, Method method);

    CURLM* multi_;
    CURL* curl_;
    const std::atomic<bool>* stop_;
    long stallSeconds_;
};

class Pace;

// Fetches mix files: a GET whose answer decides, its body handed over as it arrives, in pieces of
// up to kLargestPiece bytes (and of a quarter of a second's worth under a cap). The requests name
// the program (User-Agent: the executable's file name). While `paused` is set the transfer holds
// still, its connection kept and the stall limit not running; `stop` ends it. Under a cap, what
// one fetch received is paid for before the next one starts. `connections` must outlive the
// object.
class FileTransfer {
public:
    static constexpr std::size_t kLargestPiece = std::size_t{512} * 1024;

    FileTransfer(HttpConnections& connections, const std::atomic<bool>* stop,
                 const std::atomic<bool>* paused, const HttpLimits& limits = {});
    ~FileTransfer();
    FileTransfer(const FileTransfer&) = delete;
    FileTransfer& operator=(const FileTransfer&) = delete;

    enum class Outcome {
        Complete,  // the body has arrived whole: to its length, or to its end when it has none
        Stopped,
        Restart,  // the server would not resume from `from`: ask again from the start
    };

    // What the final answer's headers said, before the first byte of its body.
    struct Answer {
        std::int64_t start = 0;   // where the body begins in the file: `from`, or 0 for all of it
        std::int64_t total = -1;  // the whole file's length; -1 when the answer gives none
        std::string contentType;  // as the site labels the body; empty when it does not
    };

    // Fetches the address, from byte `from` on when it is above 0 (a range request). Before the
    // first piece `started` learns what the answer said: the body begins at `from` when the
    // server resumes there (a 206 for exactly the rest of the file, of `knownTotal` bytes when
    // that is not negative), at 0 when it sends the whole file instead (any other 2xx).
    // `receive` then gets each piece. Throws HttpError when the answer is not 2xx (after up to
    // five redirects), no answer comes within the answer limit, the connection breaks, no byte
    // comes for the stall limit, or the body ends short of or runs past its length; an
    // exception from `started` or `receive` ends the transfer and comes out as it is.
    Outcome fetch(const std::string& address, std::int64_t from, std::int64_t knownTotal,
                  const std::function<void(const Answer&)>& started,
                  const std::function<void(std::string_view piece)>& receive);

private:
    CURLM* multi_;
    CURL* curl_;
    const std::atomic<bool>* stop_;
    const std::atomic<bool>* paused_;
    long stallSeconds_;
    long answerSeconds_;
    std::string userAgent_;
    std::unique_ptr<Pace> pace_;
    // The socket receive buffer under a cap, which the socket callback is handed.
    int receiveBuffer_ = 0;
};

}  // namespace kelvarn
