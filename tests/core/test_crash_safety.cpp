// SPDX-License-Identifier: GPL-3.0-or-later
// A process killed (SIGKILL) at a random moment of a write the user's files depend on: what the
// next start finds must be whole. KELVARN_CRASH_ROUNDS raises the number of kills of each kind.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/queue_file.h"
#include "core/downloader/download_run.h"
#include "core/import/import_run.h"
#include "core/import/save_journal.h"
#include "core/storage/backups.h"
#include "core/storage/cp1251.h"
#include "core/storage/file_lock.h"
#include "core/storage/profile_file.h"
#include "core/tools/backup_restore.h"
#include "core/tools/manual_entry.h"
#include "demo_site/demo_site.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::CatalogueFiles;
using test::readBytes;
using test::readCatalogueFiles;
using test::TempFolder;
using test::writeBytes;

int rounds(int ciDefault) {
    const char* asked = std::getenv("KELVARN_CRASH_ROUNDS");
    return asked != nullptr ? std::max(1, std::atoi(asked)) : ciDefault;
}

// Forking while another thread of the process runs can hand the child a lock (the allocator's,
// say) that no thread of the child will ever release: every fork here is taken with one thread.
void expectOneThread() {
#ifndef __SANITIZE_THREAD__  // ThreadSanitizer runs a thread of its own, and locks around a fork
    auto tasks = std::filesystem::directory_iterator("/proc/self/task");
    if (std::distance(begin(tasks), end(tasks)) != 1) {
        throw std::logic_error("a fork of a process with threads running");
    }
#endif
}

constexpr auto kChildPatience = 60s;

// Waits for `pid` at most kChildPatience, then kills it. Returns its wait status, or -1.
int reap(pid_t pid) {
    const auto giveUp = Clock::now() + kChildPatience;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > giveUp) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(1ms);
    }
    return status;
}

// A child process running `body`; the body writes one byte to the descriptor it gets when the
// moment to kill it begins.
class Victim {
public:
    explicit Victim(const std::function<void(int ready)>& body) {
        expectOneThread();
        int fds[2];
        if (::pipe(fds) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = ::fork();
        if (pid_ < 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            throw std::runtime_error("fork");
        }
        if (pid_ == 0) {
            ::close(fds[0]);
            try {
                body(fds[1]);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        ready_ = fds[0];
    }
    ~Victim() {
        ::close(ready_);
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // False when the child ended, or hung, without reaching the moment.
    bool waitReady() {
        pollfd ready{ready_, POLLIN, 0};
        char byte = 0;
        return ::poll(&ready, 1, static_cast<int>(kChildPatience / 1ms)) == 1 &&
               ::read(ready_, &byte, 1) == 1;
    }

    // Kills the child after `delay`. Returns whether the kill found it still running.
    bool killAfter(std::chrono::microseconds delay) {
        std::this_thread::sleep_for(delay);
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFSIGNALED(status);
    }

    // Waits for the child's end; true when it exited with 0.
    bool finish() {
        const int status = reap(pid_);
        reaped_ = true;
        return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_ = -1;
    int ready_ = -1;
    bool reaped_ = false;
};

// The stand-in site served by a process of its own, so that the test process forks its victims
// with no thread running.
class SiteProcess {
public:
    explicit SiteProcess(DemoSiteOptions options) : content_(options) {
        expectOneThread();
        int fds[2];
        if (::pipe(fds) != 0) {
            throw std::runtime_error("pipe");
        }
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) {
                ::_exit(0);
            }
            // Nothing may leave this block: the child would go on running the tests.
            try {
                DemoSite site(options);
                site.start();
                const std::string page = site.listPage();
                const std::string told =
                    std::to_string(site.port()) + " " + std::to_string(page.size()) + "\n" + page;
                FILE* out = ::fdopen(fds[1], "w");
                const bool sent =
                    out != nullptr && std::fwrite(told.data(), 1, told.size(), out) == told.size();
                if (out != nullptr && std::fclose(out) == 0 && sent) {
                    for (;;) {
                        ::pause();
                    }
                }
            } catch (...) {
            }
            ::_exit(1);
        }
        ::close(fds[1]);
        if (pid_ < 0) {
            ::close(fds[0]);
            throw std::runtime_error("fork");
        }
        // "PORT SIZE", a line end and the list page.
        const std::string told = test::drain(fds[0]);
        const std::size_t lineEnd = told.find('\n');
        std::size_t size = 0;
        std::istringstream head(told.substr(0, lineEnd));
        std::string port;
        if (lineEnd == std::string::npos || !(head >> port >> size) ||
            told.size() - lineEnd - 1 != size) {
            stop();
            throw std::runtime_error("the stand-in site did not start");
        }
        baseAddress_ = "http://127.0.0.1:" + port;
        listPage_ = told.substr(lineEnd + 1);
    }
    ~SiteProcess() { stop(); }

    const std::string& baseAddress() const { return baseAddress_; }
    const std::string& listPage() const { return listPage_; }
    const std::vector<DemoMix>& mixes() const { return content_.mixes(); }
    std::string archive(const DemoMix& mix) const { return content_.archive(mix); }

private:
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

    DemoSite content_;  // never started: the mixes the site process serves
    std::string baseAddress_;
    std::string listPage_;
    pid_t pid_ = -1;
};

void signalReady(int fd) {
    char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(fd, &byte, 1);
}

// How long the work after the ready byte takes when nothing stops it, measured in a child.
Clock::duration timeToFinish(const std::function<void(int)>& body) {
    Victim victim(body);
    EXPECT_TRUE(victim.waitReady());
    auto started = Clock::now();
    EXPECT_TRUE(victim.finish());
    return Clock::now() - started;
}

// Somewhere in the work, or just after it.
std::chrono::microseconds randomMoment(std::mt19937& random, Clock::duration work) {
    auto span = std::chrono::duration_cast<std::chrono::microseconds>(work * 5 / 4).count();
    return std::chrono::microseconds(
        std::uniform_int_distribution<long long>(0, std::max<long long>(span, 1))(random));
}

std::vector<std::string> leftoverReplacements(const std::string& folder, const std::string& name) {
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string file = entry.path().filename().string();
        if (file.starts_with(name + ".kelvarn-tmp.")) {
            left.push_back(file);
        }
    }
    return left;
}

std::mt19937 seeded() {
    const unsigned seed = std::random_device{}();
    std::cout << "random seed " << seed << "\n";
    return std::mt19937(seed);
}

// Signals the save stage, and lingers inside each mix, between its record and its queue entry,
// so that many kills land there.
struct SavingObserver final : ImportObserver {
    explicit SavingObserver(int fd) : fd(fd) {}
    void status(const std::string& text) override {
        if (text == "Сохранение..."_cp) {
            signalReady(fd);
        }
    }
    void recordSaved(std::uint32_t, const MixRecord&) override {
        std::this_thread::sleep_for(200us);
    }
    int fd;
};

// How many times each ID stands in the catalogue, the ID list and the queue, with the checks
// that hold for the files whatever happened.
struct SavedMixes {
    std::map<std::string, int> records, lines, entries;
};

SavedMixes readSavedMixes(const TempFolder& folder) {
    SavedMixes saved;
    const std::string base = readBytes(folder.file("Base.vlt"));
    EXPECT_EQ(base.size() % kRecordSize, 0u) << "a record cut short";
    std::vector<std::string> idByNumber{""};
    for (std::size_t at = 0; at + kRecordSize <= base.size(); at += kRecordSize) {
        MixRecord record = decodeRecord(reinterpret_cast<const unsigned char*>(base.data() + at));
        ++saved.records[record.Id];
        idByNumber.push_back(record.Id);
    }
    for (const std::string& id : IdList(folder.file("index")).readIds()) {
        ++saved.lines[id];
    }
    const std::string queue = readBytes(folder.file("List.dnl"));
    EXPECT_EQ(queue.size() % kQueueEntrySize, 0u) << "a queue entry cut short";
    for (const QueueEntry& entry : QueueFile(folder.file("List.dnl")).readAll()) {
        ++saved.entries[entry.Id];
        EXPECT_TRUE(entry.RecordNumber > 0 &&
                    static_cast<std::size_t>(entry.RecordNumber) < idByNumber.size() &&
                    idByNumber[static_cast<std::size_t>(entry.RecordNumber)] == entry.Id)
            << "entry " << entry.Id << " points at record " << entry.RecordNumber;
    }
    return saved;
}

class CrashSafety : public ::testing::Test {
protected:
    ImportSettings importSettings(const TempFolder& folder) const {
        ImportSettings settings;
        settings.folder = folder.path();
        settings.site = site.baseAddress();
        settings.today = [] { return 46000.0; };
        settings.timeNow = [] { return 0.5; };
        return settings;
    }

    ImportResult import(const TempFolder& folder, ImportObserver& observer) const {
        LiveSelection selection;
        SelectionControls all;
        all.byStyle = true;
        all.styles.fill(true);
        selection.set(all);
        std::atomic<bool> stop{false};
        return ImportRun(importSettings(folder), selection, observer, stop).run();
    }

    void prepareImportFolder(const TempFolder& folder) const {
        writeBytes(folder.file("Base.vlt"), "");
        writeBytes(folder.file("index"), "");
        writeBytes(folder.file("List.dnl"), "");
        writeBytes(folder.file("Loops.dat"), site.listPage());
    }

    SiteProcess site{DemoSiteOptions{.mixes = 250, .seed = 11}};
};

TEST_F(CrashSafety, AKilledSaveStageLeavesEveryMixWholeOrAbsentAndTheNextImportBringsTheRest) {
    auto importing = [this](const TempFolder& folder) {
        return [this, &folder](int ready) {
            SavingObserver observer(ready);
            import(folder, observer);
        };
    };
    std::set<std::string> everyMix;
    Clock::duration saving;
    {
        TempFolder clean;
        prepareImportFolder(clean);
        saving = timeToFinish(importing(clean));
        for (const auto& [id, count] : readSavedMixes(clean).records) {
            everyMix.insert(id);
        }
        ASSERT_GT(everyMix.size(), 200u);
    }
    std::mt19937 random = seeded();
    int halfSaved = 0;
    const int kills = rounds(30);
    for (int round = 0; round < kills; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TempFolder folder;
        prepareImportFolder(folder);
        Victim victim(importing(folder));
        ASSERT_TRUE(victim.waitReady());
        victim.killAfter(randomMoment(random, saving));
        // A mix whose line is written and whose queue entry is not is one the kill cut in two.
        halfSaved += IdList(folder.file("index")).readIds().size() !=
                     QueueFile(folder.file("List.dnl")).readAll().size();

        // What the next start finds: each mix in all three files once, or in none.
        completeInterruptedSave(folder.path());
        EXPECT_FALSE(fileExists(saveJournalPath(folder.path())));
        SavedMixes after = readSavedMixes(folder);
        for (const std::string& id : everyMix) {
            const int records = after.records[id];
            ASSERT_LE(records, 1) << id;
            ASSERT_EQ(after.lines[id], records) << id;
            ASSERT_EQ(after.entries[id], records) << id;
        }
        ASSERT_EQ(after.records.size(), after.lines.size());

        // The next import brings the rest, and none twice.
        ImportObserver quiet;
        ASSERT_EQ(import(folder, quiet).outcome, ImportResult::Outcome::Done);
        SavedMixes complete = readSavedMixes(folder);
        for (const std::string& id : everyMix) {
            ASSERT_EQ(complete.records[id], 1) << id;
            ASSERT_EQ(complete.lines[id], 1) << id;
            ASSERT_EQ(complete.entries[id], 1) << id;
        }
    }
    // The kills did land half-way through a mix, time and again.
    EXPECT_GT(halfSaved, kills / 5);
}

TEST_F(CrashSafety, ASaveStageOrAManualEntryThatFillsTheDiskTakesBackAllItWrote) {
    TempFolder folder;
    prepareImportFolder(folder);
    std::vector<MixRecord> earlier;
    earlier.reserve(1000);
    for (int i = 0; i < 1000; ++i) {
        earlier.push_back(test::sampleRecord(std::to_string(900000 + i)));
    }
    test::writeCatalogue(folder.file("Base.vlt"), earlier);
    CatalogueFiles before = readCatalogueFiles(folder.path());
    // The disk is full half-way through the 34th record the stage writes.
    const rlim_t full = (earlier.size() + 33) * kRecordSize + kRecordSize / 2;
    auto withDiskFullAt = [](rlim_t size, const std::function<void()>& write) {
        return [size, write](int) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{size, size};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            write();
        };
    };
    Victim stage(withDiskFullAt(full, [&] {
        ImportObserver quiet;
        ::_exit(import(folder, quiet).outcome == ImportResult::Outcome::Failed ? 0 : 1);
    }));
    ASSERT_TRUE(stage.finish()) << "the full disk was not reported";
    // Told it failed, the stage leaves nothing that a later write could complete: its records
    // and lines are gone, its entries taken off.
    const auto takenBack = [&] {
        EXPECT_FALSE(fileExists(saveJournalPath(folder.path())));
        const CatalogueFiles now = readCatalogueFiles(folder.path());
        EXPECT_EQ(now.base, before.base);
        EXPECT_EQ(now.ids, before.ids);
        EXPECT_TRUE(QueueFile(folder.file("List.dnl")).pending().empty());
    };
    takenBack();
    EXPECT_EQ(completeInterruptedSave(folder.path()), 0);

    // The disk is full four bytes into a manual entry's ID line.
    std::string lines;
    for (int i = 0; i < 80000; ++i) {
        lines += "1\r\n";
    }
    writeBytes(folder.file("index"), lines);
    before = readCatalogueFiles(folder.path());
    Victim entry(withDiskFullAt(before.ids.size() + 4, [&] {
        addManualEntry(folder.path(), {"500000", "A", "T", "", 0, false, true}, 46000, 0.5);
    }));
    ASSERT_FALSE(entry.finish()) << "the full disk was not reported";
    takenBack();
}

TEST(SaveJournal, ACompletionQueuesNoMixThatWasDownloadedSinceTheStageDied) {
    TempFolder folder;
    SaveJournal journal{
        {test::sampleRecord("1"), test::sampleRecord("2"), test::sampleRecord("3")}};
    journal.queued = true;
    // All three saved, the second downloaded and its entry compacted away, the third not queued.
    std::vector<MixRecord> saved = journal.records;
    saved[1].HasFile = 1;
    test::writeCatalogue(folder.file("Base.vlt"), saved);
    writeBytes(folder.file("index"), "1\r\n2\r\n3\r\n");
    writeBytes(folder.file("List.dnl"), test::queueEntryBytes({1, "1", "A - T", 0, 0}));
    writeBytes(saveJournalPath(folder.path()), journal.bytes());

    EXPECT_EQ(completeInterruptedSave(folder.path()), 0);  // no record was missing
    const std::vector<QueueEntry> queue = QueueFile(folder.file("List.dnl")).readAll();
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue[1].RecordNumber, 3);
    EXPECT_EQ(queue[1].Id, "3");
}

TEST_F(CrashSafety, AKilledCompactionLeavesTheOldQueueOrTheNewOneAndNoLeftovers) {
    TempFolder folder;
    const std::string path = folder.file("List.dnl");
    std::string before, compacted;
    for (int i = 1; i <= 20000; ++i) {
        QueueEntry entry{i, std::to_string(100000 + i), "A - T", i,
                         static_cast<std::uint8_t>(i % 2)};
        before += test::queueEntryBytes(entry);
        if (entry.Removed == 0) {
            compacted += test::queueEntryBytes(entry);
        }
    }
    auto compacting = [&](int ready) {
        signalReady(ready);
        QueueFile(path).compact();
    };
    writeBytes(path, before);
    const Clock::duration work = timeToFinish(compacting);
    ASSERT_EQ(readBytes(path), compacted);

    std::mt19937 random = seeded();
    int old = 0;
    for (int round = 0; round < rounds(40); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        writeBytes(path, before);
        Victim victim(compacting);
        ASSERT_TRUE(victim.waitReady());
        victim.killAfter(randomMoment(random, work));
        const std::string now = readBytes(path);
        ASSERT_TRUE(now == before || now == compacted) << now.size() << " bytes";
        old += now == before ? 1 : 0;
        // The next compaction finishes the job and clears what the killed one left.
        QueueFile(path).compact();
        ASSERT_EQ(readBytes(path), compacted);
        ASSERT_EQ(leftoverReplacements(folder.path(), "List.dnl"), std::vector<std::string>{});
    }
    EXPECT_GT(old, 0);
}

TEST_F(CrashSafety, AKilledSettingsWriteLeavesTheOldFileOrTheNewOne) {
    TempFolder folder;
    const std::string path = folder.file("Setting.ini");
    auto file = [](int day) {
        return "[Main]\r\nSite=http://127.0.0.1/\r\nDay=" + std::to_string(day) +
               "\r\n[Downloader]\r\nRetries=3\r\n";
    };
    auto writing = [&](int ready) {
        ProfileFile settings(path);
        signalReady(ready);
        for (int day = 1; day <= 20; ++day) {
            settings.writeInteger("Main", "Day", day);
        }
    };
    writeBytes(path, file(0));
    const Clock::duration work = timeToFinish(writing);
    ASSERT_EQ(readBytes(path), file(20));

    std::mt19937 random = seeded();
    for (int round = 0; round < rounds(40); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        writeBytes(path, file(0));
        Victim victim(writing);
        ASSERT_TRUE(victim.waitReady());
        victim.killAfter(randomMoment(random, work));
        const int day = ProfileFile(path).readInteger("Main", "Day", -1);
        ASSERT_GE(day, 0);
        ASSERT_EQ(readBytes(path), file(day));
        ProfileFile(path).writeInteger("Main", "Day", 0);
        ASSERT_EQ(leftoverReplacements(folder.path(), "Setting.ini"), std::vector<std::string>{});
    }
}

std::ptrdiff_t entriesIn(const std::string& folder) {
    return std::distance(std::filesystem::directory_iterator(folder), {});
}

TEST_F(CrashSafety, AKilledRestoreLeavesAllThreeFilesOldOrAllTheBackupsOnceTheNextStartHasRun) {
    TempFolder folder;
    const CatalogueFiles live = test::sampleCatalogueFiles(2849);
    const CatalogueFiles backup = test::sampleCatalogueFiles(2000);
    const std::string backupDir = folder.file("backup/2020-01-01/");
    auto prepare = [&] {
        std::filesystem::remove_all(folder.file("backup"));
        std::filesystem::create_directories(backupDir);
        test::writeCatalogueFiles(backupDir, backup);
        test::writeCatalogueFiles(folder.path(), live);
    };
    auto restoring = [&](int ready) {
        signalReady(ready);
        restoreBackup(folder.path(), "2020-01-01");
    };
    prepare();
    const Clock::duration work = timeToFinish(restoring);
    ASSERT_EQ(readCatalogueFiles(folder.path()), backup);
    const std::ptrdiff_t entries = entriesIn(folder.path());

    std::mt19937 random = seeded();
    int restored = 0;
    const int kills = rounds(40);
    for (int round = 0; round < kills; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        prepare();
        Victim victim(restoring);
        ASSERT_TRUE(victim.waitReady());
        victim.killAfter(randomMoment(random, work));
        finishInterruptedRestore(folder.path());
        const CatalogueFiles now = readCatalogueFiles(folder.path());
        ASSERT_TRUE(now == live || now == backup) << ::testing::PrintToString(now);
        restored += now == backup ? 1 : 0;
        ASSERT_EQ(entriesIn(folder.path()), entries) << "a restore's leftovers";
        // The copies of the day and of the restore are whole, or not listed.
        for (const BackupEntry& entry : listBackups(folder.path())) {
            if (entry.name != "2020-01-01") {
                ASSERT_EQ(readCatalogueFiles(folder.file("backup/" + entry.name + "/")), live)
                    << entry.name;
            }
        }
    }
    EXPECT_GT(restored, 0);
    EXPECT_LT(restored, kills);
}

TEST_F(CrashSafety, AKilledDailyCopyIsNeverListedAndTheNextWriteOfTheDayTakesItWhole) {
    TempFolder folder;
    const CatalogueFiles live = test::sampleCatalogueFiles(20000);
    test::writeCatalogueFiles(folder.path(), live);
    auto copying = [&](int ready) {
        signalReady(ready);
        takeBackup(folder.path(), "2020-02-01", 7);
    };
    const Clock::duration work = timeToFinish(copying);

    std::mt19937 random = seeded();
    int cut = 0;
    for (int round = 0; round < rounds(40); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::filesystem::remove_all(folder.file("backup"));
        Victim victim(copying);
        ASSERT_TRUE(victim.waitReady());
        victim.killAfter(randomMoment(random, work));
        const std::vector<BackupEntry> listed = listBackups(folder.path());
        cut += listed.empty() && std::filesystem::exists(folder.file("backup")) ? 1 : 0;
        if (!listed.empty()) {
            ASSERT_EQ(listed.size(), 1u);
            ASSERT_EQ(listed[0].name, "2020-02-01");
            ASSERT_EQ(readCatalogueFiles(folder.file("backup/2020-02-01/")), live);
        }
        // The next write of the day takes it whole, and clears what the kill left.
        takeBackup(folder.path(), "2020-02-01", 7);
        ASSERT_EQ(readCatalogueFiles(folder.file("backup/2020-02-01/")), live);
        ASSERT_EQ(entriesIn(folder.file("backup")), 1);
    }
    EXPECT_GT(cut, 0);
}

TEST_F(CrashSafety, AKilledDownloadNeverTakesAnEntryOffWithoutMarkingItsRecord) {
    TempFolder folder;
    ::mkdir(folder.file("ZIP").c_str(), 0755);
    std::vector<MixRecord> records;
    std::vector<const DemoMix*> mixes;
    std::string queue;
    for (const DemoMix& mix : site.mixes()) {
        if (mix.status == 200 && mix.hasLength && mix.bytes > 1024 &&
            mix.bytes < std::int64_t{64} * 1024 && records.size() < 25) {
            mixes.push_back(&mix);
            records.push_back(test::sampleRecord(mix.id));
            records.back().HasFile = 0;
            queue += test::queueEntryBytes({static_cast<std::int32_t>(records.size()), mix.id,
                                            trackText(mix.author, mix.title), 0, 0});
        }
    }
    ASSERT_EQ(records.size(), 25u);
    auto prepare = [&] {
        std::filesystem::remove_all(folder.file("ZIP"));
        ::mkdir(folder.file("ZIP").c_str(), 0755);
        test::writeCatalogue(folder.file("Base.vlt"), records);
        writeBytes(folder.file("List.dnl"), queue);
    };
    bool resume = true;
    auto downloadAll = [&] {
        DownloadSettings settings;
        settings.resume = resume;
        settings.folder = folder.path();
        settings.site = site.baseAddress();
        settings.savePath = folder.file("ZIP/");
        DownloadRows rows;
        rows.load(QueueFile(folder.file("List.dnl")).pending());
        DownloadObserver observer;
        SilentSoundPlayer sound;
        std::atomic<bool> stop{false}, paused{false};
        return DownloadRun(settings, rows, observer, sound, stop, paused).batch().outcome;
    };
    auto downloading = [&](int ready) {
        signalReady(ready);
        downloadAll();
    };
    prepare();
    const Clock::duration work = timeToFinish(downloading);

    std::mt19937 random = seeded();
    for (int round = 0; round < rounds(25); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        resume = round % 2 == 0;
        prepare();
        Victim victim(downloading);
        ASSERT_TRUE(victim.waitReady());
        victim.killAfter(randomMoment(random, work));
        std::vector<QueueEntry> entries = QueueFile(folder.file("List.dnl")).readAll();
        ASSERT_EQ(entries.size(), records.size());
        CatalogueFile catalogue(folder.file("Base.vlt"));
        ASSERT_EQ(catalogue.count(), records.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            MixRecord record = catalogue.read(static_cast<std::uint32_t>(i + 1));
            ASSERT_TRUE(entries[i].Removed == 0 || record.HasFile == 1) << entries[i].Id;
            // Only the two fields the marking writes change.
            record.HasFile = records[i].HasFile;
            record.Size = records[i].Size;
            ASSERT_EQ(record, records[i]);
            // Resuming or not, a file under its final name is a whole one.
            const std::string file = folder.file("ZIP/" + records[i].Id + ".zip");
            ASSERT_TRUE(!fileExists(file) || readBytes(file) == site.archive(*mixes[i])) << file;
        }
        // The next run fetches what is left; every entry ends taken off and its record marked.
        ASSERT_EQ(downloadAll(), DownloadResult::Outcome::Done);
        for (const QueueEntry& entry : QueueFile(folder.file("List.dnl")).readAll()) {
            ASSERT_EQ(entry.Removed, 1) << entry.Id;
            ASSERT_EQ(catalogue.read(static_cast<std::uint32_t>(entry.RecordNumber)).HasFile, 1);
        }
    }
}

}  // namespace
}  // namespace kelvarn
