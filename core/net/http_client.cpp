// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/net/http_client.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace kelvarn {

// Holds a run's transfers to their bandwidth cap, all together. Every byte received counts, the
// headers and a small file's whole body too: a piece that comes before what came earlier is paid
// for is held back (libcurl keeps it), and the next transfer waits its turn. No more than a
// tenth of a second's worth is saved up while nothing comes, and a piece is at most a quarter
// of a second's worth, so any 10 s receive within a few per cent of the cap.
class Pace {
public:
    using Clock = std::chrono::steady_clock;
    explicit Pace(std::int64_t bytesPerSecond) : rate_(static_cast<double>(bytesPerSecond)) {}

    // The largest piece a transfer under this cap takes; 1 KB is libcurl's smallest.
    static std::size_t pieceFor(std::int64_t bytesPerSecond, std::size_t largest) {
        if (bytesPerSecond <= 0) {
            return largest;
        }
        return static_cast<std::size_t>(
            std::clamp<std::int64_t>(bytesPerSecond / 4, 1024, static_cast<std::int64_t>(largest)));
    }

    // Bytes that came and could not be held back: the headers.
    void charge(std::size_t bytes) {
        if (rate_ > 0) {
            untilPaid();  // the time gone by is counted first
            credit_ -= static_cast<double>(bytes);
        }
    }
    // Whether a piece of `bytes` goes on now, counted when it does; held back when not.
    bool take(std::size_t bytes) {
        held_ = !paid();
        if (!held_ && rate_ > 0) {
            credit_ -= static_cast<double>(bytes);
        }
        return !held_;
    }
    // A piece held back that may go on now.
    bool release() {
        if (!held_ || !paid()) {
            return false;
        }
        held_ = false;
        return true;
    }
    // While a piece is held back, the milliseconds until it may go on; -1 when none is.
    long heldMilliseconds() { return held_ ? untilPaid() : -1; }
    // Waits until what came before is paid for; a stop ends the wait.
    void waitForTurn(const std::atomic<bool>* stop) {
        for (long wait; (wait = untilPaid()) > 0 && (stop == nullptr || !stop->load());) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(wait, 100L)));
        }
    }

private:
    bool paid() { return untilPaid() == 0; }
    long untilPaid() {
        if (rate_ <= 0) {
            return 0;
        }
        const Clock::time_point now = Clock::now();
        const std::chrono::duration<double> since = now - last_;
        credit_ = std::min(rate_ / 10, credit_ + rate_ * since.count());
        last_ = now;
        return credit_ >= 0 ? 0 : static_cast<long>(std::ceil(-credit_ * 1000 / rate_));
    }

    double rate_;
    double credit_ = 0;
    Clock::time_point last_ = Clock::now();
    bool held_ = false;
};

namespace {

// How often a transfer waiting on a silent server looks at its stop flag.
constexpr int kStopCheckMilliseconds = 100;

enum class Redirects { Refuse, Follow };

// The one place a request's protocols and redirects are set: the web's own protocols only, for
// the address given and for any it is sent on to.
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

struct Headers {
    curl_slist* list = nullptr;
    ~Headers() { curl_slist_free_all(list); }
    void add(const char* line) { list = curl_slist_append(list, line); }
};

bool isSuccess(long status) {
    return status >= 200 && status < 300;
}

// An answer that is no success, as the error it is.
HttpError notSuccess(const std::string& address, long status, HttpFailure failure = {}) {
    failure.status = static_cast<int>(status);
    return HttpError(address, "the server answered " + std::to_string(status), failure);
}

size_t collectBody(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t refuseBody(char*, size_t, size_t, void*) {
    return 0;
}

bool endsHeaders(std::string_view line) {
    return line == "\r\n" || line == "\n";
}

// The header `name` of the answer last received (after any redirects), as libcurl keeps it.
std::optional<std::string_view> finalHeader(CURL* curl, const char* name) {
    curl_header* header = nullptr;
    if (curl_easy_header(curl, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK) {
        return std::nullopt;
    }
    return std::string_view(header->value);
}

// The final answer's Retry-After in seconds, a date counted from now; -1 when it asks for no
// wait: no such header, or a negative number, garbage or a date gone by. libcurl keeps a
// redirect's wait through the answers after it, so only an answer with the header counts, and
// it says 0 for garbage too, so 0 counts only when the header says so.
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

size_t takeHeader(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Ends a size query's GET at the end of a successful answer's headers: the length is known by
// then, and a server that holds its body back must not keep us waiting for it.
size_t stopAfterSuccessHeaders(char* data, size_t size, size_t count, void* curl) {
    long status = 0;
    if (endsHeaders(std::string_view(data, size * count))) {
        curl_easy_getinfo(static_cast<CURL*>(curl), CURLINFO_RESPONSE_CODE, &status);
    }
    return isSuccess(status) ? 0 : size * count;
}

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

// Bytes of headers and body received so far.
curl_off_t bytesIn(CURL* easy) {
    curl_off_t body = 0;
    long headers = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &body);
    curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &headers);
    return body + headers;
}

// Runs one transfer to its end on `multi`, which keeps the connection for the next one. The
// transfer is driven here rather than by curl_easy_perform so that a stop or a pause is seen
// within kStopCheckMilliseconds even while the server sends nothing at all, and so that a stall
// means exactly what it says: no byte for the stall limit, a pause not counted.
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

// Runs a request as performWatched does; one that got no answer over a connection an earlier
// request left open is run again at once over a new one. The server may have closed it since,
// or sent a body with its answer to a HEAD, left on the connection to be read as the next
// answer. A stall or a stop is not run again.
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

// A request that ended without a whole answer.
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

// Whether a HEAD's answer stands for the file, without a GET after it: it gives the size, asks
// a busy site's wait (asking again at once would only add to the load), or is no answer at all
// (a GET would wait for the same silence).
bool headAnswerStands(const SizeAnswer& head) {
    return head.bytes > 0 || head.status == 0 || head.status == 429 || head.status == 503;
}

}  // namespace

HttpConnections::HttpConnections() : multi_(curl_multi_init()) {
    if (multi_ == nullptr) {
        throw std::runtime_error("cannot start an HTTP session");
    }
}

HttpConnections::~HttpConnections() {
    curl_multi_cleanup(multi_);
}

std::string fetchListPage(const std::string& address, const std::atomic<bool>* stop,
                          const HttpLimits& limits) {
    HttpConnections connections;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(newHandle(limits, Redirects::Refuse),
                                                             curl_easy_cleanup);
    Headers headers;
    headers.add("Accept: text/html, */*");
    headers.add("User-Agent: Mozilla/3.0 (compatible; Indy Library)");
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    CURLcode rc =
        performWatched(connections.multi(), curl.get(), {stop, nullptr, limits.stallSeconds});
    if (rc != CURLE_OK) {
        throw HttpError(address, curl_easy_strerror(rc), failureOf(rc, 0));
    }
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (!isSuccess(status)) {
        throw notSuccess(address, status);
    }
    return body;
}

SizeQuery::SizeQuery(HttpConnections& connections, const std::atomic<bool>* stop,
                     const HttpLimits& limits)
    : multi_(connections.multi()),
      curl_(newHandle(limits, Redirects::Follow)),
      stop_(stop),
      stallSeconds_(limits.stallSeconds) {
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, refuseBody);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, curl_);
    // The stall limit alone does not bound a server that sends its headers a byte at a time.
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT, limits.sizeQuerySeconds);
}

SizeQuery::~SizeQuery() {
    curl_easy_cleanup(curl_);
}

SizeAnswer SizeQuery::contentLength(const std::string& address) {
    SizeAnswer head = ask(address, Method::Head);
    return headAnswerStands(head) ? head : ask(address, Method::Get);
}

SizeAnswer SizeQuery::ask(const std::string& address, Method method) {
    // Straight from the server, never from a cache on the way.
    Headers headers;
    headers.add("Cache-Control: no-cache");
    headers.add("Pragma: no-cache");
    curl_easy_setopt(curl_, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers.list);
    // A HEAD ends with its headers and leaves the connection open; a GET is cut after them.
    if (method == Method::Head) {
        curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, takeHeader);
    } else {
        curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, stopAfterSuccessHeaders);
    }
    CURLcode rc = performReusing(multi_, curl_, {stop_, nullptr, stallSeconds_});
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, nullptr);
    SizeAnswer answer;
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    // Refusing the first body byte, or the end of the headers, ends the transfer with a write
    // error: the headers are in.
    if (rc != CURLE_OK && rc != CURLE_WRITE_ERROR) {
        // Whatever status a redirect on the way had, no final answer came; but a redirect the
        // program will not follow is the site's answer.
        answer.failure = failureOf(rc, rc == CURLE_UNSUPPORTED_PROTOCOL ? status : 0);
        answer.error = address + ": " + curl_easy_strerror(rc);
        return answer;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    answer.status = static_cast<int>(status);
    answer.bytes = isSuccess(status) && length > 0 ? static_cast<std::int64_t>(length) : 0;
    if (!isSuccess(status)) {
        answer.failure.status = answer.status;
        answer.failure.retryAfter = retryAfterOf(curl_);
        answer.error = notSuccess(address, status).what();
    }
    return answer;
}

namespace {

// What one fetch has received so far, and what went wrong inside a callback.
struct Receiving {
    CURL* curl = nullptr;
    const std::string* address = nullptr;
    const std::function<void(const FileTransfer::Answer&)>* started = nullptr;
    const std::function<void(std::string_view)>* receive = nullptr;
    Pace* pace = nullptr;
    std::int64_t from = 0;
    std::int64_t knownTotal = -1;
    bool answered = false;   // the final answer's headers are in
    bool bodyTaken = false;  // the answer is the file: its body goes to `receive`
    FileTransfer::Answer answer;
    std::int64_t received = 0;
    bool restart = false;
    std::exception_ptr failure;

    long status() const {
        long code = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
        return code;
    }
    HttpFailure failureOf(long code) const {
        HttpFailure result;
        result.status = static_cast<int>(code);
        result.retryAfter = retryAfterOf(curl);
        return result;
    }
};

struct ContentRange {
    std::int64_t first = 0, last = 0, total = 0;
};

// "bytes FIRST-LAST/TOTAL"; nothing for any other form, an unknown total among them.
std::optional<ContentRange> contentRange(std::optional<std::string_view> header) {
    constexpr std::string_view kUnit = "bytes ";
    if (!header || !header->starts_with(kUnit)) {
        return std::nullopt;
    }
    const char* at = header->data() + kUnit.size();
    const char* end = header->data() + header->size();
    ContentRange range;
    for (auto [value, after] : {std::pair{&range.first, '-'}, std::pair{&range.last, '/'},
                                std::pair{&range.total, '\0'}}) {
        auto [next, error] = std::from_chars(at, end, *value);
        if (error != std::errc() || (after != '\0' && (next == end || *next != after))) {
            return std::nullopt;
        }
        at = after != '\0' ? next + 1 : next;
    }
    if (at != end) {
        return std::nullopt;
    }
    return range;
}

// Whether a 206 answer holds exactly the rest of the file from `r.from` on.
bool resumesWhereAsked(const Receiving& r, curl_off_t length) {
    const std::optional<ContentRange> range = contentRange(finalHeader(r.curl, "Content-Range"));
    return range && range->first == r.from && range->last == range->total - 1 &&
           (r.knownTotal < 0 || range->total == r.knownTotal) &&
           (length < 0 || length == range->total - r.from);
}

// At the end of the final answer's headers, decides what its body is: the rest of the file from
// the range asked for when the server resumes exactly there, the whole file for any other
// success, nothing of it for an error answer.
size_t readTransferHeader(char* data, size_t size, size_t count, void* state) {
    auto& r = *static_cast<Receiving*>(state);
    r.pace->charge(size * count);
    if (!endsHeaders(std::string_view(data, size * count))) {
        return size * count;
    }
    const long code = r.status();
    if (code < 200 || (code >= 300 && code < 400)) {
        return size * count;  // an interim answer, or a redirect being followed
    }
    r.answered = true;
    if (r.from > 0 && code == 416) {
        r.restart = true;  // no range the server will give: start again
        return 0;
    }
    if (!isSuccess(code)) {
        return size * count;  // an error answer: its body is refused below
    }
    curl_off_t length = -1;
    curl_easy_getinfo(r.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (code == 206) {
        if (!resumesWhereAsked(r, length)) {
            r.restart = true;  // another range than the one asked for: start again
            return 0;
        }
        r.answer.start = r.from;
        r.answer.total = contentRange(finalHeader(r.curl, "Content-Range"))->total;
    } else {
        r.answer.start = 0;
        r.answer.total = length;
    }
    r.answer.contentType = std::string(finalHeader(r.curl, "Content-Type").value_or(""));
    r.bodyTaken = true;
    try {
        (*r.started)(r.answer);
    } catch (...) {
        r.failure = std::current_exception();
        return 0;
    }
    return size * count;
}

size_t receivePiece(char* data, size_t size, size_t count, void* state) {
    auto& r = *static_cast<Receiving*>(state);
    if (!r.pace->take(size * count)) {
        return CURL_WRITEFUNC_PAUSE;
    }
    const std::int64_t length = static_cast<std::int64_t>(size * count);
    try {
        // An error page is no file: nothing of it reaches the receiver.
        const long code = r.status();
        if (!r.bodyTaken) {
            throw notSuccess(*r.address, code, r.failureOf(code));
        }
        const std::int64_t total = r.answer.total;
        if (total >= 0 && r.answer.start + r.received + length > total) {
            HttpFailure failure = r.failureOf(code);
            failure.kind = HttpFailure::Kind::LongBody;
            throw HttpError(*r.address,
                            "the body runs past the announced " + std::to_string(total) + " bytes",
                            failure);
        }
        (*r.receive)(std::string_view(data, size * count));
    } catch (...) {
        r.failure = std::current_exception();
        return 0;
    }
    r.received += length;
    return size * count;
}

// Under a cap the socket takes in no more than a piece at a time, so the server is held back by
// the connection itself rather than filling the system's buffers ahead of the cap.
int limitReceiveBuffer(void* piece, curl_socket_t socket, curlsocktype) {
    const int bytes = static_cast<int>(reinterpret_cast<std::uintptr_t>(piece));
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    return CURL_SOCKOPT_OK;
}

// The running program's file name, without its folder.
std::string executableName() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("kelvarn") : exe.filename().string();
}

}  // namespace

FileTransfer::FileTransfer(HttpConnections& connections, const std::atomic<bool>* stop,
                           const std::atomic<bool>* paused, const HttpLimits& limits)
    : multi_(connections.multi()),
      curl_(newHandle(limits, Redirects::Follow)),
      stop_(stop),
      paused_(paused),
      stallSeconds_(limits.stallSeconds),
      answerSeconds_(limits.answerSeconds),
      userAgent_(executableName()),
      pace_(std::make_unique<Pace>(limits.maxBytesPerSecond)) {
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, receivePiece);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, readTransferHeader);
    curl_easy_setopt(curl_, CURLOPT_USERAGENT, userAgent_.c_str());
    const std::size_t piece = Pace::pieceFor(limits.maxBytesPerSecond, kLargestPiece);
    curl_easy_setopt(curl_, CURLOPT_BUFFERSIZE, static_cast<long>(piece));
    if (limits.maxBytesPerSecond > 0) {
        curl_easy_setopt(curl_, CURLOPT_SOCKOPTFUNCTION, limitReceiveBuffer);
        curl_easy_setopt(curl_, CURLOPT_SOCKOPTDATA, reinterpret_cast<void*>(piece));
    }
}

FileTransfer::~FileTransfer() {
    curl_easy_cleanup(curl_);
}

FileTransfer::Outcome FileTransfer::fetch(const std::string& address, std::int64_t from,
                                          std::int64_t knownTotal,
                                          const std::function<void(const Answer&)>& started,
                                          const std::function<void(std::string_view)>& receive) {
    Receiving state;
    state.curl = curl_;
    state.address = &address;
    state.started = &started;
    state.receive = &receive;
    state.pace = pace_.get();
    state.from = from;
    state.knownTotal = knownTotal;
    const std::string range = std::to_string(from) + "-";
    curl_easy_setopt(curl_, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl_, CURLOPT_RANGE, from > 0 ? range.c_str() : nullptr);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &state);
    pace_->waitForTurn(stop_);
    Watch watch{stop_, paused_, stallSeconds_, pace_.get(), &state.answered, answerSeconds_};
    CURLcode rc = performReusing(multi_, curl_, watch);
    if (state.failure) {
        std::rethrow_exception(state.failure);
    }
    if (state.restart) {
        return Outcome::Restart;
    }
    if (rc == CURLE_ABORTED_BY_CALLBACK && stop_ != nullptr && stop_->load()) {
        return Outcome::Stopped;
    }
    const long code = state.status();
    if (rc != CURLE_OK) {
        HttpFailure failure = failureOf(rc, code);
        failure.retryAfter = retryAfterOf(curl_);
        throw HttpError(address, curl_easy_strerror(rc), failure);
    }
    if (!state.bodyTaken) {
        throw notSuccess(address, code, state.failureOf(code));
    }
    const std::int64_t total = state.answer.start + state.received;
    if (state.answer.total >= 0 && total != state.answer.total) {
        HttpFailure failure = state.failureOf(code);
        failure.kind = HttpFailure::Kind::Cut;
        throw HttpError(address,
                        "the body ended after " + std::to_string(total) + " of " +
                            std::to_string(state.answer.total) + " bytes",
                        failure);
    }
    return Outcome::Complete;
}

}  // namespace kelvarn
