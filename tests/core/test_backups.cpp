// SPDX-License-Identifier: GPL-3.0-or-later
// Copies of Base.vlt, index and List.dnl: taken before the first write of a day, rotated, listed
// and put back together.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/queue_file.h"
#include "core/downloader/download_run.h"
#include "core/import/save_journal.h"
#include "core/storage/backups.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "core/storage/profile_file.h"
#include "core/tools/backup_restore.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::CatalogueFiles;
using test::readBytes;
using test::readCatalogueFiles;
using test::TempFolder;
using test::writeBytes;

std::vector<std::string> namesOf(const std::vector<BackupEntry>& entries) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const BackupEntry& e : entries) {
        names.push_back(e.name);
    }
    return names;
}

// Records 1 and 2, both queued, in the folder, and the backup 2026-01-01 of record 1 alone, whose
// files it returns.
CatalogueFiles withBackupOfOneRecord(const TempFolder& folder) {
    test::writeCatalogueFiles(folder.path(), test::sampleCatalogueFiles(1));
    takeBackup(folder.path(), "2026-01-01", 7);
    test::writeCatalogueFiles(folder.path(), test::sampleCatalogueFiles(2));
    return test::sampleCatalogueFiles(1);
}

test::CommandResult cli(const TempFolder& folder, std::vector<std::string> args) {
    args.insert(args.begin(), {"--data-dir", folder.path()});
    return test::runCli(args);
}

TEST(Backups, TheFirstWriteOfEachDayKeepsAllThreeAsTheDayBeganAndTheOldestGo) {
    TempFolder folder;
    const CatalogueFiles one = test::sampleCatalogueFiles(1);
    test::writeCatalogueFiles(folder.path(), one);
    double today = 46000;  // 2025-12-09
    setDailyBackups({[&] { return today; }, {}});
    QueueFile(folder.file("List.dnl")).append({2, "2", "A - T", 0, 0});
    CatalogueFile(folder.file("Base.vlt")).append(test::sampleRecord("2"));
    const CatalogueFiles secondDay = readCatalogueFiles(folder.path());
    today += 1;
    IdList::inFolder(folder.path()).append("2");
    setDailyBackups({});
    EXPECT_EQ(namesOf(listBackups(folder.path())),
              (std::vector<std::string>{"2025-12-09", "2025-12-10"}));
    EXPECT_EQ(readCatalogueFiles(folder.file("backup/2025-12-09/")), one);
    EXPECT_EQ(readCatalogueFiles(folder.file("backup/2025-12-10/")), secondDay);

    // What an earlier version killed in its copy left is not listed; the day's copy replaces it.
    std::filesystem::create_directories(folder.file("backup/2026-01-05"));
    writeBytes(folder.file("backup/2026-01-05/Base.vlt"), one.base);
    EXPECT_EQ(listBackups(folder.path()).size(), 2u);
    for (int d = 1; d <= 8; ++d) {
        takeBackup(folder.path(), "2026-01-0" + std::to_string(d), 7);
    }
    std::vector<std::string> names = namesOf(listBackups(folder.path()));
    EXPECT_EQ(names.size(), 7u);
    EXPECT_EQ(names.front(), "2026-01-02");
    EXPECT_EQ(readCatalogueFiles(folder.file("backup/2026-01-05/")),
              readCatalogueFiles(folder.path()));

    // The copies restores keep go by the same rule, beside the days.
    writeBytes(folder.file("Setting.ini"), "[Main]\r\nBackups=2\r\n");
    for (int i = 0; i < 3; ++i) {
        restoreBackup(folder.path(), "2026-01-08");
    }
    names = namesOf(listBackups(folder.path()));
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string& n) { return n.find('_') != std::string::npos; }),
              2);
    EXPECT_EQ(names.size(), 4u);

    // Backups=0 takes none.
    TempFolder off;
    writeBytes(off.file("Setting.ini"), "[Main]\r\nBackups=0\r\n");
    writeBytes(off.file("Base.vlt"), "");
    CatalogueFile(off.file("Base.vlt")).append(test::sampleRecord("3"));
    EXPECT_FALSE(std::filesystem::exists(off.file("backup")));
}

TEST(Backups, TheCommandLinePutsAListedBackupBackAllThreeTogetherKeepingTheCurrentOnes) {
    TempFolder folder;
    const CatalogueFiles backup = withBackupOfOneRecord(folder);
    // An entry whose record number is another mix's in the backup.
    writeBytes(folder.file("List.dnl"),
               readBytes(folder.file("List.dnl")) + test::queueEntryBytes({1, "5", "A - T", 0, 0}));
    const CatalogueFiles current = readCatalogueFiles(folder.path());
    EXPECT_EQ(cli(folder, {"backups"}).out, "2026-01-01\t1\n");

    // Not while an import holds the folder.
    int dir = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(dir, LOCK_EX), 0);
    EXPECT_EQ(cli(folder, {"restore-backup", "2026-01-01"}).status, 1);
    ::close(dir);
    // Only a name that `backups` lists, refused at once: no other spelling of it, no way out.
    for (const char* name : {"..", "", "../backup/2026-01-01", "2026-01-01/", "1999-01-01"}) {
        const test::CommandResult refused = cli(folder, {"restore-backup", name});
        EXPECT_EQ(refused.status, 1) << name;
        EXPECT_EQ(refused.err, "kelvarn-cli: no backup " + std::string(name) + "\n");
    }
    EXPECT_EQ(readCatalogueFiles(folder.path()), current);

    test::CommandResult restored = cli(folder, {"restore-backup", "2026-01-01"});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(readCatalogueFiles(folder.path()), backup);
    // The day's copy and the restore's own hold the files it replaced.
    std::vector<BackupEntry> entries = listBackups(folder.path());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].records, 2u);
    EXPECT_EQ(readCatalogueFiles(folder.file("backup/" + entries[1].name + "/")), current);
    EXPECT_EQ(readCatalogueFiles(folder.file("backup/" + entries[2].name + "/")), current);

    // A backup made before queues were kept: the entries that still name their mix stay.
    test::writeCatalogueFiles(folder.path(), current);
    std::filesystem::remove(folder.file("backup/2026-01-01/List.dnl"));
    EXPECT_EQ(cli(folder, {"restore-backup", "2026-01-01"}).status, 0);
    EXPECT_EQ(readCatalogueFiles(folder.path()), backup);
}

TEST(Backups, AJournalIsCompletedAgainstTheFilesItWasWrittenForBeforeAndAfterARestore) {
    TempFolder folder;
    const CatalogueFiles backup = withBackupOfOneRecord(folder);
    // A save of mix 3 killed after its ID line.
    writeBytes(saveJournalPath(folder.path()),
               SaveJournal{{test::sampleRecord("3")}, true, 3}.bytes());
    writeBytes(folder.file("index"), "1\r\n2\r\n3\r\n");
    const CatalogueFiles halfSaved = readCatalogueFiles(folder.path());

    const test::CommandResult restored = cli(folder, {"restore-backup", "2026-01-01"});
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(readCatalogueFiles(folder.path()), backup);
    EXPECT_FALSE(fileExists(saveJournalPath(folder.path())));
    // The copy the restore kept has the mix whole; the day's, taken by the restore's first write
    // before it completed the journal, holds the journal beside the files.
    const std::vector<BackupEntry> entries = listBackups(folder.path());
    ASSERT_EQ(entries.size(), 3u);
    const std::string kept = folder.file("backup/" + entries[2].name + "/");
    EXPECT_EQ(readCatalogueFiles(folder.file("backup/" + entries[1].name + "/")), halfSaved);
    EXPECT_EQ(CatalogueFile(kept + "Base.vlt").read(3), test::sampleRecord("3"));
    EXPECT_EQ(QueueFile(kept + "List.dnl").readAll().back().RecordNumber, 3);

    // That day's copy put back is whole at once: mix 3 in all three files, once.
    restoreBackup(folder.path(), entries[1].name);
    EXPECT_FALSE(fileExists(saveJournalPath(folder.path())));
    EXPECT_EQ(readCatalogueFiles(folder.path()), readCatalogueFiles(kept));
}

TEST(Backups, ADamagedCopyIsMarkedAndNeverPutBackAndADamagedJournalIsSetAsideOnce) {
    TempFolder folder;
    withBackupOfOneRecord(folder);
    const CatalogueFiles current = readCatalogueFiles(folder.path());
    // A copy cut inside a record: put back, it would lose mixes for good.
    const CatalogueFiles three = test::sampleCatalogueFiles(3);
    std::filesystem::create_directories(folder.file("backup/2026-01-02"));
    test::writeCatalogueFiles(folder.file("backup/2026-01-02/"),
                              {three.base.substr(0, 2 * kRecordSize + 64), three.ids, three.queue});
    const std::string damage =
        "damaged: Base.vlt ends 64 bytes into record 3; index: 1 line names no record; List.dnl: "
        "1 entry names no record\n";
    EXPECT_EQ(cli(folder, {"backups"}).out, "2026-01-01\t1\n2026-01-02\t2\t" + damage);
    const test::CommandResult refused = cli(folder, {"restore-backup", "2026-01-02"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "kelvarn-cli: backup 2026-01-02 is " + damage);
    EXPECT_EQ(readCatalogueFiles(folder.path()), current);
    EXPECT_EQ(listBackups(folder.path()).size(), 2u);

    // A journal no stage wrote (empty, cut, foreign) blocks no write: it is set aside whole under
    // a name of ours, said once, and the add and the restore go ahead.
    const std::string told = "сохранён как ";
    const std::vector<std::pair<std::string, std::vector<std::string>>> writes = {
        {"", {"add", "--id", "7", "--author", "A"}},
        {"KVJ1\x01", {"add", "--id", "8", "--author", "A"}},
        {"foreign", {"restore-backup", "2026-01-01"}},
    };
    for (const auto& [journal, args] : writes) {
        writeBytes(saveJournalPath(folder.path()), journal);
        const test::CommandResult written = cli(folder, args);
        EXPECT_EQ(written.status, 0) << written.err;
        const std::size_t at = written.err.find(told);
        ASSERT_NE(at, std::string::npos) << written.err;
        EXPECT_EQ(written.err.find(told, at + 1), std::string::npos) << written.err;
        const std::string kept = written.err.substr(at + told.size());
        EXPECT_EQ(readBytes(kept.substr(0, kept.size() - 1)), journal);
    }
    EXPECT_EQ(readCatalogueFiles(folder.path()), test::sampleCatalogueFiles(1));
}

TEST(Backups, CleanUpsTakeOnlyNamesWithTheProgramsMarker) {
    TempFolder folder;
    test::writeCatalogueFiles(folder.path(), test::sampleCatalogueFiles(2));
    // What the clean-ups find beside the data files and in backup/; true: ours, removed.
    const std::pair<std::string, bool> names[] = {
        {"List.dnl.backup", false},
        {"List.dnl.Ab12Cd", false},  // an earlier build's temporary, or the user's: no telling
        {"List.dnl.kelvarn-tmp.Ab12Cd", true},
        {"List.dnl.kelvarn-tmp.Ab12Cd7", false},
        {"Setting.ini.bak123", false},
        {"Setting.ini.kelvarn-tmp.x1Y2z3", true},
        {"Import.jnl.backup", false},
        {"Import.jnl.kelvarn-tmp.q1W2e3", true},
        {"restore.part/Base.vlt", false},
        {"restore.new/Base.vlt", false},
        {"restore.kelvarn-part/Base.vlt", true},
        {"restore.kelvarn-ready/notes.txt", true},
        {"backup/2026-01-01.part/Base.vlt", false},
        {"backup/2026-01-01.kelvarn-part/Base.vlt", true},
    };
    for (const auto& [name, ours] : names) {
        std::filesystem::create_directories(std::filesystem::path(folder.file(name)).parent_path());
        writeBytes(folder.file(name), "x");
    }
    // A restore killed once its files were whole: of its folder, only what it writes goes in.
    writeBytes(folder.file("restore.kelvarn-ready/List.dnl"), "");
    finishInterruptedRestore(folder.path());
    QueueFile(folder.file("List.dnl")).compact();
    ProfileFile(folder.file("Setting.ini")).writeString("Main", "news", "1");
    {
        CatalogueAppender catalogue(folder.file("Base.vlt"));
        IdListAppender ids(folder.file("index"));
        completeInterruptedSave(folder.path(), catalogue, ids);
    }
    takeBackup(folder.path(), "2026-01-09", 7);
    for (const auto& [name, ours] : names) {
        EXPECT_EQ(std::filesystem::exists(folder.file(name)), !ours) << name;
    }
    EXPECT_EQ(readBytes(folder.file("List.dnl")), "");
}

TEST(Backups, ADataFileKeptElsewhereThroughALinkIsReplacedWhereTheLinkPoints) {
    TempFolder folder, elsewhere;
    withBackupOfOneRecord(folder);
    for (const char* name : {"Base.vlt", "List.dnl"}) {
        std::filesystem::rename(folder.file(name), elsewhere.file(name));
        std::filesystem::create_symlink(elsewhere.file(name), folder.file(name));
    }
    writeBytes(elsewhere.file("List.dnl.kelvarn-tmp.Ab12Cd"), "");  // a killed compaction's
    QueueFile(folder.file("List.dnl")).compact();
    restoreBackup(folder.path(), "2026-01-01");
    EXPECT_EQ(readCatalogueFiles(folder.path()), test::sampleCatalogueFiles(1));
    for (const char* name : {"Base.vlt", "List.dnl"}) {
        EXPECT_TRUE(std::filesystem::is_symlink(folder.file(name))) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere.path()), {}), 2);
}

TEST(Backups, ADailyCopyThatCannotBeMadeIsSaidAndTheWriteGoesAhead) {
    TempFolder folder;
    test::writeCatalogueFiles(folder.path(), test::sampleCatalogueFiles(1));
    writeBytes(folder.file("backup"), "");  // a file where the folder should be
    const test::CommandResult added = cli(folder, {"add", "--id", "7", "--author", "A"});
    EXPECT_EQ(added.status, 0);
    const std::string told = "kelvarn-cli: Резервная копия за сегодня не сделана: ";
    EXPECT_EQ(added.err.find(told), 0u) << added.err;
    EXPECT_EQ(added.err.find(told, 1), std::string::npos) << added.err;  // once for three files
    EXPECT_NE(added.err.find(folder.file("backup")), std::string::npos) << added.err;
    EXPECT_EQ(CatalogueFile(folder.file("Base.vlt")).count(), 2u);
}

TEST(Backups, AFileLockedAgainByItsHolderThroughAnotherSpellingIsAnErrorNotAHang) {
    TempFolder folder;
    writeBytes(folder.file("Base.vlt"), "");
    const LockedFile held(folder.file("Base.vlt"), O_RDWR, LockedFile::Lock::Exclusive);
    const std::string other = folder.path() + "./Base.vlt";
    try {
        MappedFile again(other);
        FAIL() << "locked twice";
    } catch (const IoError& e) {
        EXPECT_EQ(e.path(), other);
        EXPECT_NE(std::string(e.what()).find("Resource deadlock avoided"), std::string::npos);
    }
}

TEST(Backups, NoRestoreWhileADownloadRunsAndOneOnceItHasEnded) {
    TempFolder folder;
    withBackupOfOneRecord(folder);
    writeBytes(folder.file("List.dnl"), test::queueEntryBytes({2, "2", "A - T", 0, 0}));
    const std::string base = readBytes(folder.file("Base.vlt"));
    const std::string queue = readBytes(folder.file("List.dnl"));

    // A site that takes the size query and never answers: the run stays under way until stopped.
    std::atomic<bool> asked{false};
    test::CannedServer silent([&](const std::string&) {
        asked = true;
        return test::CannedServer::Reply{};
    });
    DownloadSettings settings;
    settings.folder = folder.path();
    settings.site = silent.baseAddress();
    settings.savePath = folder.path();
    settings.retries = 0;
    DownloadRows rows;
    rows.load(QueueFile(folder.file("List.dnl")).pending());
    DownloadObserver quiet;
    SilentSoundPlayer silence;
    std::atomic<bool> stop{false};
    std::atomic<bool> paused{false};
    std::thread worker([&] { DownloadRun(settings, rows, quiet, silence, stop, paused).batch(); });
    for (int i = 0; i < 500 && !asked; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(asked);

    auto restore = [&] {
        return test::runCli({"--data-dir", folder.path(), "restore-backup", "2026-01-01"});
    };
    test::CommandResult refused = restore();
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("a download is running on " + folder.path()), std::string::npos)
        << refused.err;
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), base);
    EXPECT_EQ(readBytes(folder.file("index")), "1\r\n2\r\n");
    EXPECT_EQ(namesOf(listBackups(folder.path())), std::vector<std::string>{"2026-01-01"});

    stop = true;
    worker.join();
    EXPECT_EQ(readBytes(folder.file("List.dnl")), queue);  // the stopped run marked nothing
    test::CommandResult restored = restore();
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(readBytes(folder.file("index")), "1\r\n");
}

}  // namespace
}  // namespace kelvarn
