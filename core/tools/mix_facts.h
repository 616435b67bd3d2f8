// SPDX-License-Identifier: GPL-3.0-or-later
// What the downloaded mixes' projects say, kept in the side file (core/mixfiles/fact_lines), and
// the searches over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/catalogue_file.h"
#include "core/mixfiles/fact_lines.h"
#include "core/tools/downloaded_mixes.h"
#include "core/tools/search.h"

namespace kelvarn {

struct DownloadedMix {
    std::string id;  // UTF-8, as the side file keeps it
    std::string path;
};

// Every record's downloaded file, in record order, found in one listing of the save folder.
std::vector<DownloadedMix> downloadedMixes(const CatalogueFile& catalogue,
                                           const SaveFolder& folder);

using InspectProgress = std::function<void(std::size_t read, std::size_t count)>;

// The side file's lines, rebuilt from every downloaded file when it is missing, or always with
// `rebuild`; `progress` hears after each file read. The side file's lock is taken before
// Base.vlt's, never under it.
std::vector<MixFacts> downloadedMixFacts(const std::string& folder, bool rebuild,
                                         const InspectProgress& progress = {});

using FactsTest = std::function<bool(const MixFacts&)>;
// A plugin whose name or maker holds `utf8`, case folded as the name search folds it (Latin and
// Cyrillic capitals, never Ё).
FactsTest usesPlugin(std::string_view utf8);
// A tempo from `lowest` to `highest` thousandths of BPM, both included.
FactsTest tempoWithin(std::uint32_t lowest, std::uint32_t highest);

// Calls `found` with every record, in file order, whose mix's facts pass `test`.
void forEachWithFacts(const CatalogueFile& catalogue, const std::vector<MixFacts>& facts,
                      const FactsTest& test, const FoundVisit& found);

}  // namespace kelvarn
