// SPDX-License-Identifier: GPL-3.0-or-later
// The site's list page, whatever the site sends: the page becomes lines the same way whether it
// is copied or not, and the marker pairs give the same candidates from memory (a dry run) as
// from the text of the working file `out2` (a run).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/import/site_list_parser.h"
#include "fuzz/fuzz_support.h"

namespace kelvarn {
namespace {

bool sameCandidate(const SiteCandidate& a, const SiteCandidate& b) {
    return a.id == b.id && a.title == b.title && a.email == b.email && a.author == b.author &&
           a.category == b.category && a.idClosed == b.idClosed;
}

}  // namespace
}  // namespace kelvarn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarn;
    using fuzz::check;
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    static const std::string marker = fileLinkMarker(fuzz::kSite);

    std::string storage;
    const std::string_view lines = pageLines(page, storage);
    check(lines == pageToLines(page), "lines are the same, copied or not");

    const MarkerPairs pairs = findMarkerPairs(lines, marker);
    check(pairs.lines.size() == 2 * static_cast<std::size_t>(pairs.pairs), "lines come in pairs");
    std::string out2;
    for (std::string_view piece : pairs.fileText()) {
        out2 += piece;
    }
    const std::vector<SiteCandidate> fromMemory = parsePairs(pairs, marker.size());
    const std::vector<SiteCandidate> fromFile = parsePairs(out2, marker.size());
    check(fromMemory.size() == fromFile.size(), "as many candidates either way");
    for (std::size_t i = 0; i < fromMemory.size(); ++i) {
        check(sameCandidate(fromMemory[i], fromFile[i]), "the same candidate either way");
    }
    return 0;
}
