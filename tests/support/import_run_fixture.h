// SPDX-License-Identifier: GPL-3.0-or-later
// An import run against the stand-in site on loopback, in a data folder of its own, on a fixed
// day, with what it reports recorded.
#pragma once

#include <gtest/gtest.h>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/queue_file.h"
#include "core/import/import_run.h"
#include "core/storage/cp1251.h"
#include "demo_site/demo_site.h"
#include "tests/support/test_support.h"

namespace kelvarn::test {

inline constexpr double kToday = 46001;
inline constexpr double kTime = 0.25;

struct Recorder final : ImportObserver {
    std::vector<std::string> statuses;
    std::vector<std::pair<std::uint32_t, MixRecord>> saved;
    int beeps = 0;
    std::function<void()> onSave;

    void status(const std::string& text) override { statuses.push_back(cp1251ToUtf8(text)); }
    void recordSaved(std::uint32_t number, const MixRecord& record) override {
        saved.emplace_back(number, record);
        if (onSave) {
            onSave();
        }
    }
    void beep() override { ++beeps; }
};

class ImportRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        site.start();
        writeBytes(folder.file("Base.vlt"), "");
        writeBytes(folder.file("index"), "");
        writeBytes(folder.file("List.dnl"), "");
        SelectionControls all;
        all.byStyle = true;
        all.styles.fill(true);
        all.byAuthor = false;
        selection.set(all);
    }

    ImportSettings settings() const {
        ImportSettings settings;
        settings.folder = folder.path();
        settings.site = site.baseAddress();
        settings.today = [] { return kToday; };
        settings.timeNow = [] { return kTime; };
        return settings;
    }

    ImportResult run() { return run(settings()); }
    ImportResult run(const ImportSettings& settings) {
        ImportRun importRun(settings, selection, recorder, stop);
        ImportResult result = importRun.run();
        rows = importRun.rows();
        return result;
    }

    const DemoMix& mix(const std::string& id) const {
        for (const DemoMix& m : site.mixes()) {
            if (m.id == id) {
                return m;
            }
        }
        throw std::runtime_error("no mix " + id);
    }

    const ImportRow* row(const std::string& id) const {
        for (const ImportRow& r : rows) {
            if (r.id == id) {
                return &r;
            }
        }
        return nullptr;
    }

    DemoSite site{DemoSiteOptions{40, 5, true}};
    TempFolder folder;
    LiveSelection selection;
    Recorder recorder;
    std::atomic<bool> stop{false};
    std::vector<ImportRow> rows;
};

}  // namespace kelvarn::test
