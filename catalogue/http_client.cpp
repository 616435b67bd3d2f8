#include "catalogue/http_client.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace kelvarn {
namespace {

constexpr long kConnectTimeoutSeconds = 20;
// A transfer that moves no byte for this long has stalled.
constexpr long kStallSeconds = 60;

CURL* newHandle() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        throw std::runtime_error("cannot start an HTTP session");
    }
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    return curl;
}

struct Headers {
    curl_slist* list = nullptr;
    ~Headers() { curl_slist_free_all(list); }
    void add(const char* line) { list = curl_slist_append(list, line); }
};

size_t collectBody(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t refuseBody(char*, size_t, size_t, void*) {
    return 0;
}

int checkStop(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* stop = static_cast<const std::atomic<bool>*>(flag);
    return stop != nullptr && stop->load() ? 1 : 0;
}

bool isSuccess(long status) {
    return status >= 200 && status < 300;
}

}  // namespace

std::string fetchListPage(const std::string& address, const std::atomic<bool>* stop) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(newHandle(), curl_easy_cleanup);
    Headers headers;
    headers.add("Accept: text/html, */*");
    headers.add("User-Agent: Mozilla/3.0 (compatible; Indy Library)");
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, checkStop);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, stop);
    curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
    CURLcode rc = curl_easy_perform(curl.get());
    if (rc != CURLE_OK) {
        throw HttpError(address, curl_easy_strerror(rc));
    }
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (!isSuccess(status)) {
        throw HttpError(address, "the server answered " + std::to_string(status));
    }
    return body;
}

SizeQuery::SizeQuery() : curl_(newHandle()) {
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, refuseBody);
    curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, 5L);
}

SizeQuery::~SizeQuery() {
    curl_easy_cleanup(curl_);
}

std::int64_t SizeQuery::contentLength(const std::string& address) {
    // Straight from the server, never from a cache on the way.
    Headers headers;
    headers.add("Cache-Control: no-cache");
    headers.add("Pragma: no-cache");
    curl_easy_setopt(curl_, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers.list);
    CURLcode rc = curl_easy_perform(curl_);
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, nullptr);
    // Refusing the first body byte ends the transfer with a write error: the headers are in.
    if (rc != CURLE_OK && rc != CURLE_WRITE_ERROR) {
        return 0;
    }
    long status = 0;
    curl_off_t length = -1;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return isSuccess(status) && length > 0 ? static_cast<std::int64_t>(length) : 0;
}

}  // namespace kelvarn
