// Daily copies of Base.vlt and index: taken before the first write of a day, rotated, listed and
// put back.
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
#include "core/downloader/download_run.h"
#include "core/storage/backups.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;
using test::TempFolder;
using test::writeBytes;

std::vector<std::string> namesOf(const std::vector<BackupEntry>& entries) {
    std::vector<std::string> names;
    for (const BackupEntry& e : entries) {
        names.push_back(e.name);
    }
    return names;
}

// Records 1 and 2 in the folder, and the backup 2026-01-01 of record 1 alone.
void withBackupOfOneRecord(const TempFolder& folder) {
    test::writeCatalogue(folder.file("Base.vlt"), {test::sampleRecord("1")});
    writeBytes(folder.file("index"), "1\r\n");
    takeBackup(folder.path(), "2026-01-01", 7);
    test::writeCatalogue(folder.file("Base.vlt"),
                         {test::sampleRecord("1"), test::sampleRecord("2")});
    writeBytes(folder.file("index"), "1\r\n2\r\n");
}

TEST(Backups, TheFirstWriteOfADayKeepsTheDayBeforeAndTheOldestDaysGo) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {test::sampleRecord("1")});
    writeBytes(folder.file("index"), "1\r\n");
    const std::string before = readBytes(folder.file("Base.vlt"));

    CatalogueFile(folder.file("Base.vlt")).append(test::sampleRecord("2"));
    IdList::inFolder(folder.path()).append("2");
    std::vector<BackupEntry> taken = listBackups(folder.path());
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].records, 1u);
    const std::string day = folder.file("backup/" + taken[0].name + "/");
    EXPECT_EQ(readBytes(day + "Base.vlt"), before);  // as the day began, not after its writes
    EXPECT_EQ(readBytes(day + "index"), "1\r\n");

    for (int d = 1; d <= 8; ++d) {
        takeBackup(folder.path(), "2026-01-0" + std::to_string(d), 7);
    }
    std::vector<std::string> names = namesOf(listBackups(folder.path()));
    EXPECT_EQ(names.size(), 7u);
    EXPECT_EQ(names.front(), "2026-01-03");

    // Backups=0 takes none.
    TempFolder off;
    writeBytes(off.file("Setting.ini"), "[Main]\r\nBackups=0\r\n");
    writeBytes(off.file("Base.vlt"), "");
    CatalogueFile(off.file("Base.vlt")).append(test::sampleRecord("3"));
    EXPECT_FALSE(std::filesystem::exists(off.file("backup")));
}

TEST(Backups, TheCommandLineListsThemAndPutsOneBackKeepingTheCurrentPair) {
    TempFolder folder;
    withBackupOfOneRecord(folder);
    const std::string current = readBytes(folder.file("Base.vlt"));
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", folder.path()});
        return test::runCli(args);
    };
    EXPECT_EQ(cli({"backups"}).out, "2026-01-01\t1\n");

    // Not while an import holds the folder.
    int dir = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(dir, LOCK_EX), 0);
    EXPECT_EQ(cli({"restore-backup", "2026-01-01"}).status, 1);
    ::close(dir);
    EXPECT_EQ(cli({"restore-backup", "1999-01-01"}).status, 1);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), current);

    test::CommandResult restored = cli({"restore-backup", "2026-01-01"});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(CatalogueFile(folder.file("Base.vlt")).count(), 1u);
    EXPECT_EQ(readBytes(folder.file("index")), "1\r\n");
    std::vector<BackupEntry> entries = listBackups(folder.path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].records, 2u);  // the pair as it stood before the restore
    EXPECT_EQ(readBytes(folder.file("backup/" + entries[1].name + "/Base.vlt")), current);
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
