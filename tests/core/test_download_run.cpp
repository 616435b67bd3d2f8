// SPDX-License-Identifier: GPL-3.0-or-later
// The download queue file and the download run against the stand-in site on loopback: files in
// the save folder, List.dnl and Base.vlt bytes, the statuses and sounds a user sees and hears.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/queue_file.h"
#include "core/downloader/download_lock.h"
#include "core/downloader/download_names.h"
#include "core/downloader/download_run.h"
#include "core/net/pacing.h"
#include "core/storage/cp1251.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "demo_site/demo_site.h"
#include "tests/support/download_run_fixture.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::CannedServer;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

using test::queueEntryBytes;

QueueEntry entry(std::int32_t number, const std::string& id, std::uint8_t removed = 0) {
    return {number, id, "Author - " + id, 7, removed};
}

TEST(QueueFile, PendingCompactMarkAndTheDuplicateCheckWorkOnTheBytes) {
    TempFolder folder;
    QueueFile queue(folder.file("List.dnl"));
    writeBytes(queue.path(), queueEntryBytes(entry(1, "111111", 0)) +
                                 queueEntryBytes(entry(2, "222222", 1)) +
                                 queueEntryBytes(entry(3, "333333", 0)) +
                                 queueEntryBytes(entry(4, "444444", 2)) + "tail");
    // Only Removed 0 shows; each row keeps its place in the file.
    std::vector<PendingEntry> pending = queue.pending();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0], (PendingEntry{1, entry(1, "111111")}));
    EXPECT_EQ(pending[1], (PendingEntry{3, entry(3, "333333")}));

    // Marking the second row marks the third entry, although a taken-off one stands before it.
    queue.markRemoved(pending[1]);
    EXPECT_EQ(readBytes(queue.path()).substr(2 * kQueueEntrySize, kQueueEntrySize),
              queueEntryBytes(entry(3, "333333", 1)));

    // The main window's queuing skips an ID in the file, taken off or not.
    EXPECT_FALSE(queue.appendUnlessQueued(entry(9, "222222")));
    EXPECT_TRUE(queue.appendUnlessQueued(entry(5, "555555")));

    // Compaction drops exactly Removed 1, keeps 2, in order; the fragment goes.
    queue.compact();
    EXPECT_EQ(readBytes(queue.path()), queueEntryBytes(entry(1, "111111")) +
                                           queueEntryBytes(entry(4, "444444", 2)) +
                                           queueEntryBytes(entry(5, "555555")));

    // Another run compacted the file after this one loaded it: the entry that stood fifth is
    // third now and is marked there; one taken off and dropped meanwhile marks nothing.
    const std::string compacted = readBytes(queue.path());
    queue.markRemoved(pending[1]);
    EXPECT_EQ(readBytes(queue.path()), compacted);
    queue.markRemoved(PendingEntry{5, entry(5, "555555")});
    EXPECT_EQ(readBytes(queue.path()).substr(2 * kQueueEntrySize),
              queueEntryBytes(entry(5, "555555", 1)));
}

TEST(DownloadNames, ForbiddenCharactersAreReplacedInTheIdAndTheTrack) {
    EXPECT_EQ(downloadFileName("/z/", "12345", "DJ A/B - Night: Part 2?", true),
              "/z/12345-DJ A-B - Night- Part 2%.zip");
    EXPECT_EQ(downloadFileName("/z/", "12345", "DJ A/B", false), "/z/12345.zip");
    EXPECT_EQ(safeFileChars("\"*/:<>?\\|ok"), "'#--()%-!ok");
    EXPECT_EQ(downloadFileName("/z/", "../..", "", false), "/z/..-...zip");
    EXPECT_EQ(downloadFileName("/z/", "1", "Вася"_cp, true), "/z/1-Вася.zip");
    // A folder named without its "/"; every byte of an ID counts, a NUL or a line break too.
    EXPECT_EQ(downloadFileName("/z", "1", "", false), "/z/1.zip");
    EXPECT_EQ(downloadFileName("/z/", std::string("1\0a", 3), "", false), "/z/1_a.zip");
    EXPECT_EQ(downloadFileName("/z/", std::string{'\0', '1'}, "A\tB\n", true), "/z/_1-A_B_.zip");
}

TEST(RequestPacer, RequestsAreSpacedAndAStopEndsTheWait) {
    std::atomic<bool> stop{false};
    RequestPacer pacer(20, &stop);
    auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        pacer.beforeRequest();
    }
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
    RequestPacer slow(1, &stop);
    slow.beforeRequest();
    stop = true;
    started = std::chrono::steady_clock::now();
    slow.beforeRequest();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));
}

TEST(DownloadNames, PercentAndLabel) {
    EXPECT_EQ(transferPercent(1, 3, false), 33);
    EXPECT_EQ(transferPercent(0, 0, false), 0);
    EXPECT_EQ(transferPercent(0, 0, true), 100);  // a file under a kilobyte, complete
    EXPECT_EQ(cp1251ToUtf8(transferLabel(5, 12)), "5KB из 12KB");
    EXPECT_EQ(kilobytesOfPiece(12000), 11);
    EXPECT_EQ(kilobytesOfPiece(5120), 5);
    EXPECT_EQ(kilobytesOfPiece(2047), 1);
}

// What a row shows, and what a batch, an abort and the command line make of it.
TEST(DownloadNames, EachStateHasItsTextAndItsRoad) {
    const struct {
        DownloadState state;
        const char* text = nullptr;
        bool runnable = false, final = false, offQueue = false;
    } cases[] = {
        {DownloadState::waiting(), "Нет", true, false, false},
        {DownloadState::preparing(), "Подготовка", false, false, false},
        {DownloadState::fetching(45), "45%", false, false, false},
        {DownloadState::retrying(2), "Повтор 2", false, false, false},
        {DownloadState::done(), "\u041E\u041A", false, true, true},
        {DownloadState::dropped(), "DEL", false, true, true},
        {DownloadState::failed("Сайт не отвечает"), "Ошибка", true, true, false},
        {DownloadState::broken("Файл не целый архив"), "Битый архив", true, true, false},
        {DownloadState::busy(), "Занят", true, false, false},
        {DownloadState::takenOff(), "Снят", false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(cp1251ToUtf8(statusText(c.state)), c.text);
        EXPECT_EQ(c.state.isRunnable(), c.runnable);
        EXPECT_EQ(c.state.isFinal(), c.final);
        EXPECT_EQ(c.state.leftQueue(), c.offQueue);
    }
}

using test::DownloadRunTest;

TEST_F(DownloadRunTest, ABatchFetchesTheWaitingRowsMarksThemAndDropsTheOnesTheSiteHasNot) {
    std::size_t whole = mixWhere([](const DemoMix& m) { return m.status == 200 && m.hasLength; });
    std::size_t deleted = mixWhere([](const DemoMix& m) { return m.bytes == 2048; });
    std::size_t chunked = mixWhere([](const DemoMix& m) { return !m.hasLength; });
    std::size_t missing = mixWhere([](const DemoMix& m) { return m.status == 404; });
    std::size_t tiny = mixWhere([](const DemoMix& m) { return m.bytes == 1023; });
    queueMixes({whole, deleted, chunked, missing, tiny});
    rows.setStatus(1, DownloadState::dropped());  // deleted by the user before the batch

    DownloadResult result = batch();
    ASSERT_EQ(result.outcome, DownloadResult::Outcome::Done) << result.error;

    // A file sent without a length is taken to its end.
    for (std::size_t mix : {whole, tiny, chunked}) {
        EXPECT_EQ(readBytes(folder.file("ZIP/" + site.mixes()[mix].id + ".zip")),
                  site.archive(site.mixes()[mix]));
    }
    EXPECT_FALSE(fileExists(folder.file("ZIP/" + site.mixes()[deleted].id + ".zip")));
    EXPECT_FALSE(fileExists(folder.file("ZIP/" + site.mixes()[missing].id + ".zip")));

    CatalogueFile base(folder.file("Base.vlt"));
    EXPECT_EQ(base.read(1).HasFile, 1);
    EXPECT_EQ(base.read(1).Size, site.mixes()[whole].bytes / 1024);
    EXPECT_EQ(base.read(3).HasFile, 1);
    EXPECT_EQ(base.read(3).Size, site.mixes()[chunked].bytes / 1024);
    EXPECT_EQ(base.read(5).HasFile, 1);
    EXPECT_EQ(base.read(5).Size, 0);  // 1023 bytes are no whole kilobyte
    for (std::uint32_t n : {2u, 4u}) {
        EXPECT_EQ(base.read(n).HasFile, 0) << n;
        EXPECT_EQ(base.read(n).Size, 1234) << n;
    }
    // Fetched and missing entries are taken off; the one the user deleted is the window's.
    std::vector<QueueEntry> queue = QueueFile(folder.file("List.dnl")).readAll();
    std::vector<int> removed;
    removed.reserve(queue.size());
    for (const QueueEntry& e : queue) {
        removed.push_back(e.Removed);
    }
    EXPECT_EQ(removed, (std::vector<int>{1, 0, 1, 1, 1}));

    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Done);
    EXPECT_EQ(rows.status(1).kind(), DownloadState::Kind::Dropped);
    EXPECT_EQ(rows.status(2).kind(), DownloadState::Kind::Done);
    EXPECT_EQ(rows.status(3).kind(), DownloadState::Kind::Dropped);
    EXPECT_EQ(rows.status(4).kind(), DownloadState::Kind::Done);
    EXPECT_EQ(reports.statuses.front(), (std::pair<std::size_t, std::string>{0, "Подготовка"}));
    EXPECT_EQ(reports.statuses[reports.statuses.size() - 2],
              (std::pair<std::size_t, std::string>{4, "100%"}));
    // Without a length the row counts kilobytes, no percentage.
    const std::string chunkedKb = std::to_string(site.mixes()[chunked].bytes / 1024) + " KB";
    EXPECT_NE(std::find(reports.statuses.begin(), reports.statuses.end(),
                        std::pair<std::size_t, std::string>{2, chunkedKb}),
              reports.statuses.end());
    EXPECT_EQ(sounds.played,
              (std::vector<std::string>{"done.wav", "done.wav", "STOP.wav", "done.wav"}));
}

// Only the site's word that a file is not there drops an entry (or an empty file, as a size of 0
// always has); any other success is the file, with or without a length. No answer, a server error
// after its tries, a redirect loop or a cut body fails the row and keeps it queued; two tries in a
// row without an answer end the batch, the rest waiting.
TEST_F(DownloadRunTest, OnlyTheSitesWordThatAFileIsGoneDropsAnEntry) {
    using Reply = CannedServer::Reply;
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n";
    auto always = [](const Reply& reply) { return [=](const std::string&) { return reply; }; };
    enum class End { Fetched, Dropped, Failed, SiteSilent };
    const struct {
        const char* what;
        CannedServer::Answer answer;
        End end;
        std::string reason;  // what the row's tooltip and the command line say first
    } cases[] = {
        {"404", always({"HTTP/1.1 404 No\r\nContent-Length: 0\r\n\r\n"}), End::Dropped, ""},
        {"410", always({"HTTP/1.1 410 Gone\r\nContent-Length: 0\r\n\r\n"}), End::Dropped, ""},
        {"empty", always({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}), End::Dropped, ""},
        {"no length", always({"HTTP/1.1 200 OK\r\n\r\nzip", true}), End::Fetched, ""},
        {"500", always({"HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n"}), End::Failed,
         "Сайт ответил ошибкой 500"},
        {"503 and a wait",
         always({"HTTP/1.1 503 Busy\r\nRetry-After: -5\r\nContent-Length: 0\r\n\r\n"}), End::Failed,
         "Сайт ответил ошибкой 503"},
        {"403", always({"HTTP/1.1 403 No\r\nContent-Length: 0\r\n\r\n"}), End::Failed,
         "Сайт ответил ошибкой 403"},
        {"redirect loop",
         always({"HTTP/1.1 302 Moved\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n"}),
         End::Failed, "Сайт отсылает по кругу"},
        {"cut body", always({head + std::string(3000, 'x'), true}), End::Failed,
         "Закачка оборвалась"},
        {"silent", always({}), End::SiteSilent, "Сайт не отвечает"},
        {"headers trickled", always({"", false, head}), End::SiteSilent, "Сайт не отвечает"},
        {"body trickled", always({head, false, std::string(5000, 'x')}), End::SiteSilent,
         "Сайт не отвечает"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CannedServer server(c.answer);
        queueMixes({0, 1, 2});
        reports.statuses.clear();
        DownloadSettings s = settings(server.baseAddress());
        s.retries = 1;
        s.retryDelaysMs = {0};
        s.checkArchives = false;
        DownloadResult result = DownloadRun(s, rows, reports, sounds, stop, paused).batch();
        std::vector<QueueEntry> queue = QueueFile(folder.file("List.dnl")).readAll();
        const char* const texts[] = {"ОК", "DEL", "Ошибка", "Ошибка"};
        for (std::size_t row = 0; row < 3; ++row) {
            // The first mix's two silent tries end the batch.
            const bool waits = c.end == End::SiteSilent && row > 0;
            EXPECT_EQ(cp1251ToUtf8(statusText(rows.status(row))),
                      waits ? "Нет" : texts[static_cast<int>(c.end)])
                << row;
            const bool offQueue = c.end == End::Fetched || c.end == End::Dropped;
            EXPECT_EQ(queue[row].Removed, offQueue ? 1 : 0) << row;
            const std::string file = folder.file("ZIP/" + site.mixes()[row].id + ".zip");
            EXPECT_EQ(fileExists(file) ? readBytes(file) : "none",
                      c.end == End::Fetched ? "zip" : "none");
            ::unlink(file.c_str());
        }
        // What a failed try leaves is kept to go on from, never an empty part file.
        const std::string part = folder.file("ZIP/" + site.mixes()[0].id + ".zip.part");
        EXPECT_TRUE(!fileExists(part) || !readBytes(part).empty());
        EXPECT_EQ(result.outcome, c.end == End::SiteSilent ? DownloadResult::Outcome::Failed
                                                           : DownloadResult::Outcome::Done);
        EXPECT_EQ(result.error.find("не отвечает") != std::string::npos, c.end == End::SiteSilent);
        if (c.end == End::Failed || c.end == End::SiteSilent) {
            ASSERT_FALSE(reports.failures.empty());
            EXPECT_TRUE(reports.failures.back().starts_with(c.reason + " (" + server.baseAddress()))
                << reports.failures.back();
        }
        if (c.end == End::SiteSilent) {
            // While the try waits to be made again, the row says so.
            EXPECT_NE(std::find(reports.statuses.begin(), reports.statuses.end(),
                                std::pair<std::size_t, std::string>{0, "Повтор 1"}),
                      reports.statuses.end());
        }
    }

    // Nobody listening: the command line keeps the queue byte for byte and says so.
    queueMixes({0, 1, 2});
    writeBytes(folder.file("Setting.ini"),
               "[Downloader]\r\nPath=" + folder.file("ZIP/") + "\r\nRetries=0\r\n");
    const std::string queued = readBytes(folder.file("List.dnl"));
    test::CommandResult cli =
        test::runCli({"--data-dir", folder.path(), "--site", "http://127.0.0.1:1", "download"});
    EXPECT_EQ(cli.status, 3);
    EXPECT_NE(cli.err.find("не отвечает"), std::string::npos) << cli.err;
    EXPECT_EQ(std::count(cli.out.begin(), cli.out.end(), '\n'), 2) << cli.out;
    EXPECT_NE(cli.out.find("\tНет связи с сайтом (http://127.0.0.1:"), std::string::npos)
        << cli.out;
    EXPECT_EQ(readBytes(folder.file("List.dnl")), queued);
}

TEST_F(DownloadRunTest, PauseHoldsTheRunAndAStopEndsATransferAtOnce) {
    queueMixes({0});
    paused = true;
    std::thread run([&] { batch(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(site.downloadRequests(), 0);
    paused = false;
    run.join();
    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Done);

    // A server that sends part of the body and then nothing: stopped mid-transfer.
    CannedServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 900000\r\n\r\n" +
                         std::string(20000, 'p'));
    queueMixes({1});
    reports.onProgress = [&] {
        if (reports.lastKilobytes > 0) {
            stop = true;
        }
    };
    DownloadSettings patient = settings(stalled.baseAddress());
    patient.limits.stallSeconds = 60;
    DownloadRun stopped(patient, rows, reports, sounds, stop, paused);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(stopped.batch().outcome, DownloadResult::Outcome::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll()[0].Removed, 0);
    EXPECT_EQ(CatalogueFile(folder.file("Base.vlt")).read(1).HasFile, 0);
    // What arrived stays, closed, in the save folder.
    EXPECT_GT(readBytes(folder.file("ZIP/" + site.mixes()[1].id + ".zip.part")).size(), 0u);
}

TEST_F(DownloadRunTest, TheSaveFolderIsAFolderWhateverItsSpellingAndNoFileIsWholeBeforeItIs) {
    queueMixes({0, 1});
    // No folder, or a file where it should be: nothing is asked of the site, no row changes.
    ::rmdir(folder.file("ZIP").c_str());
    for (bool asFile : {false, true}) {
        if (asFile) {
            writeBytes(folder.file("ZIP"), "");
        }
        DownloadResult result = batch();
        EXPECT_EQ(result.outcome, DownloadResult::Outcome::Failed);
        EXPECT_NE(result.error.find(folder.file("ZIP/")), std::string::npos) << result.error;
        EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Waiting);
    }
    EXPECT_EQ(site.downloadRequests() + site.sizeRequests(), 0);
    ::unlink(folder.file("ZIP").c_str());
    ::mkdir(folder.file("ZIP").c_str(), 0755);

    // Named without its "/", it is still the folder the files go into.
    DownloadSettings s = settings(site.baseAddress());
    s.savePath = folder.file("ZIP");
    s.resume = false;
    DownloadRun(s, rows, reports, sounds, stop, paused).single(0);
    EXPECT_EQ(readBytes(folder.file("ZIP/" + site.mixes()[0].id + ".zip")),
              site.archive(site.mixes()[0]));

    // Without resuming, a stopped transfer leaves neither the final name nor a part file.
    CannedServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 900000\r\n\r\n" +
                         std::string(20000, 'p'));
    s.site = stalled.baseAddress();
    reports.onProgress = [&] { stop = reports.lastKilobytes > 0; };
    DownloadRun(s, rows, reports, sounds, stop, paused).single(1);
    EXPECT_TRUE(stop);
    const std::string file = folder.file("ZIP/" + site.mixes()[1].id + ".zip");
    EXPECT_FALSE(fileExists(file));
    EXPECT_FALSE(fileExists(file + ".part"));

    // A full disk is said in the row and ends the run; the entry stays queued.
    writeBytes(folder.file("Setting.ini"), "[Downloader]\r\nPath=" + folder.file("ZIP/") + "\r\n");
    test::CommandResult full = test::runCli(
        {"--data-dir", folder.path(), "--site", site.baseAddress(), "download", "1"}, "", 1000);
    EXPECT_EQ(full.status, 3);
    EXPECT_NE(full.out.find("\tДиск заполнен ("), std::string::npos) << full.out;
    std::vector<QueueEntry> left = QueueFile(folder.file("List.dnl")).readAll();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].Id, site.mixes()[1].id);
    EXPECT_EQ(left[0].Removed, 0);
}

// A restore, a damaged queue or another program can leave an entry whose number is 0, negative,
// past the end or another mix's: the record that holds its ID is marked; with none, the row
// fails with the reason and the batch goes on.
TEST_F(DownloadRunTest, AnEntryWithAStaleNumberMarksTheRecordOfItsMix) {
    std::vector<std::size_t> whole;
    for (std::size_t i = 0; whole.size() < 4; ++i) {
        if (site.mixes()[i].status == 200 && site.mixes()[i].hasLength) {
            whole.push_back(i);
        }
    }
    const DemoMix& a = site.mixes()[whole[0]];
    const DemoMix& b = site.mixes()[whole[1]];
    const DemoMix& c = site.mixes()[whole[2]];
    const DemoMix& lost = site.mixes()[whole[3]];
    test::writeCatalogue(
        folder.file("Base.vlt"),
        {test::sampleRecord(a.id), test::sampleRecord(b.id), test::sampleRecord(c.id)});
    writeBytes(folder.file("List.dnl"),
               queueEntryBytes(entry(0, a.id)) + queueEntryBytes(entry(2, c.id)) +
                   queueEntryBytes(entry(99, lost.id)) + queueEntryBytes(entry(-5, b.id)));
    writeBytes(folder.file("Setting.ini"), "[Downloader]\r\nPath=" + folder.file("ZIP/") + "\r\n");
    test::CommandResult cli =
        test::runCli({"--data-dir", folder.path(), "--site", site.baseAddress(), "download"});
    EXPECT_EQ(cli.status, 3);  // one row failed
    EXPECT_EQ(cli.out.substr(0, cli.out.find("\n3\t")), "1\t" + a.id + "\tОК\n2\t" + c.id + "\tОК");
    EXPECT_NE(cli.out.find("\n3\t" + lost.id + "\t" + folder.file("Base.vlt")), std::string::npos)
        << cli.out;
    EXPECT_NE(cli.out.find("\n4\t" + b.id + "\tОК\n"), std::string::npos) << cli.out;
    CatalogueFile base(folder.file("Base.vlt"));
    for (std::uint32_t n : {1u, 2u, 3u}) {
        EXPECT_EQ(base.read(n).HasFile, 1) << n;
    }
    EXPECT_EQ(base.read(3).Size, c.bytes / 1024);
    // The entry without a record stays queued; the rest were fetched and compacted away.
    std::vector<QueueEntry> left = QueueFile(folder.file("List.dnl")).readAll();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].Id, lost.id);
    EXPECT_FALSE(fileExists(folder.file("ZIP/" + lost.id + ".zip")));
}

// A catalogue replaced while a file comes down (a restore with the records in another order):
// the mark goes to the record that holds the mix now, never to the one at its old number.
TEST_F(DownloadRunTest, ACatalogueReplacedUnderATransferIsMarkedWhereTheMixNowIs) {
    const auto [first, second] = twoLargeMixes();
    const std::size_t a = first, b = second;
    queueMixes({a, b});
    bool replaced = false;
    reports.onProgress = [&] {
        if (!replaced) {
            replaced = true;
            test::writeCatalogue(folder.file("Base.vlt"), {test::sampleRecord(site.mixes()[b].id),
                                                           test::sampleRecord(site.mixes()[a].id)});
        }
    };
    ASSERT_EQ(batch().outcome, DownloadResult::Outcome::Done);
    CatalogueFile base(folder.file("Base.vlt"));
    EXPECT_EQ(base.read(2).HasFile, 1);
    EXPECT_EQ(base.read(2).Size, site.mixes()[a].bytes / 1024);
    EXPECT_EQ(base.read(1).HasFile, 1);
    EXPECT_EQ(base.read(1).Size, site.mixes()[b].bytes / 1024);
    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Done);
    EXPECT_EQ(rows.status(1).kind(), DownloadState::Kind::Done);
}

// A mark that cannot be written (the catalogue gone from under the run, a folder in its place)
// fails its row with the file's name and ends the run: the file stays, its entry stays queued.
TEST_F(DownloadRunTest, AMarkThatCannotBeWrittenFailsItsRowAndEndsTheRun) {
    const auto [first, second] = twoLargeMixes();
    const std::size_t a = first, b = second;
    queueMixes({a, b});
    reports.onProgress = [&] {
        if (::unlink(folder.file("Base.vlt").c_str()) == 0) {
            ::mkdir(folder.file("Base.vlt").c_str(), 0755);
        }
    };
    const DownloadResult result = batch();
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Failed);
    EXPECT_NE(result.error.find(folder.file("Base.vlt")), std::string::npos) << result.error;
    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Failed);
    EXPECT_FALSE(fileExists(folder.file("ZIP/" + site.mixes()[b].id + ".zip")));
    EXPECT_EQ(readBytes(folder.file("ZIP/" + site.mixes()[a].id + ".zip")),
              site.archive(site.mixes()[a]));
    EXPECT_TRUE(QueueFile(folder.file("List.dnl")).isWaiting(rows.entry(0)));
}

TEST_F(DownloadRunTest, AMixAnotherRunIsFetchingIsLeftToItUntilItLetsGoAndNeverFetchedTwice) {
    auto whole = [](const DemoMix& m) { return m.status == 200 && m.hasLength; };
    const std::size_t first = mixWhere(whole);
    const std::size_t second =
        mixWhere([&](const DemoMix& m) { return whole(m) && m.id != site.mixes()[first].id; });
    queueMixes({first, second});
    writeBytes(folder.file("Setting.ini"), "[Downloader]\r\nPath=" + folder.file("ZIP/") + "\r\n");
    const std::string firstFile = folder.file("ZIP/" + site.mixes()[first].id + ".zip");

    // Another run (of this process or another) holds the first mix: a single row leaves it.
    auto other = std::make_unique<DownloadUnderWay>(folder.path());
    ASSERT_TRUE(other->claimMix(1));
    test::CommandResult cli =
        test::runCli({"--data-dir", folder.path(), "--site", site.baseAddress(), "download", "1"});
    EXPECT_EQ(cli.status, 3);
    EXPECT_EQ(cli.out, "1\t" + site.mixes()[first].id + "\tЗанят\n");

    // A batch fetches the rest, then waits for the other run to let the mix go.
    DownloadResult result;
    std::thread run([&] { result = batch(); });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (rows.status(1).kind() != DownloadState::Kind::Done &&
           std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(rows.status(1).kind(), DownloadState::Kind::Done);
    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Busy);
    EXPECT_FALSE(fileExists(firstFile + ".part"));
    // The other run fetches it: its record marked, its entry taken off; then it lets go.
    CatalogueFile(folder.file("Base.vlt")).update(1, [](MixRecord& r) { r.HasFile = 1; });
    QueueFile(folder.file("List.dnl")).markRemoved(rows.entry(0));
    const int requests = site.downloadRequests() + site.sizeRequests();
    other.reset();
    run.join();
    EXPECT_EQ(result.outcome, DownloadResult::Outcome::Done);
    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::TakenOff);  // not this run's doing
    // This run asked the site nothing more and wrote no file of it.
    EXPECT_EQ(site.downloadRequests() + site.sizeRequests(), requests);
    EXPECT_FALSE(fileExists(firstFile));
}

// One file at every download address, served by a server that breaks as told.
class FlakyServer {
public:
    enum class Ranges { Honour, WholeFile, Refuse };

    explicit FlakyServer(std::string body)
        : body_(std::move(body)),
          server_([this](const std::string& request) { return answer(request); }) {}
    std::string baseAddress() const { return server_.baseAddress(); }

    std::atomic<int> busyAnswers{0};  // this many 503 answers first, each with Retry-After: 0
    std::atomic<int> cutAnswers{0};   // this many transfers break after cutAfter bytes of body
    std::atomic<std::size_t> cutAfter{0};
    std::atomic<Ranges> ranges{Ranges::Honour};
    std::atomic<int> rangeRequests{0};

private:
    test::CannedServer::Reply answer(const std::string& request) {
        if (busyAnswers > 0) {
            --busyAnswers;
            return {"HTTP/1.1 503 Busy\r\nRetry-After: 0\r\nContent-Length: 0\r\n\r\n"};
        }
        std::size_t from = 0;
        std::string head = "HTTP/1.1 200 OK\r\n";
        std::size_t range = request.find("Range: bytes=");
        if (range != std::string::npos) {
            ++rangeRequests;
            if (ranges == Ranges::Refuse) {
                return {"HTTP/1.1 416 No\r\nContent-Length: 0\r\n\r\n"};
            }
            if (ranges == Ranges::Honour) {
                from = std::stoul(request.substr(range + 13));
                head = "HTTP/1.1 206 Partial\r\nContent-Range: bytes " + std::to_string(from) +
                       "-" + std::to_string(body_.size() - 1) + "/" + std::to_string(body_.size()) +
                       "\r\n";
            }
        }
        std::string reply = head + "Content-Length: " + std::to_string(body_.size() - from) +
                            "\r\n\r\n" + body_.substr(from);
        if (request.starts_with("HEAD")) {
            return {reply.substr(0, reply.find("\r\n\r\n") + 4)};
        }
        if (cutAnswers > 0) {
            --cutAnswers;
            return {reply.substr(0, reply.size() - (body_.size() - from) + cutAfter), true};
        }
        return {reply};
    }

    std::string body_;
    test::CannedServer server_;
};

TEST_F(DownloadRunTest, ACutTransferIsTriedAgainAndResumesWhereItStopped) {
    DemoMix mix;
    mix.id = "424242";
    mix.bytes = 300000;
    const std::string archive = makeArchive(mix, 3);
    FlakyServer server(archive);
    server.busyAnswers = 1;  // the first answer asks for a second try
    server.cutAnswers = 2;
    server.cutAfter = 100000;
    queueMixes({0});
    DownloadSettings patient = settings(server.baseAddress());
    patient.retries = 3;
    patient.retryDelaysMs = {0};
    DownloadRun run(patient, rows, reports, sounds, stop, paused);
    ASSERT_EQ(run.batch().outcome, DownloadResult::Outcome::Done);
    const std::string file = folder.file("ZIP/" + site.mixes()[0].id + ".zip");
    EXPECT_EQ(readBytes(file), archive);
    EXPECT_FALSE(fileExists(file + ".part"));
    EXPECT_EQ(server.rangeRequests, 2);  // from 100,000, then from 200,000
    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Done);
    auto retried = std::count_if(reports.statuses.begin(), reports.statuses.end(),
                                 [](const auto& s) { return s.second.starts_with("Повтор"); });
    EXPECT_EQ(retried, 3);

    // A server that will not resume: a 200 or a 416 to the range starts from the beginning.
    for (FlakyServer::Ranges answer :
         {FlakyServer::Ranges::WholeFile, FlakyServer::Ranges::Refuse}) {
        server.ranges = answer;
        queueMixes({0});
        writeBytes(file + ".part", std::string(5000, 'x'));
        DownloadRun again(patient, rows, reports, sounds, stop, paused);
        ASSERT_EQ(again.batch().outcome, DownloadResult::Outcome::Done);
        EXPECT_EQ(readBytes(file), archive);
    }

    // Tries stop at the count: the .part stays for a later run, the entry stays queued.
    server.ranges = FlakyServer::Ranges::Honour;
    server.cutAnswers = 100;
    server.cutAfter = 1000;
    patient.retries = 2;
    queueMixes({0});
    ::unlink(file.c_str());
    DownloadRun giving(patient, rows, reports, sounds, stop, paused);
    giving.batch();
    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Failed);
    EXPECT_EQ(readBytes(file + ".part").size(), 3000u);
    EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll()[0].Removed, 0);

    // A later run goes on from the kept part, whose bytes the check reads first: a byte damaged
    // on the disk meanwhile breaks the archive.
    server.cutAnswers = 0;
    std::string kept = readBytes(file + ".part");
    kept[1000] = static_cast<char>(kept[1000] ^ 1);
    writeBytes(file + ".part", kept);
    DownloadRun later(patient, rows, reports, sounds, stop, paused);
    later.batch();
    EXPECT_EQ(rows.status(0).kind(), DownloadState::Kind::Broken);
    ASSERT_FALSE(reports.failures.empty());
    EXPECT_NE(reports.failures.back().find("mix.flp: CRC error"), std::string::npos)
        << reports.failures.back();
    EXPECT_FALSE(fileExists(file));
}

// The check refuses what is not the mix, and only that: a page, however it comes, and a ZIP archive
// that fails its check. Any other body is kept as it came. With the check off, everything is kept.
TEST_F(DownloadRunTest, TheCheckRefusesPagesAndBrokenArchivesAndKeepsAnyOtherBody) {
    std::string crcInBoth = test::deflatedArchive({{"mix.flp", std::string(20000, 'm')}});
    // The entry's CRC-32 changed alike in its local header and the directory: they agree with
    // each other, not with the data.
    crcInBoth.at(14) ^= 0x20;
    crcInBoth.at(crcInBoth.find(std::string("PK\1\2", 4)) + 16) ^= 0x20;
    const std::string zip = makeArchive(site.mixes()[0], 7);
    const std::string rar("Rar!\x1a\x07\x00\xcf\x90\x73\x00\x00\x0d", 13);
    const std::string project(
        "FLhd\x06\x00\x00\x00\x00\x00\x03\x00\x60\x00"
        "FLdt",
        18);
    const char* const page = "Сайт прислал страницу вместо микса (";
    const struct {
        const char* what;
        std::string headers;  // besides the length
        std::string body;
        const char* refusal;  // how the row's reason begins; nothing: the body is kept
    } cases[] = {
        {"a page", "", "<html>Error: the file is on holiday</html>", page},
        {"a page after a mark and white space", "", "\xEF\xBB\xBF \r\n\t<!DOCTYPE html><p>", page},
        {"labelled a page", "Content-Type: Text/HTML; charset=utf-8\r\n", zip, page},
        {"a deflated entry's CRC wrong in both headers", "", crcInBoth, "Файл не целый архив ("},
        {"a whole archive", "", zip, nullptr},
        {"a RAR archive", "Content-Type: application/x-rar\r\n", rar, nullptr},
        {"a bare project", "", project, nullptr},
    };
    const std::string file = folder.file("ZIP/" + site.mixes()[0].id + ".zip");
    for (bool check : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (check ? "" : ", unchecked"));
            CannedServer server("HTTP/1.1 200 OK\r\n" + c.headers + "Content-Length: " +
                                std::to_string(c.body.size()) + "\r\n\r\n" + c.body);
            queueMixes({0});
            reports.failures.clear();
            sounds.played.clear();
            DownloadSettings s = settings(server.baseAddress());
            s.checkArchives = check;
            DownloadRun(s, rows, reports, sounds, stop, paused).batch();
            const bool refused = check && c.refusal != nullptr;
            EXPECT_EQ(fileExists(file) ? readBytes(file) : "none", refused ? "none" : c.body);
            EXPECT_EQ(rows.status(0).kind(),
                      refused ? DownloadState::Kind::Broken : DownloadState::Kind::Done);
            EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll()[0].Removed, refused ? 0 : 1);
            EXPECT_EQ(CatalogueFile(folder.file("Base.vlt")).read(1).HasFile, refused ? 0 : 1);
            EXPECT_EQ(sounds.played, std::vector<std::string>{refused ? "STOP.wav" : "done.wav"});
            if (refused) {
                ASSERT_FALSE(reports.failures.empty());
                EXPECT_TRUE(reports.failures.back().starts_with(c.refusal + file))
                    << reports.failures.back();
            }
            ::unlink(file.c_str());
        }
    }
}

}  // namespace
}  // namespace kelvarn
