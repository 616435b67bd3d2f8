// The HTTP client against a server that misbehaves on purpose: what a transfer hands over, where
// it says the body begins, how it says why it failed, and what a download run makes of it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

#include "core/catalogue/queue_file.h"
#include "core/downloader/download_run.h"
#include "core/net/http_client.h"
#include "core/net/site_address.h"
#include "core/sound/sound.h"
#include "core/storage/cp1251.h"
#include "core/storage/settings.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::CannedServer;
using Reply = CannedServer::Reply;

// Answers the requests in turn with `replies`, the last one again and again, and keeps them.
class Script {
public:
    explicit Script(std::vector<Reply> replies)
        : replies_(std::move(replies)), server_([this](const std::string& request) {
              std::lock_guard lock(mutex_);
              requests_.push_back(request);
              return replies_[std::min(requests_.size(), replies_.size()) - 1];
          }) {}

    std::string address() const { return server_.baseAddress() + "/file"; }
    std::string base() const { return server_.baseAddress(); }
    int connections() const { return server_.connections(); }

    // Each request's method: "HEAD GET".
    std::string methods() const {
        std::lock_guard lock(mutex_);
        std::string text;
        for (const std::string& request : requests_) {
            text += (text.empty() ? "" : " ") + request.substr(0, request.find(' '));
        }
        return text;
    }

    // Each request's path and range: "/file 4-; /moved".
    std::string asked() const {
        std::lock_guard lock(mutex_);
        std::string text;
        for (const std::string& request : requests_) {
            const std::size_t path = request.find(' ') + 1;
            text +=
                (text.empty() ? "" : "; ") + request.substr(path, request.find(' ', path) - path);
            if (std::size_t range = request.find("Range: bytes="); range != std::string::npos) {
                text += " " + request.substr(range + 13, request.find('\r', range) - range - 13);
            }
        }
        return text;
    }

private:
    std::vector<Reply> replies_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    CannedServer server_;
};

std::string answer(const std::string& status, const std::string& headers, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// An answer to HEAD: the headers alone, with a Content-Length when `length` is not negative.
std::string headAnswer(const std::string& status, int length) {
    return "HTTP/1.1 " + status + "\r\n" +
           (length < 0 ? "" : "Content-Length: " + std::to_string(length) + "\r\n") + "\r\n";
}

// A program folder whose queue holds mixes "1" to `count`, its [Downloader] `options` read into
// the settings of a download run on `site`, and the run's rows.
struct QueuedFolder {
    QueuedFolder(const std::string& site, int count, const std::string& options) {
        ::mkdir(folder.file("ZIP").c_str(), 0755);
        test::writeCatalogueFiles(folder.path(), test::sampleCatalogueFiles(count));
        test::writeBytes(folder.file("Setting.ini"),
                         "[Downloader]\r\nCheckArchives=0\r\n" + options);
        readDownloadOptions(Settings(folder.path()), settings);
        settings.folder = folder.path();
        settings.site = site;
        settings.savePath = folder.file("ZIP/");
        settings.retryDelaysMs = {0};
        rows.load(QueueFile(folder.file("List.dnl")).pending());
    }

    test::TempFolder folder;
    DownloadSettings settings;
    DownloadRows rows;
};

// Now and `fromNow` seconds, as an HTTP date.
std::string httpDate(std::time_t fromNow) {
    const std::time_t at = std::time(nullptr) + fromNow;
    std::tm parts{};
    gmtime_r(&at, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

// How a failure reads in the tables below: its kind, status, and whether it is worth a retry.
std::string describe(const HttpFailure& failure) {
    static const char* const kinds[] = {"NoConnection", "Stalled",      "Cut",
                                        "ErrorAnswer",  "RedirectLoop", "LongBody"};
    return std::string(kinds[static_cast<int>(failure.kind)]) + " " +
           std::to_string(failure.status) + (failure.retryable() ? " retryable" : "");
}

const std::string kBody = "0123456789";

TEST(HttpClient, TransfersAndSizeQueriesTakeTheRightBytesOrSayWhyNot) {
    const std::string busy = "503 Busy";
    const std::string moved = "302 Found";
    const struct {
        const char* what;
        std::vector<Reply> replies;
        std::int64_t from;
        std::string result;   // the outcome or failure, where the body began, what was received
        int retryAfter = -1;  // within a second, for the dates
        std::string asked = "/file";
    } transfers[] = {
        {"206 for the range asked",
         {answer("206 Partial", "Content-Range: bytes 4-9/10\r\n", "456789")},
         4,
         "Complete at 4: 456789",
         -1,
         "/file 4-"},
        {"206 for another range",
         {answer("206 Partial", "Content-Range: bytes 2-9/10\r\n", "23456789")},
         4,
         "Restart at -1: ",
         -1,
         "/file 4-"},
        {"200 to a range",
         {answer("200 OK", "", kBody)},
         4,
         "Complete at 0: 0123456789",
         -1,
         "/file 4-"},
        {"longer than its size", {answer("200 OK", "", kBody + "abcd")}, 0, "LongBody 200 at 0: "},
        {"206 longer than its range",
         {answer("206 Partial", "Content-Range: bytes 4-9/10\r\n", "456789ab")},
         4,
         "LongBody 206 at 4: ",
         -1,
         "/file 4-"},
        {"429 with seconds",
         {answer("429 Slow", "Retry-After: 3\r\n", "")},
         0,
         "ErrorAnswer 429 retryable at -1: ",
         3},
        {"503 with a date",
         {answer(busy, "Retry-After: " + httpDate(30) + "\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1: ",
         30},
        {"503 with a past date",
         {answer(busy, "Retry-After: " + httpDate(-30) + "\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1: "},
        {"503 with garbage",
         {answer(busy, "Retry-After: soon\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1: "},
        {"503 with a negative wait",
         {answer(busy, "Retry-After: -5\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1: "},
        {"503 asking no wait",
         {answer(busy, "Retry-After: 0\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1: ",
         0},
        {"redirect",
         {answer(moved, "Location: /moved\r\n", ""), answer("200 OK", "", kBody)},
         0,
         "Complete at 0: 0123456789",
         -1,
         "/file; /moved"},
        {"a redirect's wait is not the answer's",
         {answer(moved, "Location: /moved\r\nRetry-After: 7\r\n", ""), answer(busy, "", "")},
         0,
         "ErrorAnswer 503 retryable at -1: ",
         -1,
         "/file; /moved"},
        {"redirect to another protocol",
         {answer(moved, "Location: ftp://127.0.0.1:1/f\r\n", "")},
         0,
         "ErrorAnswer 302 at -1: "},
    };
    for (const auto& c : transfers) {
        SCOPED_TRACE(c.what);
        Script server(c.replies);
        HttpConnections connections;
        FileTransfer transfer(connections, nullptr, nullptr, HttpLimits{.stallSeconds = 2});
        std::int64_t start = -1;
        std::string received;
        std::string result;
        int retryAfter = -1;
        try {
            const FileTransfer::Outcome outcome = transfer.fetch(
                server.address(), 10, c.from, [&](std::int64_t s) { start = s; },
                [&](std::string_view piece) { received += piece; });
            result = outcome == FileTransfer::Outcome::Complete  ? "Complete"
                     : outcome == FileTransfer::Outcome::Restart ? "Restart"
                                                                 : "Stopped";
        } catch (const HttpError& e) {
            result = describe(e.failure());
            retryAfter = e.failure().retryAfter;
            EXPECT_EQ(e.address(), server.address());
        }
        EXPECT_EQ(result + " at " + std::to_string(start) + ": " + received, c.result);
        EXPECT_LE(std::abs(retryAfter - c.retryAfter), c.retryAfter > 3 ? 1 : 0) << retryAfter;
        EXPECT_EQ(server.asked(), c.asked);
    }

    const std::string whole = answer("200 OK", "", kBody);
    const std::string notFound = answer("404 Not Found", "", "");
    const struct {
        const char* what;
        std::vector<Reply> replies;
        std::string methods;
        std::string result;  // the size, the final status, the failure's, and DEL when dropped
        int retryAfter = -1;
    } sizes[] = {
        {"HEAD gives the size", {headAnswer("200 OK", 10)}, "HEAD", "10 bytes, 200: ErrorAnswer 0"},
        {"405 to HEAD",
         {answer("405 Not Allowed", "", ""), whole},
         "HEAD GET",
         "10 bytes, 200: ErrorAnswer 0"},
        {"HEAD without a length",
         {headAnswer("200 OK", -1), whole},
         "HEAD GET",
         "10 bytes, 200: ErrorAnswer 0"},
        {"a 404 to HEAD alone", {notFound, whole}, "HEAD GET", "10 bytes, 200: ErrorAnswer 0"},
        {"a 404 to both", {notFound}, "HEAD GET", "0 bytes, 404: ErrorAnswer 404 DEL"},
        {"no length to either",
         {headAnswer("200 OK", -1), {"HTTP/1.1 200 OK\r\n\r\n" + kBody, true}},
         "HEAD GET",
         "0 bytes, 200: ErrorAnswer 0 DEL"},
        {"429",
         {answer("429 Slow", "Retry-After: 3\r\n", "")},
         "HEAD",
         "0 bytes, 429: ErrorAnswer 429 retryable",
         3},
        {"503 with a date",
         {answer(busy, "Retry-After: " + httpDate(30) + "\r\n", "")},
         "HEAD",
         "0 bytes, 503: ErrorAnswer 503 retryable",
         30},
        {"redirect",
         {answer(moved, "Location: /moved\r\n", ""), headAnswer("200 OK", 10)},
         "HEAD HEAD",
         "10 bytes, 200: ErrorAnswer 0"},
        {"redirect to another protocol",
         {answer(moved, "Location: ftp://127.0.0.1:1/f\r\n", "")},
         "HEAD",
         "0 bytes, 0: ErrorAnswer 302"},
    };
    for (const auto& c : sizes) {
        SCOPED_TRACE(c.what);
        Script server(c.replies);
        HttpConnections connections;
        SizeQuery query(connections);
        const SizeAnswer size = query.contentLength(server.address());
        EXPECT_EQ(std::to_string(size.bytes) + " bytes, " + std::to_string(size.status) + ": " +
                      describe(size.failure) + (size.noSuchFile() ? " DEL" : ""),
                  c.result);
        EXPECT_EQ(server.methods(), c.methods);
        EXPECT_LE(std::abs(size.failure.retryAfter - c.retryAfter), c.retryAfter > 3 ? 1 : 0);
    }
}

// A batch's size queries and transfers over the connection the server keeps open, and the cap
// read for its transfers.
TEST(HttpClient, ABatchKeepsOneConnection) {
    const std::string head = headAnswer("200 OK", 10);
    const std::string whole = answer("200 OK", "", kBody);
    Script server({head, whole, head, whole, head, whole});
    QueuedFolder queued(server.base(), 3, "MaxKBPerSecond=100\r\n");
    EXPECT_EQ(queued.settings.limits.maxBytesPerSecond, 100 * 1024);
    DownloadObserver observer;
    SilentSoundPlayer sound;
    std::atomic<bool> stop{false}, paused{false};
    EXPECT_EQ(
        DownloadRun(queued.settings, queued.rows, observer, sound, stop, paused).batch().outcome,
        DownloadResult::Outcome::Done);
    for (const char* id : {"1", "2", "3"}) {
        EXPECT_EQ(test::readBytes(queued.folder.file("ZIP/") + id + ".zip"), kBody) << id;
    }
    EXPECT_EQ(server.methods(), "HEAD GET HEAD GET HEAD GET");
    EXPECT_EQ(server.connections(), 1);
}

// A download run over the same client, its options read from Setting.ini as the programs do.
TEST(HttpClient, ARunResumesOnlyWhenSetAndWaitsAsTheServerAsks) {
    const std::string head = headAnswer("200 OK", 10);
    const std::string whole = answer("200 OK", "", kBody);
    const std::string cut = whole.substr(0, whole.size() - 5);
    const std::string tooMany = answer("429 Slow", "", "");
    using std::chrono::milliseconds;
    const struct {
        const char* what;
        std::string options;  // [Downloader] lines
        std::vector<Reply> replies;
        std::string asked;
        bool done;
        milliseconds least{0}, most{3000};  // how long the run takes
    } cases[] = {
        // The dates first: they count from when the table is made.
        {"a date two seconds on is waited for",
         "",
         {answer("503 Busy", "Retry-After: " + httpDate(2) + "\r\n", ""), head, whole},
         "/file; /file; /file",
         true,
         milliseconds(900)},
        {"a date an hour on is too long to wait for",
         "",
         {answer("503 Busy", "Retry-After: " + httpDate(3600) + "\r\n", ""), head, whole},
         "/file; /file; /file",
         true},
        {"resuming", "", {head, {cut, true}, whole}, "/file; /file; /file 5-", true},
        {"Resume=0 starts again from the start",
         "Resume=0\r\n",
         {head, {cut, true}, whole},
         "/file; /file; /file",
         true},
        {"429 is tried again, then fails",
         "Retries=2\r\n",
         {tooMany},
         "/file; /file; /file",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Script server(c.replies);
        QueuedFolder queued(server.base(), 1, c.options);
        DownloadObserver observer;
        SilentSoundPlayer sound;
        std::atomic<bool> stop{false}, paused{false}, finished{false};
        const auto started = std::chrono::steady_clock::now();
        // A run that waits too long is stopped, rather than the test waiting with it.
        std::thread watchdog([&] {
            while (!finished && std::chrono::steady_clock::now() - started < c.most) {
                std::this_thread::sleep_for(milliseconds(20));
            }
            stop = true;
        });
        DownloadRun(queued.settings, queued.rows, observer, sound, stop, paused).batch();
        finished = true;
        watchdog.join();
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_GE(took, c.least);
        EXPECT_LT(took, c.most);
        std::string asked = server.asked();
        const std::string path = downloadAddress(server.base(), "1").substr(server.base().size());
        for (std::size_t at; (at = asked.find(path)) != std::string::npos;) {
            asked.replace(at, path.size(), "/file");
        }
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(queued.rows.status(0).kind(),
                  c.done ? DownloadState::Kind::Done : DownloadState::Kind::Failed);
        const std::string file = queued.folder.file("ZIP/1.zip");
        EXPECT_EQ(test::readBytes(file), c.done ? kBody : "");
        EXPECT_EQ(QueueFile(queued.folder.file("List.dnl")).readAll()[0].Removed, c.done ? 1 : 0);
    }
}

}  // namespace
}  // namespace kelvarn
