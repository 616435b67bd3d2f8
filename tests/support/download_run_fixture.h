// SPDX-License-Identifier: GPL-3.0-or-later
// The download run against the stand-in site on loopback: a save folder, a queue of the site's
// mixes with their records, and what the run reports and plays.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "core/catalogue/queue_file.h"
#include "core/downloader/download_run.h"
#include "core/storage/cp1251.h"
#include "demo_site/demo_site.h"
#include "tests/support/test_support.h"

namespace kelvarn::test {

struct Sounds final : SoundPlayer {
    std::vector<std::string> played;
    std::mutex mutex;
    void PlaySoundFile(const std::string& name) override {
        std::lock_guard lock(mutex);
        played.push_back(name);
    }
};

struct Reports final : DownloadObserver {
    std::vector<std::pair<std::size_t, std::string>> statuses;
    std::vector<std::string> failures;
    std::atomic<std::int64_t> lastKilobytes{-1};
    std::function<void()> onProgress;
    void rowStatus(std::size_t row, const DownloadState& state) override {
        statuses.emplace_back(row, cp1251ToUtf8(statusText(state)));
        if (!state.reason().empty()) {
            failures.push_back(state.reason());
        }
    }
    void transferProgress(std::int64_t kilobytes, std::int64_t) override {
        lastKilobytes = kilobytes;
        if (onProgress) {
            onProgress();
        }
    }
};

class DownloadRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        site.start();
        ::mkdir(folder.file("ZIP").c_str(), 0755);
    }

    // Queues the mixes at `indexes` of the site, each with a record of its own.
    void queueMixes(const std::vector<std::size_t>& indexes) {
        std::vector<MixRecord> records;
        std::string queue;
        for (std::size_t i : indexes) {
            const DemoMix& mix = site.mixes().at(i);
            records.push_back(test::sampleRecord(mix.id));
            queue += queueEntryBytes({static_cast<std::int32_t>(records.size()), mix.id,
                                      trackText(mix.author, mix.title), 0, 0});
        }
        test::writeCatalogue(folder.file("Base.vlt"), records);
        writeBytes(folder.file("List.dnl"), queue);
        rows.load(QueueFile(folder.file("List.dnl")).pending());
    }

    DownloadSettings settings(const std::string& site) const {
        DownloadSettings s;
        s.folder = folder.path();
        s.site = site;
        s.savePath = folder.file("ZIP/");
        s.limits.stallSeconds = 1;
        s.limits.answerSeconds = 1;
        s.retries = 0;
        return s;
    }

    DownloadResult batch() {
        DownloadRun run(settings(site.baseAddress()), rows, reports, sounds, stop, paused);
        return run.batch();
    }

    // The first mix with the given property among the first hundred.
    std::size_t mixWhere(const std::function<bool(const DemoMix&)>& wanted) const {
        for (std::size_t i = 0; i < 100; ++i) {
            if (wanted(site.mixes()[i])) {
                return i;
            }
        }
        throw std::logic_error("no such mix");
    }

    // Two mixes the site sends whole, each over 4 KB: a transfer long enough to report progress.
    std::pair<std::size_t, std::size_t> twoLargeMixes() const {
        auto large = [](const DemoMix& m) { return m.status == 200 && m.bytes > 4096; };
        const std::size_t first = mixWhere(large);
        return {first, mixWhere([&](const DemoMix& m) {
                    return large(m) && m.id != site.mixes()[first].id;
                })};
    }

    DemoSite site{DemoSiteOptions{.mixes = 100, .seed = 7}};
    TempFolder folder;
    DownloadRows rows;
    Reports reports;
    Sounds sounds;
    std::atomic<bool> stop{false};
    std::atomic<bool> paused{false};
};

}  // namespace kelvarn::test
