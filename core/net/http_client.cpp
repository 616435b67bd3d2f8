// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/net/http_client.h"

#include <memory>

#include "core/net/http_transport.h"

namespace kelvarn {
namespace {

size_t collectBody(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t refuseBody(char*, size_t, size_t, void*) {
    return 0;
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

}  // namespace kelvarn
