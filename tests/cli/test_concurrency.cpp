// SPDX-License-Identifier: GPL-3.0-or-later
// The windows and kelvarn-cli on one data folder at the same time: imports, hand-made entries,
// edits, moves, queuing and downloads from other processes, while this process makes the
// windows' own writes. However their operations fall, the files stay whole, agree with each
// other and lose nothing anyone was told was done.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/queue_file.h"
#include "core/catalogue/record_edit.h"
#include "core/storage/cp1251.h"
#include "core/storage/ole_date.h"
#include "core/storage/settings.h"
#include "core/tools/manual_entry.h"
#include "demo_site/demo_site.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using Clock = std::chrono::steady_clock;
using test::readBytes;

constexpr std::uint32_t kFirstRecords = 40;
constexpr auto kBusyFor = std::chrono::seconds(3);
// Far longer than the last commands take to end, even under the sanitizers.
constexpr auto kHungAfter = std::chrono::seconds(90);

// What one writer was told: the ID it added and the record number it got, or a refusal.
struct Added {
    std::string id;
    bool done;
    std::uint32_t number;
};

// A record's fields as the last edit and move of record n left them.
struct LastChange {
    std::string title;
    int rating = 0;
    int move = -1;  // index into kMoves
    std::string email;
};

const std::array<std::string, 4> kMoves = {"favourite", "unfavourite", "recycle", "restore"};

// Six-digit IDs the site does not list, from `first` on.
class FreeIds {
public:
    FreeIds(const std::set<std::string>& taken, int first) : taken_(taken), next_(first) {}
    std::string next() {
        std::string id;
        do {
            id = std::to_string(next_++);
        } while (taken_.count(id) != 0);
        return id;
    }

private:
    const std::set<std::string>& taken_;
    int next_;
};

// Kills the commands this process has started: two writers waiting for each other never end.
void killChildren() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text{std::istreambuf_iterator<char>(stat), {}};
        std::size_t name = text.rfind(')');
        if (name == std::string::npos) {
            continue;
        }
        std::istringstream fields(text.substr(name + 1));
        char state = 0;
        pid_t parent = 0;
        if (fields >> state >> parent && parent == ::getpid()) {
            ::kill(std::stoi(pid), SIGKILL);
        }
    }
}

TEST(Concurrency, WindowsAndCommandLineWritersOnOneFolderKeepItsFilesWholeAndInAgreement) {
    DemoSite site{DemoSiteOptions{.mixes = 300, .seed = 11, .trickyLines = false}};
    site.start();
    std::map<std::string, const DemoMix*> mixById;
    std::set<std::string> pageIds;
    for (const DemoMix& mix : site.mixes()) {
        mixById[mix.id] = &mix;
        pageIds.insert(mix.id);
    }

    // The first mixes of the page are catalogued and queued already; every style is imported,
    // and every import queues what it adds. Paced size queries keep the first import between
    // its look at the ID list and its save for a second or so.
    test::TempFolder folder;
    std::vector<MixRecord> first;
    std::string index;
    std::string queue;
    for (std::uint32_t n = 1; n <= kFirstRecords; ++n) {
        const DemoMix& mix = site.mixes()[n - 1];
        first.push_back(test::sampleRecord(mix.id));
        index += mix.id + "\r\n";
        queue += test::queueEntryBytes(
            {static_cast<std::int32_t>(n), mix.id, trackText(mix.author, mix.title), 0, 0});
    }
    test::writeCatalogue(folder.file("Base.vlt"), first);
    test::writeBytes(folder.file("index"), index);
    test::writeBytes(folder.file("List.dnl"), queue);
    test::writeBytes(folder.file("AvtLst.lst"), "");
    test::writeBytes(folder.file("Setting.ini"),
                     "[Main]\r\nSite=" + site.baseAddress() + "\r\nMaxRequestsPerSecond=200" +
                         "\r\n[GetLoopsList]\r\nCheckListStyle=0,1,2,3,4,5,6,7,8,9,10,11,12,13,"
                         "\r\nCheck_Avtor=0\r\nAddCheck=1\r\n[Downloader]\r\nRetries=0\r\n");
    ::mkdir(folder.file("ZIP").c_str(), 0755);
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", folder.path()});
        return test::runCli(args);
    };

    const Clock::time_point end = Clock::now() + kBusyFor;
    std::atomic<bool> finished{false};
    std::atomic<bool> hung{false};
    std::thread watchdog([&] {
        while (!finished && Clock::now() < end + kHungAfter) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!finished) {
            hung = true;
            killChildren();
        }
    });
    std::mutex lock;
    std::vector<std::string> wrongStatus;
    auto expectStatus = [&](const test::CommandResult& r, int status, const std::string& what) {
        if (r.status != status) {
            std::lock_guard hold(lock);
            wrongStatus.push_back(what + ": exit " + std::to_string(r.status) + ", " + r.err);
        }
    };

    int imported = 0;
    std::thread importer([&] {
        const std::string counted = cp1251ToUtf8("Количество новых записей: "_cp);
        do {
            test::CommandResult r = cli({"import"});
            expectStatus(r, 0, "import");
            std::size_t at = r.out.rfind(counted);
            imported += at == std::string::npos ? 0 : std::stoi(r.out.substr(at + counted.size()));
        } while (Clock::now() < end);
    });

    // Hand-made entries: mixes the running import is about to save, and mixes of no site.
    std::vector<Added> addedByHand;
    std::thread adder([&] {
        FreeIds free(pageIds, 100000);
        for (std::size_t k = 0; Clock::now() < end; ++k) {
            const std::size_t fromEnd = k / 2 % site.mixes().size();
            std::string id =
                k % 2 == 0 ? site.mixes()[site.mixes().size() - 1 - fromEnd].id : free.next();
            test::CommandResult r = cli({"add", "--id", id, "--author", "By hand " + id});
            if (r.status != 0) {
                expectStatus(r, 1, "add " + id);  // the ID was saved first by someone else
            }
            addedByHand.push_back(
                {id, r.status == 0,
                 r.status == 0 ? static_cast<std::uint32_t>(std::stoul(r.out)) : 0});
        }
    });

    // Edits, queuing and moves of the first records, round after round: favourite, unfavourite,
    // recycle, restore; the recycle bin queues nothing.
    std::map<std::uint32_t, LastChange> last;
    std::thread editor([&] {
        for (std::uint32_t j = 0; Clock::now() < end; ++j) {
            const std::uint32_t n = 1 + j % kFirstRecords;
            const int move = static_cast<int>(j / kFirstRecords % kMoves.size());
            const std::string title = "Edited " + std::to_string(j);
            const int rating = static_cast<int>(j % 11);
            const std::string number = std::to_string(n);
            expectStatus(
                cli({"edit", number, "--title", title, "--rating", std::to_string(rating)}), 0,
                "edit " + number);
            expectStatus(cli({"queue", number}), kMoves[move] == "restore" ? 1 : 0,
                         "queue " + number);
            expectStatus(cli({kMoves[move], number}), 0, kMoves[move] + " " + number);
            std::lock_guard hold(lock);
            last[n].title = title;
            last[n].rating = rating;
            last[n].move = move;
        }
    });

    std::thread downloader([&] {
        do {
            expectStatus(cli({"download"}), 0, "download");
        } while (Clock::now() < end);
    });

    // The windows of this process: the record editor, "Закачать", the settings the windows keep,
    // and manual entry, through the calls the windows make.
    std::vector<Added> addedInWindow;
    FreeIds typedIn(pageIds, 200000);
    int lastDay = 0;
    for (int i = 0; Clock::now() < end; ++i) {
        CatalogueFile catalogue(folder.file("Base.vlt"));
        const std::uint32_t n = 1 + static_cast<std::uint32_t>(i * 7) % kFirstRecords;
        const std::string email = "w" + std::to_string(i) + "@x.ru";
        RecordEdit edit;
        edit.email = email;
        saveRecordEdit(catalogue, {n, catalogue.read(n).Id}, edit);
        const MixRecord record = catalogue.read(n);
        QueueFile(folder.file("List.dnl"))
            .appendUnlessQueued({static_cast<std::int32_t>(n), record.Id,
                                 trackText(record.Author, record.Title), record.Size, 0});
        Settings(folder.path()).write(keys::Day, i);
        lastDay = i;
        if (i % 4 == 0) {
            ManualEntry entry;
            entry.id = typedIn.next();
            entry.title = "Typed in";
            ManualEntryResult r = addManualEntry(folder.path(), entry, oleToday(), oleTimeNow());
            addedInWindow.push_back(
                {entry.id, r.outcome == ManualEntryResult::Outcome::Added, r.number});
        }
        std::lock_guard hold(lock);
        last[n].email = email;
    }
    for (std::thread* t : {&importer, &adder, &editor, &downloader}) {
        t->join();
    }
    finished = true;
    watchdog.join();
    EXPECT_TRUE(wrongStatus.empty()) << ::testing::PrintToString(wrongStatus);
    ASSERT_FALSE(hung) << "commands were still waiting for each other";

    // Base.vlt: whole records, each one readable, one line of `index` each, in the same order.
    const std::string base = readBytes(folder.file("Base.vlt"));
    ASSERT_EQ(base.size() % kRecordSize, 0u);
    const auto count = static_cast<std::uint32_t>(base.size() / kRecordSize);
    std::vector<MixRecord> records;
    std::string expectedIndex;
    for (std::uint32_t n = 1; n <= count; ++n) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(base.data()) +
                            static_cast<std::size_t>(n - 1) * kRecordSize;
        EXPECT_TRUE(bytes[0] >= 1 && bytes[0] <= kIdCapacity && bytes[7] <= kAuthorCapacity &&
                    bytes[58] <= kTitleCapacity && bytes[109] <= kEmailCapacity)
            << "record " << n;
        records.push_back(decodeRecord(bytes));
        const MixRecord& r = records.back();
        EXPECT_EQ(r.Id.find_first_not_of("0123456789"), std::string::npos) << "record " << n;
        EXPECT_TRUE(r.Style <= 14 && r.HasFile <= 1 && r.Rating <= 10 && r.InRecycleBin <= 1 &&
                    r.IsFavourite <= 1 && r.AddedDate > 0)
            << "record " << n;
        expectedIndex += r.Id + "\r\n";
    }
    EXPECT_EQ(readBytes(folder.file("index")), expectedIndex);
    std::set<std::string> ids;
    for (const MixRecord& r : records) {
        EXPECT_TRUE(ids.insert(r.Id).second) << "ID " << r.Id << " twice";
    }

    // Every record is one somebody was told of, and everything told of is there.
    std::size_t toldOf = kFirstRecords + static_cast<std::size_t>(imported);
    for (const std::vector<Added>* added : {&addedByHand, &addedInWindow}) {
        for (const Added& a : *added) {
            if (a.done) {
                ++toldOf;
                ASSERT_TRUE(a.number >= 1 && a.number <= count) << a.id;
                EXPECT_EQ(records[a.number - 1].Id, a.id);
            } else {
                EXPECT_TRUE(ids.count(a.id) != 0) << "refused " << a.id << ", which nobody saved";
            }
        }
    }
    EXPECT_EQ(count, toldOf);
    EXPECT_GT(imported, 0);

    // The first records keep each writer's last change; nobody's write undid another's.
    for (const auto& [n, change] : last) {
        const MixRecord& r = records[n - 1];
        if (change.move >= 0) {
            EXPECT_EQ(r.Title, change.title) << "record " << n;
            EXPECT_EQ(r.Rating, change.rating) << "record " << n;
            EXPECT_EQ(r.IsFavourite, kMoves[change.move] == "favourite" ? 1 : 0) << "record " << n;
            EXPECT_EQ(r.InRecycleBin, kMoves[change.move] == "recycle" ? 1 : 0) << "record " << n;
        }
        if (!change.email.empty()) {
            EXPECT_EQ(r.Email, change.email) << "record " << n;
        }
    }

    // List.dnl: whole entries, each pointing at the record with its ID. Every mix the site
    // serves was queued when it was catalogued: it is fetched, byte for byte, or still waits.
    const std::string queued = readBytes(folder.file("List.dnl"));
    ASSERT_EQ(queued.size() % kQueueEntrySize, 0u);
    std::set<std::string> waiting;
    for (std::size_t at = 0; at < queued.size(); at += kQueueEntrySize) {
        QueueEntry e = decodeQueueEntry(reinterpret_cast<const unsigned char*>(queued.data()) + at);
        ASSERT_TRUE(e.RecordNumber >= 1 && static_cast<std::uint32_t>(e.RecordNumber) <= count)
            << "entry " << at / kQueueEntrySize + 1;
        EXPECT_EQ(records[static_cast<std::size_t>(e.RecordNumber) - 1].Id, e.Id);
        if (e.Removed == 0) {
            waiting.insert(e.Id);
        }
    }
    int fetched = 0;
    for (const MixRecord& r : records) {
        auto mix = mixById.find(r.Id);
        if (mix == mixById.end() || mix->second->status != 200 || mix->second->bytes == 0 ||
            !mix->second->hasLength) {
            continue;
        }
        if (r.HasFile == 1) {
            ++fetched;
            EXPECT_EQ(readBytes(folder.file("ZIP/" + r.Id + ".zip")), site.archive(*mix->second))
                << r.Id;
        } else {
            EXPECT_EQ(waiting.count(r.Id), 1u) << r.Id << " is neither fetched nor queued";
        }
    }
    EXPECT_GT(fetched, 0);

    // Setting.ini: every line a section, a key or empty; each key as last written.
    std::string settings = readBytes(folder.file("Setting.ini"));
    for (std::size_t start = 0, stop; start < settings.size(); start = stop + 2) {
        stop = settings.find("\r\n", start);
        ASSERT_NE(stop, std::string::npos) << "an unfinished last line";
        std::string line = settings.substr(start, stop - start);
        EXPECT_TRUE(line.empty() || (line.front() == '[' && line.back() == ']') ||
                    line.find('=') != std::string::npos)
            << line;
    }
    Settings kept(folder.path());
    EXPECT_EQ(kept.read(keys::Day), lastDay);
    EXPECT_EQ(kept.siteAddress(), site.baseAddress());
    EXPECT_EQ(kept.read(keys::Retries), 0);
}

}  // namespace
}  // namespace kelvarn
