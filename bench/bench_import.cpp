// SPDX-License-Identifier: GPL-3.0-or-later
// The import's figures: parsing a list page of 100,000 mixes against one pass of `grep -c` over
// the same bytes, the discard stage of 100,000 candidates against an ID list of 1,000,000
// lines, and 2,000 size queries against the stand-in site on loopback, beside curl asking the
// same addresses for their headers.
#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/catalogue/id_list.h"
#include "core/import/import_run.h"
#include "core/import/site_list_parser.h"
#include "core/net/http_client.h"
#include "core/net/site_address.h"
#include "core/storage/file_lock.h"
#include "demo_site/demo_site.h"

namespace bench = kelvarn::bench;
using bench::writeFile;

int main() {
    auto root = std::filesystem::temp_directory_path() / "kelvarn-bench-import";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    const std::string site = "http://127.0.0.1:8642";

    // Parse: from the page file to the candidates, as the import's three passes do. The page
    // made for it is dropped first, so the stage's memory is the parse's own.
    const auto pagePath = root / "Loops.dat";
    const double pageMb = [&] {
        const std::string page = kelvarn::makeListPage(site, 100000, 1, false);
        writeFile(pagePath, page);
        return static_cast<double>(page.size()) / 1e6;
    }();
    std::string marker = kelvarn::fileLinkMarker(site);
    std::size_t found = 0;
    bench::startPeak();
    const double parseSeconds = bench::bestSeconds(5, [&] {
        kelvarn::MappedFile file(pagePath.string());
        std::string storage;
        kelvarn::MarkerPairs pairs =
            kelvarn::findMarkerPairs(kelvarn::pageLines(file.bytes(), storage), marker);
        found = kelvarn::parsePairs(pairs, marker.size()).size();
    });
    const double parsePeak = bench::peakMb();
    std::string grep = "grep -c -F -- '" + marker + "' '" + pagePath.string() + "'";
    long counted = 0;
    const double grepSeconds = bench::bestSeconds(5, [&] {
        std::FILE* pipe = ::popen(grep.c_str(), "r");
        if (pipe == nullptr || std::fscanf(pipe, "%ld", &counted) != 1) {
            counted = -1;
        }
        if (pipe != nullptr) {
            ::pclose(pipe);
        }
    });
    const double catSeconds = bench::bestSeconds(
        5, [&] { bench::runCommand("cat '" + pagePath.string() + "' > /dev/null"); });
    std::printf("parse %.1f MB, %zu mixes: %.1f ms; grep -c (%ld lines): %.1f ms; ratio %.2f\n",
                pageMb, found, parseSeconds * 1e3, counted, grepSeconds * 1e3,
                parseSeconds / grepSeconds);
    bench::printRow("Parse a list page of 100,000 mixes", parseSeconds,
                    "`grep -c` of its marker lines", grepSeconds, "the page", catSeconds,
                    parsePeak);

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
    const double discardSeconds = bench::bestSeconds(5, [&] {
        kelvarn::markKnownRows(rows, kelvarn::IdList((root / "index").string()).readIds());
    });
    std::printf("discard 100000 candidates against 1000000 IDs: %.1f ms\n", discardSeconds * 1e3);

    // Size queries against the stand-in site; curl asks for the same headers in one process.
    kelvarn::DemoSite demo(kelvarn::DemoSiteOptions{2000, 1, false});
    demo.start();
    std::vector<std::string> addresses;
    std::string curlConfig;
    for (const kelvarn::DemoMix& mix : demo.mixes()) {
        addresses.push_back(kelvarn::downloadAddress(demo.baseAddress(), mix.id));
        curlConfig += "url = \"" + addresses.back() + "\"\n";
    }
    writeFile(root / "curl.cfg", curlConfig);
    std::int64_t total = 0;
    bench::startPeak();
    kelvarn::HttpConnections connections;
    kelvarn::SizeQuery query(connections);
    const double querySeconds = bench::bestSeconds(3, [&] {
        for (const std::string& address : addresses) {
            total += query.contentLength(address).bytes;
        }
    });
    const double queryPeak = bench::peakMb();
    const double curlSeconds = bench::bestSeconds(3, [&] {
        bench::runCommand("curl -s -I -K '" + (root / "curl.cfg").string() + "' > /dev/null");
    });
    std::printf("size queries: %zu in %.1f ms, %.0f per second\n", addresses.size(),
                querySeconds * 1e3, static_cast<double>(addresses.size()) / querySeconds);
    bench::printRow("Size stage: 2,000 size queries on loopback", querySeconds,
                    "`curl -I`, one process for the 2,000", curlSeconds, "", 0, queryPeak);
    std::filesystem::remove_all(root);
    return total > 0 ? 0 : 1;
}
