// SPDX-License-Identifier: GPL-3.0-or-later
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
    // Whether every request carried the header line.
    bool allCarry(const std::string& line) const {
        std::lock_guard lock(mutex_);
        return std::all_of(requests_.begin(), requests_.end(), [&](const std::string& request) {
            return request.find("\r\n" + line + "\r\n") != std::string::npos;
        });
    }
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
        // The outcome or failure, where the body began, the file's length, what was received.
        std::string result;
        int retryAfter = -1;  // within a second, for the dates
        std::string asked = "/file";
    } transfers[] = {
        {"206 for the range asked",
         {answer("206 Partial", "Content-Range: bytes 4-9/10\r\n", "456789")},
         4,
         "Complete at 4 of 10: 456789",
         -1,
         "/file 4-"},
        {"206 for another range",
         {answer("206 Partial", "Content-Range: bytes 2-9/10\r\n", "23456789")},
         4,
         "Restart at -1 of -1: ",
         -1,
         "/file 4-"},
        {"200 to a range",
         {answer("200 OK", "Content-Type: application/x-rar\r\n", kBody)},
         4,
         "Complete at 0 of 10 (application/x-rar): 0123456789",
         -1,
         "/file 4-"},
        {"chunked",
         {std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\n0123\r\n6\r\n"
                      "456789\r\n0\r\n\r\n")},
         0,
         "Complete at 0 of -1: 0123456789"},
        {"HTTP/1.0 to its close",
         {{"HTTP/1.0 200 OK\r\n\r\n" + kBody, true}},
         0,
         "Complete at 0 of -1: 0123456789"},
        {"short of its length",
         {{answer("200 OK", "", kBody).substr(0, 42), true}},
         0,
         "Cut 200 retryable at 0 of 10: 012"},
        {"206 chunked past its range",
         {std::string("HTTP/1.1 206 Partial\r\nContent-Range: bytes 4-9/10\r\nTransfer-Encoding: "
                      "chunked\r\n\r\n8\r\n456789ab\r\n0\r\n\r\n")},
         4,
         "LongBody 206 at 4 of 10: ",
         -1,
         "/file 4-"},
        {"429 with seconds",
         {answer("429 Slow", "Retry-After: 3\r\n", "")},
         0,
         "ErrorAnswer 429 retryable at -1 of -1: ",
         3},
        {"503 with a date",
         {answer(busy, "Retry-After: " + httpDate(30) + "\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1 of -1: ",
         30},
        {"503 with a past date",
         {answer(busy, "Retry-After: " + httpDate(-30) + "\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1 of -1: "},
        {"503 with garbage",
         {answer(busy, "Retry-After: soon\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1 of -1: "},
        {"503 with a negative wait",
         {answer(busy, "Retry-After: -5\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1 of -1: "},
        {"503 asking no wait",
         {answer(busy, "Retry-After: 0\r\n", "")},
         0,
         "ErrorAnswer 503 retryable at -1 of -1: ",
         0},
        {"redirect",
         {answer(moved, "Location: /moved\r\n", ""), answer("200 OK", "", kBody)},
         0,
         "Complete at 0 of 10: 0123456789",
         -1,
         "/file; /moved"},
        {"a redirect's wait is not the answer's",
         {answer(moved, "Location: /moved\r\nRetry-After: 7\r\n", ""), answer(busy, "", "")},
         0,
         "ErrorAnswer 503 retryable at -1 of -1: ",
         -1,
         "/file; /moved"},
        {"redirect to another protocol",
         {answer(moved, "Location: ftp://127.0.0.1:1/f\r\n", "")},
         0,
         "ErrorAnswer 302 at -1 of -1: "},
        // Last: the dates above count from when the table is made.
        {"headers trickled past the answer limit",
         {{"", false, "HTTP/1.1 200 OK\r\n\r\n"}},
         0,
         "Stalled 0 retryable at -1 of -1: "},
    };
    for (const auto& c : transfers) {
        SCOPED_TRACE(c.what);
        Script server(c.replies);
        HttpConnections connections;
        FileTransfer transfer(connections, nullptr, nullptr,
                              HttpLimits{.answerSeconds = 1, .stallSeconds = 20});
        FileTransfer::Answer said{-1, -1, {}};
        std::string received;
        std::string result;
        int retryAfter = -1;
        const auto started = std::chrono::steady_clock::now();
        try {
            const FileTransfer::Outcome outcome = transfer.fetch(
                server.address(), c.from, c.from > 0 ? 10 : -1,
                [&](const FileTransfer::Answer& a) { said = a; },
                [&](std::string_view piece) { received += piece; });
            result = outcome == FileTransfer::Outcome::Complete  ? "Complete"
                     : outcome == FileTransfer::Outcome::Restart ? "Restart"
                                                                 : "Stopped";
        } catch (const HttpError& e) {
            result = describe(e.failure());
            retryAfter = e.failure().retryAfter;
            EXPECT_EQ(e.address(), server.address());
        }
        EXPECT_EQ(std::string(result)
                      .append(" at ")
                      .append(std::to_string(said.start))
                      .append(" of ")
                      .append(std::to_string(said.total))
                      .append(said.contentType.empty() ? "" : " (" + said.contentType + ")")
                      .append(": ")
                      .append(received),
                  c.result);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_LE(std::abs(retryAfter - c.retryAfter), c.retryAfter > 3 ? 1 : 0) << retryAfter;
        EXPECT_EQ(server.asked(), c.asked);
    }

    const std::string whole = answer("200 OK", "", kBody);
    const std::string notFound = answer("404 Not Found", "", "");
    const struct {
        const char* what;
        std::vector<Reply> replies;
        std::string methods;
        std::string result;  // the size, the final status, the failure's
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
        {"a 404 to both", {notFound}, "HEAD GET", "0 bytes, 404: ErrorAnswer 404"},
        {"no length to either",
         {headAnswer("200 OK", -1), {"HTTP/1.1 200 OK\r\n\r\n" + kBody, true}},
         "HEAD GET",
         "0 bytes, 200: ErrorAnswer 0"},
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
                      describe(size.failure),
                  c.result);
        EXPECT_EQ(server.methods(), c.methods);
        EXPECT_LE(std::abs(size.failure.retryAfter - c.retryAfter), c.retryAfter > 3 ? 1 : 0);
    }
}

// A batch's transfers over the connection the server keeps open, or over new ones where it closes
// them, each request naming the program; and the import's size queries likewise.
TEST(HttpClient, ABatchKeepsOneConnectionOrMakesANewOneWhereTheSiteClosedIt) {
    const std::string whole = answer("200 OK", "", kBody);
    const Reply closeUnanswered{"", true};
    const struct {
        const char* what;
        std::vector<Reply> replies;
        int connections;
    } cases[] = {
        {"kept open", {whole}, 1},
        {"closed after each answer", {{whole, true}}, 3},
        {"closed when the next request comes",
         {whole, closeUnanswered, whole, closeUnanswered, whole},
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Script server(c.replies);
        QueuedFolder queued(server.base(), 3, "Retries=0\r\nMaxKBPerSecond=100\r\n");
        EXPECT_EQ(queued.settings.limits.maxBytesPerSecond, 100 * 1024);
        DownloadObserver observer;
        SilentSoundPlayer sound;
        std::atomic<bool> stop{false}, paused{false};
        EXPECT_EQ(DownloadRun(queued.settings, queued.rows, observer, sound, stop, paused)
                      .batch()
                      .outcome,
                  DownloadResult::Outcome::Done);
        for (const char* id : {"1", "2", "3"}) {
            EXPECT_EQ(test::readBytes(queued.folder.file("ZIP/") + id + ".zip"), kBody) << id;
        }
        EXPECT_EQ(server.methods().substr(0, 11), "GET GET GET");
        EXPECT_EQ(server.connections(), c.connections);
        EXPECT_TRUE(server.allCarry("User-Agent: kelvarn_tests"));
    }

    // libcurl sends no HEAD again by itself: one the site closes the connection on unanswered
    // goes again over a new one, as does one after an answer to HEAD that carried a body.
    Script sizes({headAnswer("200 OK", 10), closeUnanswered, headAnswer("200 OK", 10) + kBody,
                  headAnswer("200 OK", 10)});
    HttpConnections connections;
    SizeQuery query(connections);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(query.contentLength(sizes.address()).bytes, 10) << i;
    }
    EXPECT_EQ(sizes.methods(), "HEAD HEAD HEAD HEAD");
}

// A download run over the same client, its options read from Setting.ini as the programs do.
TEST(HttpClient, ARunResumesOnlyWhenSetHoldsItsCapAndWaitsAsTheServerAsks) {
    const std::string whole = answer("200 OK", "", kBody);
    const std::string cut = whole.substr(0, whole.size() - 5);
    const std::string tooMany = answer("429 Slow", "", "");
    const std::string large(std::size_t{300} * 1024, 'L');
    const std::string small(2048, 's');
    using std::chrono::milliseconds;
    const struct {
        const char* what;
        std::string options;  // [Downloader] lines
        std::vector<Reply> replies;
        std::string asked;  // of the first mix
        bool done;
        milliseconds least{0}, most{3000};  // how long the run takes
        int mixes = 1;
        std::string body = kBody;
    } cases[] = {
        // The dates first: they count from when the table is made.
        {"a date two seconds on is waited for",
         "",
         {answer("503 Busy", "Retry-After: " + httpDate(2) + "\r\n", ""), whole},
         "/file; /file",
         true,
         milliseconds(900)},
        {"a date an hour on is too long to wait for",
         "",
         {answer("503 Busy", "Retry-After: " + httpDate(3600) + "\r\n", ""), whole},
         "/file; /file",
         true},
        {"resuming", "", {{cut, true}, whole}, "/file; /file 5-", true},
        {"Resume=0 starts again from the start",
         "Resume=0\r\n",
         {{cut, true}, whole},
         "/file; /file",
         true},
        {"429 is tried again, then fails",
         "Retries=2\r\n",
         {tooMany},
         "/file; /file; /file",
         false},
        // The cap holds for the run: on loopback only the lower bound is honest.
        {"300 KB at 100 KB/s",
         "MaxKBPerSecond=100\r\n",
         {answer("200 OK", "", large)},
         "/file",
         true,
         milliseconds(1500),
         milliseconds(10000),
         1,
         large},
        {"a hundred files of 2 KB at 100 KB/s",
         "MaxKBPerSecond=100\r\n",
         {answer("200 OK", "", small)},
         "/file",
         true,
         milliseconds(1500),
         milliseconds(10000),
         100,
         small},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Script server(c.replies);
        QueuedFolder queued(server.base(), c.mixes, c.options);
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
        EXPECT_EQ(asked.substr(0, c.asked.size()), c.asked);
        const std::vector<QueueEntry> queue = QueueFile(queued.folder.file("List.dnl")).readAll();
        for (int mix = 0; mix < c.mixes; ++mix) {
            EXPECT_EQ(queued.rows.status(mix).kind(),
                      c.done ? DownloadState::Kind::Done : DownloadState::Kind::Failed);
            const std::string file = queued.folder.file("ZIP/" + std::to_string(mix + 1) + ".zip");
            EXPECT_EQ(test::readBytes(file), c.done ? c.body : "");
            EXPECT_EQ(queue[mix].Removed, c.done ? 1 : 0);
        }
    }
}

}  // namespace
}  // namespace kelvarn
