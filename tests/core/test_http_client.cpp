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
        FileTransfer transfer(nullptr, nullptr, HttpLimits{.stallSeconds = 2});
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

    const struct {
        const char* what;
        std::vector<Reply> replies;
        std::string result;  // the size, the final status, and the failure's
        int retryAfter = -1;
    } sizes[] = {
        {"429",
         {answer("429 Slow", "Retry-After: 3\r\n", "")},
         "0 bytes, 429: ErrorAnswer 429 retryable",
         3},
        {"503 with a date",
         {answer(busy, "Retry-After: " + httpDate(30) + "\r\n", "")},
         "0 bytes, 503: ErrorAnswer 503 retryable",
         30},
        {"redirect",
         {answer(moved, "Location: /moved\r\n", ""), answer("200 OK", "", kBody)},
         "10 bytes, 200: ErrorAnswer 0"},
        {"redirect to another protocol",
         {answer(moved, "Location: ftp://127.0.0.1:1/f\r\n", "")},
         "0 bytes, 0: ErrorAnswer 302"},
    };
    for (const auto& c : sizes) {
        SCOPED_TRACE(c.what);
        Script server(c.replies);
        SizeQuery query;
        const SizeAnswer size = query.contentLength(server.address());
        EXPECT_EQ(std::to_string(size.bytes) + " bytes, " + std::to_string(size.status) + ": " +
                      describe(size.failure),
                  c.result);
        EXPECT_LE(std::abs(size.failure.retryAfter - c.retryAfter), c.retryAfter > 3 ? 1 : 0);
        EXPECT_FALSE(size.noSuchFile());
    }
}

// A download run over the same client, its options read from Setting.ini as the programs do.
TEST(HttpClient, ARunResumesOnlyWhenSetAndWaitsAsTheServerAsks) {
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
         {answer("503 Busy", "Retry-After: " + httpDate(2) + "\r\n", ""), whole},
         "/file; /file; /file",
         true,
         milliseconds(900)},
        {"a date an hour on is too long to wait for",
         "",
         {answer("503 Busy", "Retry-After: " + httpDate(3600) + "\r\n", ""), whole},
         "/file; /file; /file",
         true},
        {"resuming", "", {whole, {cut, true}, whole}, "/file; /file; /file 5-", true},
        {"Resume=0 starts again from the start",
         "Resume=0\r\n",
         {whole, {cut, true}, whole},
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
        test::TempFolder folder;
        ::mkdir(folder.file("ZIP").c_str(), 0755);
        test::writeCatalogue(folder.file("Base.vlt"), {test::sampleRecord("1")});
        test::writeBytes(folder.file("List.dnl"), test::queueEntryBytes({1, "1", "A - T", 0, 0}));
        test::writeBytes(folder.file("Setting.ini"),
                         "[Downloader]\r\nCheckArchives=0\r\n" + c.options);
        DownloadSettings s;
        readDownloadOptions(Settings(folder.path()), s);
        s.folder = folder.path();
        s.site = server.base();
        s.savePath = folder.file("ZIP/");
        s.retryDelaysMs = {0};
        DownloadRows rows;
        rows.load(QueueFile(folder.file("List.dnl")).pending());
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
        DownloadRun(s, rows, observer, sound, stop, paused).batch();
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
        EXPECT_EQ(rows.status(0).kind(),
                  c.done ? DownloadState::Kind::Done : DownloadState::Kind::Failed);
        const std::string file = folder.file("ZIP/1.zip");
        EXPECT_EQ(test::readBytes(file), c.done ? kBody : "");
        EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll()[0].Removed, c.done ? 1 : 0);
    }
}

}  // namespace
}  // namespace kelvarn
