// The import's figures: parsing a list page of 100,000 mixes against one pass of `grep -c` over
// the same bytes, the discard stage of 100,000 candidates against an ID list of 1,000,000
// lines, and size queries per second against the stand-in site on loopback.
#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/catalogue/id_list.h"
#include "core/import/import_run.h"
#include "core/import/site_list_parser.h"
#include "core/net/http_client.h"
#include "core/net/site_address.h"
#include "core/storage/file_lock.h"
#include "demo_site/demo_site.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Work>
double medianMs(int runs, Work work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

int main() {
    auto root = std::filesystem::temp_directory_path() / "kelvarn-bench-import";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    const std::string site = "http://127.0.0.1:8642";

    // Parse: from the page file to the candidates, as the import's three passes do.
    std::string page = kelvarn::makeListPage(site, 100000, 1, false);
    writeFile(root / "Loops.dat", page);
    std::string marker = kelvarn::fileLinkMarker(site);
    std::size_t found = 0;
    double parseMs = medianMs(5, [&] {
        kelvarn::MappedFile file((root / "Loops.dat").string());
        std::string storage;
        kelvarn::MarkerPairs pairs =
            kelvarn::findMarkerPairs(kelvarn::pageLines(file.bytes(), storage), marker);
        found = kelvarn::parsePairs(pairs, marker.size()).size();
    });
    std::string grep = "grep -c -F -- '" + marker + "' '" + (root / "Loops.dat").string() + "'";
    long counted = 0;
    double grepMs = medianMs(5, [&] {
        std::FILE* pipe = ::popen(grep.c_str(), "r");
        if (pipe == nullptr || std::fscanf(pipe, "%ld", &counted) != 1) {
            counted = -1;
        }
        if (pipe != nullptr) {
            ::pclose(pipe);
        }
    });
    std::printf("parse %.1f MB, %zu mixes: %.1f ms; grep -c (%ld lines): %.1f ms; ratio %.2f\n",
                page.size() / 1e6, found, parseMs, counted, grepMs, parseMs / grepMs);

    // Discard: 100,000 candidates against 1,000,000 IDs read from the list.
    std::string index;
    for (int i = 0; i < 1000000; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "%06d\r\n", i);
        index += line;
    }
    writeFile(root / "index", index);
    std::vector<kelvarn::ImportRow> rows(100000);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].id = std::to_string(900000 + i % 150000);
    }
    double discardMs = medianMs(5, [&] {
        kelvarn::markKnownRows(rows, kelvarn::IdList((root / "index").string()).readIds());
    });
    std::printf("discard 100000 candidates against 1000000 IDs: %.1f ms\n", discardMs);

    // Size queries against the stand-in site.
    kelvarn::DemoSite demo(kelvarn::DemoSiteOptions{2000, 1, false});
    demo.start();
    kelvarn::SizeQuery query;
    std::vector<std::string> addresses;
    for (const kelvarn::DemoMix& mix : demo.mixes()) {
        addresses.push_back(kelvarn::downloadAddress(demo.baseAddress(), mix.id));
    }
    std::int64_t total = 0;
    double queryMs = medianMs(3, [&] {
        for (const std::string& address : addresses) {
            total += query.contentLength(address).bytes;
        }
    });
    std::printf("size queries: %zu in %.1f ms, %.0f per second\n", addresses.size(), queryMs,
                addresses.size() * 1000.0 / queryMs);
    std::filesystem::remove_all(root);
    return total > 0 ? 0 : 1;
}
