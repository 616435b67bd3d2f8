// SPDX-License-Identifier: GPL-3.0-or-later
// FileTransfer: a mix file's GET, its answer deciding what its body is.
#include <sys/socket.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "core/net/http_client.h"
#include "core/net/http_transport.h"

namespace kelvarn {

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
int limitReceiveBuffer(void* bytes, curl_socket_t socket, curlsocktype) {
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, bytes, sizeof(int));
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
        receiveBuffer_ = static_cast<int>(piece);
        curl_easy_setopt(curl_, CURLOPT_SOCKOPTDATA, &receiveBuffer_);
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
