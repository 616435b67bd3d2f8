// SPDX-License-Identifier: GPL-3.0-or-later
// Import runs against the stand-in site on loopback: what lands in Base.vlt, index and List.dnl.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/queue_file.h"
#include "core/import/import_run.h"
#include "core/import/save_journal.h"
#include "core/import/site_list_parser.h"
#include "core/storage/cp1251.h"
#include "core/storage/file_lock.h"
#include "demo_site/demo_site.h"
#include "tests/support/import_run_fixture.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;
using test::runCli;
using test::writeBytes;

using test::ImportRunTest;
using test::kTime;
using test::kToday;
using test::Recorder;

TEST_F(ImportRunTest, NewMixesLandInTheCatalogueTheIdListAndTheQueue) {
    ImportResult result = run();
    ASSERT_EQ(result.outcome, ImportResult::Outcome::Done) << result.error;
    std::vector<const ImportRow*> fresh;
    for (const ImportRow& r : rows) {
        if (r.isNew()) {
            fresh.push_back(&r);
        }
    }
    ASSERT_GT(fresh.size(), 30u);
    EXPECT_EQ(result.newRecords, static_cast<int>(fresh.size()));
    EXPECT_EQ(
        recorder.statuses,
        (std::vector<std::string>{"Этап 1", "Получаем лист...", "Получение закончено", "Этап 2",
                                  "Этап 3", "Отброс уже существующих миксов", "Получение размера",
                                  "Сохранение...", "Записи добавлены в базу",
                                  "Количество новых записей: " + std::to_string(fresh.size())}));
    // Exactly the site's mixes that a ticked style takes: the lines that are no mix bring none.
    std::vector<std::string> expected, listed;
    for (const DemoMix& m : site.mixes()) {
        if (categoryCode(std::to_string(m.category)) != 14) {
            expected.push_back(m.id);
        }
    }
    for (const ImportRow& r : rows) {
        listed.push_back(r.id);
    }
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(readBytes(folder.file("Loops.dat")), site.listPage());
    EXPECT_FALSE(fileExists(folder.file("out")));
    EXPECT_FALSE(fileExists(folder.file("out2")));

    // Records in page order, numbered from 1, each as the page and the size query gave it.
    CatalogueFile base(folder.file("Base.vlt"));
    ASSERT_EQ(base.count(), fresh.size());
    std::vector<std::string> idLines = IdList::inFolder(folder.path()).readIds();
    std::vector<QueueEntry> queue = QueueFile(folder.file("List.dnl")).readAll();
    ASSERT_EQ(queue.size(), fresh.size());
    for (std::uint32_t n = 1; n <= fresh.size(); ++n) {
        const ImportRow& r = *fresh[n - 1];
        MixRecord record = base.read(n);
        EXPECT_EQ(record.Id, r.id.substr(0, 6));
        EXPECT_EQ(record.Author, r.author.substr(0, 50));
        EXPECT_EQ(record.Title, r.title.substr(0, 50));
        EXPECT_EQ(record.Email, r.email.substr(0, 30));
        EXPECT_EQ(record.Style, r.code);
        EXPECT_EQ(record.Size, std::stoi(r.size));
        EXPECT_EQ(record.AddedDate, kToday);
        EXPECT_EQ(record.AddedTime, kTime);
        EXPECT_EQ(record.HasFile | record.Rating | record.InRecycleBin | record.IsFavourite, 0);
        EXPECT_EQ(idLines[n - 1], record.Id);
        EXPECT_EQ(queue[n - 1],
                  (QueueEntry{static_cast<std::int32_t>(n), record.Id,
                              trackText(record.Author, record.Title), record.Size, 0}));
        EXPECT_EQ(recorder.saved[n - 1].first, n);
        EXPECT_EQ(recorder.saved[n - 1].second, record);
    }
    EXPECT_EQ(readBytes(folder.file("index")).substr(0, 8), fresh[0]->id.substr(0, 6) + "\r\n");
}

TEST_F(ImportRunTest, TwoRunsOnOneFolderAtOnceAddEachMixOnce) {
    Recorder other;
    std::vector<ImportResult> results(2);
    auto runWith = [&](Recorder& observer, ImportResult& result) {
        result = ImportRun(settings(), selection, observer, stop).run();
    };
    std::thread first(runWith, std::ref(recorder), std::ref(results[0]));
    std::thread second(runWith, std::ref(other), std::ref(results[1]));
    first.join();
    second.join();
    EXPECT_EQ(results[0].outcome, ImportResult::Outcome::Done) << results[0].error;
    EXPECT_EQ(results[1].outcome, ImportResult::Outcome::Done) << results[1].error;
    EXPECT_EQ(std::min(results[0].newRecords, results[1].newRecords), 0);
    std::vector<std::string> ids = IdList::inFolder(folder.path()).readIds();
    std::set<std::string> unique(ids.begin(), ids.end());
    EXPECT_EQ(unique.size(), ids.size());
    EXPECT_EQ(CatalogueFile(folder.file("Base.vlt")).count(), ids.size());
    EXPECT_EQ(static_cast<int>(ids.size()), results[0].newRecords + results[1].newRecords);
}

TEST_F(ImportRunTest, SizesComeFromContentLengthInKilobytes) {
    ASSERT_EQ(run().outcome, ImportResult::Outcome::Done);
    int checked = 0;
    for (const DemoMix& m : site.mixes()) {
        const ImportRow* r = row(m.id);
        if (r == nullptr || !r->isNew()) {
            continue;
        }
        std::int64_t expected = m.status == 200 && m.hasLength ? m.bytes / 1024 : 0;
        EXPECT_EQ(r->size, std::to_string(expected)) << m.id << " of " << m.bytes << " bytes";
        ++checked;
    }
    EXPECT_GT(checked, 30);
    bool saw1023 = false, saw2048 = false, sawChunked = false;
    for (const DemoMix& m : site.mixes()) {
        saw1023 |= m.bytes == 1023;
        saw2048 |= m.bytes == 2048;
        sawChunked |= !m.hasLength;
    }
    EXPECT_TRUE(saw1023 && saw2048 && sawChunked);
}

TEST_F(ImportRunTest, ASecondRunReusesThePageAndAppendsNothing) {
    ASSERT_EQ(run().outcome, ImportResult::Outcome::Done);
    std::string base = readBytes(folder.file("Base.vlt"));
    std::string queue = readBytes(folder.file("List.dnl"));
    EXPECT_EQ(site.listRequests(), 1);

    ImportResult second = run();
    EXPECT_EQ(second.outcome, ImportResult::Outcome::Done);
    EXPECT_EQ(second.newRecords, 0);
    EXPECT_EQ(site.listRequests(), 1);  // Loops.dat was parsed again
    for (const ImportRow& r : rows) {
        EXPECT_EQ(r.idx, "1") << r.id;
    }
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), base);
    EXPECT_EQ(readBytes(folder.file("List.dnl")), queue);
}

TEST_F(ImportRunTest, StoredPageIsUsedWithoutARequestAndIdsNoLineCanHoldAreSkipped) {
    std::string marker = fileLinkMarker(site.baseAddress());
    std::string mail = "\r\n<a href=\"mailto:s@s\">Keeper</a> category&id=3\"\r\n";
    // A NUL inside an ID: the literal keeps its length so the NUL reaches the page.
    constexpr std::string_view kNulId(
        "12\0"
        "34\">Nul</a>",
        14);
    writeBytes(folder.file("Loops.dat"), marker + std::string(kNulId) + mail + marker +
                                             "\">No ID</a>" + mail + marker + "654321>Unclosed" +
                                             mail + marker + "777777\">Stored</a>" + mail);
    // Temporaries of a run killed while writing its working files or its journal.
    const auto temporaries = {"out.kelvarn-tmp.Ab12Cd", "out2.kelvarn-tmp.zzzzzz",
                              "Loops.dat.kelvarn-tmp.x1Y2z3", "Import.jnl.kelvarn-tmp.q1W2e3"};
    for (const char* left : temporaries) {
        writeBytes(folder.file(left), std::string(1000, 'x'));
    }
    // A save killed before it wrote mix 500000: completed by this run, and counted in its report.
    writeBytes(saveJournalPath(folder.path()),
               SaveJournal{{test::sampleRecord("500000")}, false, 1}.bytes());
    ImportResult result = run();
    EXPECT_EQ(site.listRequests(), 0);
    EXPECT_EQ(result.newRecords, 2);
    EXPECT_EQ(recorder.statuses.back(), "Количество новых записей: 2");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].author, "Keeper");
    EXPECT_EQ(rows[0].size, "0");  // the site does not know the ID
    EXPECT_EQ(readBytes(folder.file("index")), "500000\r\n777777\r\n");
    EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll().size(), 1u);
    for (const char* left : temporaries) {
        EXPECT_FALSE(fileExists(folder.file(left))) << left;
    }
}

TEST_F(ImportRunTest, CharacterReferencesOfThePageAreDecodedIntoTheRecord) {
    const std::string marker = fileLinkMarker(site.baseAddress());
    writeBytes(folder.file("Loops.dat"),
               marker +
                   "777777\">Drum &amp; Bass &lt;Live&gt; &#151; &#x41;&#0;&#9731;&copy;</a>\r\n" +
                   "<a href=\"mailto:a&amp;b@c\">&quot;Ab&quot;&nbsp;&#39;&#1025;&amp</a> "
                   "category&id=3\"\r\n");
    ASSERT_EQ(run().outcome, ImportResult::Outcome::Done);
    const MixRecord record = CatalogueFile(folder.file("Base.vlt")).read(1);
    // A reference to no character, or to one Windows-1251 lacks, stays as the page wrote it.
    EXPECT_EQ(record.Title, "Drum & Bass <Live> \x97 A&#0;&#9731;&copy;");
    EXPECT_EQ(record.Author, "\"Ab\"\xA0'" + std::string("Ё&amp"_cp));
    EXPECT_EQ(record.Email, "a&b@c");

    // The author test reads the list's names decoded too, as a list kept from before the
    // decoding wrote them; nullptr: not taken.
    struct Row {
        const char* author;
        const char* listName;
        const char* stored;
    };
    const Row table[] = {
        {"Drum &amp; Bass Crew", "Drum &amp; Bass Crew", "Drum & Bass Crew"},
        {"Drum &amp; Bass Crew", "drum & bass", "Drum & Bass Crew"},
        {"Drum &amp; Bass Crew", "Drum &amp;amp; Bass", nullptr},
        {"&#9733;Star&#9733;", "&#9733;star", "&#9733;Star&#9733;"},
        {"&#9733;Star", "?star", nullptr},
    };
    int id = 700000;
    for (const Row& r : table) {
        SCOPED_TRACE(r.author + std::string(" / ") + r.listName);
        selection.set(SelectionControls{false, {}, true, {r.listName}, true});
        writeBytes(folder.file("Loops.dat"), marker + std::to_string(++id) + "\">T</a>\r\n" +
                                                 "<a href=\"mailto:m\">" + r.author +
                                                 "</a> category&id=3\"\r\n");
        ASSERT_EQ(run().outcome, ImportResult::Outcome::Done);
        CatalogueFile catalogue(folder.file("Base.vlt"));
        const MixRecord last = catalogue.read(catalogue.count());
        EXPECT_EQ(last.Id == std::to_string(id), r.stored != nullptr);
        if (r.stored != nullptr) {
            EXPECT_EQ(last.Author, r.stored);
        }
    }
}

TEST_F(ImportRunTest, IdsAfterNulsAndOddLineEndsOfTheIdListStillCount) {
    const auto& m = site.mixes();
    // A NUL line, a lone CR, an overlong line, NULs before and after an ID, no last line end.
    std::string index = m[0].id + "\r\n" + std::string("\0\r\n", 3) + m[1].id + "\r" + m[2].id +
                        "999\r\n" + std::string("\0\0", 2) + m[3].id + std::string("\0", 1) +
                        "\r\n" + m[4].id;
    writeBytes(folder.file("index"), index);
    ASSERT_EQ(run().outcome, ImportResult::Outcome::Done);
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(row(m[i].id), nullptr);
        EXPECT_EQ(row(m[i].id)->idx, "1") << m[i].id;
    }
    std::string base = readBytes(folder.file("Base.vlt"));
    ASSERT_FALSE(base.empty());
    EXPECT_EQ(run().newRecords, 0);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), base);
    std::vector<std::string> ids = IdList::inFolder(folder.path()).readIds();
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
}

TEST_F(ImportRunTest, ASiteThatStopsAnsweringCostsTwoQueriesAndAStopEndsTheWaitAtOnce) {
    test::CannedServer silent("");
    std::string marker = fileLinkMarker(silent.baseAddress());
    std::string page;
    for (int i = 0; i < 5; ++i) {
        page += marker + std::to_string(100001 + i) +
                "\">T</a>\r\n<a href=\"mailto:e\">A</a> category&id=3\"\r\n";
    }
    writeBytes(folder.file("Loops.dat"), page);
    ImportSettings quick = settings();
    quick.site = silent.baseAddress();
    quick.limits.sizeQuerySeconds = 1;
    ImportResult result = run(quick);
    EXPECT_EQ(result.newRecords, 5);
    EXPECT_EQ(silent.connections(), 2);
    EXPECT_NE(std::find(recorder.statuses.begin(), recorder.statuses.end(),
                        "Сайт не отвечает: размер остальных миксов 0"),
              recorder.statuses.end());
    for (const ImportRow& r : rows) {
        EXPECT_EQ(r.size, "0");
    }

    // With the full limit, a stop during a query ends the run long before the limit would.
    writeBytes(folder.file("index"), "");
    ImportSettings patient = settings();
    patient.site = silent.baseAddress();
    std::thread stopper([&] {
        while (silent.connections() < 3) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stop = true;
    });
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(run(patient).outcome, ImportResult::Outcome::Stopped);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST_F(ImportRunTest, ASizeBeyondTheRecordsFieldIsStoredAsItsLargestValueEverywhere) {
    test::CannedServer huge("HTTP/1.1 200 OK\r\nContent-Length: 2251799813685248\r\n\r\n");
    writeBytes(folder.file("Loops.dat"),
               fileLinkMarker(huge.baseAddress()) +
                   "424242\">Big</a>\r\n<a href=\"mailto:e\">A</a> category&id=3\"\r\n");
    ImportSettings settingsForHuge = settings();
    settingsForHuge.site = huge.baseAddress();
    ASSERT_EQ(run(settingsForHuge).outcome, ImportResult::Outcome::Done);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].size, "2147483647");
    EXPECT_EQ(CatalogueFile(folder.file("Base.vlt")).read(1).Size, 2147483647);
    EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll().at(0).Size, 2147483647);
}

TEST_F(ImportRunTest, WithoutTheQueueBoxTheQueueIsLeftAlone) {
    SelectionControls controls = *selection.get();
    controls.addToQueue = false;
    selection.set(controls);
    ASSERT_EQ(run().outcome, ImportResult::Outcome::Done);
    EXPECT_EQ(readBytes(folder.file("List.dnl")), "");
    EXPECT_GT(CatalogueFile(folder.file("Base.vlt")).count(), 0u);
}

TEST_F(ImportRunTest, NothingSelectedSavesNothing) {
    selection.set(SelectionControls{false, {}, false, {"dj"}, true});
    ImportResult result = run();
    EXPECT_EQ(result.outcome, ImportResult::Outcome::Done);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(result.newRecords, 0);
    EXPECT_EQ(recorder.statuses.back(), "Количество новых записей: 0");
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), "");
}

TEST_F(ImportRunTest, AFailedFetchTakesTheFailurePathOnce) {
    for (int status : {500, 404, 302}) {
        site.setListStatus(status);
        Recorder fresh;
        ImportResult result = ImportRun(settings(), selection, fresh, stop).run();
        EXPECT_EQ(result.outcome, ImportResult::Outcome::FetchFailed) << status;
        EXPECT_NE(result.error.find(site.baseAddress() + "/fruityloops/loops.php"),
                  std::string::npos);
        EXPECT_EQ(fresh.beeps, 1);
        ASSERT_GE(fresh.statuses.size(), 2u);
        EXPECT_EQ(fresh.statuses[fresh.statuses.size() - 2],
                  "Возникли проблемы с получением миксов!");
        EXPECT_EQ(fresh.statuses.back(), "Проверьте подключение к интернету!");
        EXPECT_FALSE(fileExists(folder.file("Loops.dat")));
    }
    EXPECT_EQ(site.listRequests(), 3);  // one request a run, no retries
    site.stop();
    EXPECT_EQ(run().outcome, ImportResult::Outcome::FetchFailed);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), "");
}

TEST_F(ImportRunTest, AMissingFileEndsTheRunWithItsNameBeforeAnyWrite) {
    std::remove(folder.file("index").c_str());
    ImportResult result = run();
    EXPECT_EQ(result.outcome, ImportResult::Outcome::Failed);
    EXPECT_EQ(result.error, "File not found: " + folder.file("index"));
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), "");

    writeBytes(folder.file("index"), "");
    std::remove(folder.file("List.dnl").c_str());
    result = run();
    EXPECT_EQ(result.outcome, ImportResult::Outcome::Failed);
    EXPECT_EQ(result.error, "File not found: " + folder.file("List.dnl"));
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), "");
    EXPECT_EQ(readBytes(folder.file("index")), "");
}

TEST_F(ImportRunTest, AStopDuringTheSaveLeavesWholeRecordsOnly) {
    recorder.onSave = [this] {
        if (recorder.saved.size() == 3) {
            stop = true;
        }
    };
    ImportResult result = run();
    EXPECT_EQ(result.outcome, ImportResult::Outcome::Stopped);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")).size(), 3 * kRecordSize);
    EXPECT_EQ(IdList::inFolder(folder.path()).readIds().size(), 3u);
    EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll().size(), 3u);
}

TEST_F(ImportRunTest, AFileErrorNamesTheFileAndIsNoNetworkFailure) {
    writeBytes(folder.file("AvtLst.lst"), "");
    for (const char* name : {"out", "Loops.dat"}) {
        std::filesystem::create_directory(folder.file(name));
        EXPECT_EQ(run().error, "Invalid filename: " + folder.file(name));
        test::CommandResult r =
            runCli({"--data-dir", folder.path(), "--site", site.baseAddress(), "import"});
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.err, "kelvarn-cli: Invalid filename: " + folder.file(name) + "\n");
        std::filesystem::remove(folder.file(name));
    }
    EXPECT_EQ(recorder.beeps, 0);
    EXPECT_EQ(std::count(recorder.statuses.begin(), recorder.statuses.end(),
                         "Проверьте подключение к интернету!"),
              0);
}

}  // namespace
}  // namespace kelvarn
