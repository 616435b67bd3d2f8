// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue load (routing, filters, grid rows, the Swap copy), the style tree clicks and the
// search window's search, on catalogues made by make_catalogue. The load runs without the
// window's per-record pause.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "core/tools/search.h"

namespace {

using kelvarn::operator""_cp;

// Both view filters off, so every record that is neither recycled nor a favourite reaches Table.
const kelvarn::ViewFilter kNoFilter{false, false, 0, 0};

// One generated catalogue per size, in a temporary folder removed at exit.
class Catalogues {
public:
    kelvarn::CatalogueFile baseFor(long count) {
        std::filesystem::path folder = root_.path() / std::to_string(count);
        if (!std::filesystem::exists(folder / "Base.vlt")) {
            std::string command = std::string(KELVARN_MAKE_CATALOGUE) + " '" + folder.string() +
                                  "' " + std::to_string(count) + " --seed 1";
            if (std::system(command.c_str()) != 0) {
                std::fprintf(stderr, "failed: %s\n", command.c_str());
                std::exit(1);
            }
        }
        return kelvarn::CatalogueFile((folder / "Base.vlt").string());
    }

private:
    kelvarn::bench::OwnTempFolder root_;
};

Catalogues& catalogues() {
    static Catalogues instance;
    return instance;
}

// Views loaded once per size for the click benchmarks.
kelvarn::CatalogueViews& loadedViews(long count) {
    static std::map<long, std::unique_ptr<kelvarn::CatalogueViews>> loaded;
    std::unique_ptr<kelvarn::CatalogueViews>& views = loaded[count];
    if (!views) {
        views = std::make_unique<kelvarn::CatalogueViews>();
        kelvarn::loadViews(catalogues().baseFor(count), kNoFilter, *views);
        kelvarn::copyTableToSwap(*views);
    }
    return *views;
}

void BM_Load(benchmark::State& state) {
    const kelvarn::CatalogueFile file = catalogues().baseFor(state.range(0));
    int tableRows = 0;
    kelvarn::bench::startPeak();
    for (auto _ : state) {
        auto views = std::make_unique<kelvarn::CatalogueViews>();
        kelvarn::loadViews(file, kNoFilter, *views);
        kelvarn::copyTableToSwap(*views);
        tableRows = views->Table.rowCount() - 1;
        // Freeing the grids is not part of a load.
        state.PauseTiming();
        views.reset();
        state.ResumeTiming();
    }
    state.counters["table_rows"] = tableRows;
    state.counters["peak_rss_MB"] = kelvarn::bench::peakMb();
}
BENCHMARK(BM_Load)->ArgName("records")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The search window's "Найти" by name: the grid of matches it hands the main window. Before the
// style clicks, whose loaded views would count in its peak.
void BM_SearchWindow(benchmark::State& state) {
    const kelvarn::CatalogueFile file = catalogues().baseFor(state.range(0));
    const kelvarn::RecordSearch search(kelvarn::SearchMode::Name, "mix");
    int tableRows = 0;
    kelvarn::bench::startPeak();
    for (auto _ : state) {
        auto grid = std::make_unique<kelvarn::RecordGrid>(kelvarn::searchCatalogue(file, search));
        tableRows = grid->rowCount() - 1;
        state.PauseTiming();
        grid.reset();
        state.ResumeTiming();
    }
    // The CSV report wants every benchmark's counters alike: the rows found.
    state.counters["table_rows"] = tableRows;
    state.counters["peak_rss_MB"] = kelvarn::bench::peakMb();
}
BENCHMARK(BM_SearchWindow)->ArgName("records")->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_SelectStyleNode(benchmark::State& state) {
    kelvarn::CatalogueViews& views = loadedViews(state.range(0));
    const int key = static_cast<int>(state.range(1));
    for (auto _ : state) {
        benchmark::DoNotOptimize(kelvarn::selectStyleNode(views, key));
    }
    state.counters["table_rows"] = views.Table.rowCount() - 1;
}
BENCHMARK(BM_SelectStyleNode)
    ->ArgNames({"records", "key"})
    ->ArgsProduct({{100000, 1000000}, {kelvarn::kKeyAllStyles, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
