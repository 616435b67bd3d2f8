// HTTP over libcurl: the site's list page and the size queries. Calls block; the import and the
// downloader make them on their worker threads, and a stop flag ends a call at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

typedef void CURL;

namespace kelvarn {

// A request that failed: the address and what went wrong.
class HttpError : public std::runtime_error {
public:
    HttpError(std::string address, const std::string& message)
        : std::runtime_error(address + ": " + message), address_(std::move(address)) {}
    const std::string& address() const { return address_; }

private:
    std::string address_;
};

// One GET of the list page, with the request headers the site expects; the body of a 2xx answer.
// Any other answer (a redirect included), no connection, a stall or a stop is an HttpError.
std::string fetchListPage(const std::string& address, const std::atomic<bool>* stop = nullptr);

// Asks for file sizes: a GET whose body is not read, only the Content-Length of its answer. One
// object keeps its connection for the next query where the server allows it.
class SizeQuery {
public:
    SizeQuery();
    ~SizeQuery();
    SizeQuery(const SizeQuery&) = delete;
    SizeQuery& operator=(const SizeQuery&) = delete;

    // The size the server announces for the address, in bytes; 0 when there is none: no
    // answer, an answer that is not 2xx (after up to five redirects), or no Content-Length.
    std::int64_t contentLength(const std::string& address);

private:
    CURL* curl_;
};

}  // namespace kelvarn
