// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/import/site_list_parser.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

#include "core/catalogue/styles.h"

namespace kelvarn {
namespace {

constexpr std::string_view kFileLinkStart = "<a target=\"_blank\" href=\"";
constexpr std::string_view kFileLinkPath = "/fruityloops/loops_list/pafiledb.php?action=file&id=";
constexpr std::size_t kMailMarkerLength = 16;  // <a href="mailto:
constexpr std::string_view kCategoryMarker = "category&id=";

// Calls `visit` for each line of `text`; lines end at LF, a CR before it is not part of the line.
template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        visit(line);
        start = end + 1;
    }
}

// The run of characters before `stop`, or the rest when there is none; `text` moves past it.
std::string_view takeUntil(std::string_view& text, char stop) {
    std::size_t at = text.find(stop);
    std::string_view run = text.substr(0, at);
    text.remove_prefix(at == std::string_view::npos ? text.size() : at);
    return run;
}

void skip(std::string_view& text, std::size_t count) {
    text.remove_prefix(std::min(count, text.size()));
}

// A page is tens of megabytes of short lines: its line ends are found 64 bytes at a time, as bit
// masks, rather than by a search call a line.
constexpr std::size_t kBlock = 64;

// Bit i set where byte i of the block equals `wanted`; the block is kBlock bytes.
std::uint64_t blockMask(const char* block, char wanted) {
#if defined(__SSE2__)
    const __m128i pattern = _mm_set1_epi8(wanted);
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kBlock; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
        mask |= std::uint64_t{static_cast<std::uint32_t>(
                    _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, pattern)))}
                << i;
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        mask |= std::uint64_t{block[i] == wanted} << i;
    }
    return mask;
#endif
}

// Calls `visit` with the text's blocks in order: where each starts and its bytes, the last one
// padded with NULs to a whole block.
template <typename Visit>
void forEachBlock(std::string_view text, Visit visit) {
    std::size_t at = 0;
    for (; at + kBlock <= text.size(); at += kBlock) {
        visit(at, text.data() + at);
    }
    if (at < text.size()) {
        char last[kBlock] = {};
        std::memcpy(last, text.data() + at, text.size() - at);
        visit(at, last);
    }
}

// Calls `visit` with the position of each LF of the text, in order.
template <typename Visit>
void forEachLineFeed(std::string_view text, Visit visit) {
    forEachBlock(text, [&](std::size_t at, const char* block) {
        for (std::uint64_t lf = blockMask(block, '\n'); lf != 0; lf &= lf - 1) {
            visit(at + static_cast<std::size_t>(std::countr_zero(lf)));
        }
    });
}

// Whether every line of the page is non-empty and ends with CR LF, and no other CR stands in it.
bool servedAsLines(std::string_view page) {
    if (!page.empty() && page.back() != '\n') {
        return false;
    }
    bool asIs = true;
    std::uint64_t crCarry = 0;  // a CR ended the block before
    std::uint64_t lfCarry = 1;  // a line begins the block (the page's first does)
    forEachBlock(page, [&](std::size_t, const char* block) {
        const std::uint64_t cr = blockMask(block, '\r');
        const std::uint64_t lf = blockMask(block, '\n');
        // Each LF right after a CR and each CR right before an LF; no CR begins a line.
        asIs = asIs && ((cr << 1) | crCarry) == lf && (cr & ((lf << 1) | lfCarry)) == 0;
        crCarry = cr >> 63;
        lfCarry = lf >> 63;
    });
    return asIs;
}

}  // namespace

std::string fileLinkMarker(std::string_view site) {
    std::string marker(kFileLinkStart);
    marker.append(site).append(kFileLinkPath);
    return marker;
}

std::string pageToLines(std::string_view page) {
    std::string out;
    out.reserve(page.size() + page.size() / 32);
    std::size_t nextCr = page.find('\r');
    std::size_t pos = 0;
    while (pos < page.size()) {
        std::size_t end = std::min(page.find('\n', pos), page.size());
        std::size_t before = out.size();
        // Every CR of the line goes: the one before its LF and any lone one inside it.
        std::size_t start = pos;
        while (nextCr < end) {
            out.append(page.data() + start, nextCr - start);
            start = nextCr + 1;
            nextCr = page.find('\r', start);
        }
        out.append(page.data() + start, end - start);
        if (out.size() > before) {
            out.append("\r\n");
        }
        pos = end + 1;
    }
    return out;
}

std::string_view pageLines(std::string_view page, std::string& storage) {
    if (servedAsLines(page)) {
        return page;
    }
    storage = pageToLines(page);
    return storage;
}

MarkerPairs findMarkerPairs(std::string_view lines, std::string_view marker) {
    MarkerPairs result;
    std::size_t start = 0;     // of the line being looked at
    bool partnerNext = false;  // that line is a marker line's partner
    // Only a line's start is tested for the marker. The partner is the line after a marker line,
    // an empty text when the list has ended; it is not itself tested for the marker.
    auto lineEnded = [&](std::size_t end) {
        std::string_view line = lines.substr(start, end - start);
        if (partnerNext || lines.substr(start).starts_with(marker)) {
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            result.lines.push_back(line);
            result.pairs += partnerNext ? 0 : 1;
            partnerNext = !partnerNext;
        }
        start = end + 1;
    };
    forEachLineFeed(lines, lineEnded);
    if (start < lines.size()) {
        lineEnded(lines.size());
    }
    if (partnerNext) {
        result.lines.push_back({});
    }
    return result;
}

std::vector<std::string_view> MarkerPairs::fileText() const {
    std::vector<std::string_view> pieces;
    pieces.reserve(lines.size() * 2);
    for (std::string_view line : lines) {
        pieces.push_back(line);
        pieces.push_back("\r\n");
    }
    return pieces;
}

SiteCandidate parsePair(std::string_view a, std::string_view b, std::size_t markerLength) {
    SiteCandidate c;
    skip(a, markerLength);
    c.id = takeUntil(a, '"');
    c.idClosed = !a.empty();
    skip(a, 2);  // the quotation mark and the ">" that closes the link
    c.title = takeUntil(a, '<');

    skip(b, kMailMarkerLength);
    std::string_view rest = b;
    c.email = takeUntil(b, '"');
    skip(b, 2);
    c.author = takeUntil(b, '<');

    std::size_t at = rest.find(kCategoryMarker);
    if (at != std::string_view::npos) {
        rest.remove_prefix(at + kCategoryMarker.size());
        c.category = takeUntil(rest, '"');
    }
    return c;
}

bool SiteCandidate::isMix() const {
    return idClosed && !id.empty() && id.find_first_of(std::string_view("\r\n\0", 3)) == id.npos;
}

std::vector<SiteCandidate> parsePairs(const MarkerPairs& pairs, std::size_t markerLength) {
    std::vector<SiteCandidate> candidates;
    candidates.reserve(pairs.lines.size() / 2);
    for (std::size_t i = 0; i + 1 < pairs.lines.size(); i += 2) {
        candidates.push_back(parsePair(pairs.lines[i], pairs.lines[i + 1], markerLength));
    }
    if (pairs.lines.size() % 2 != 0) {
        candidates.push_back(parsePair(pairs.lines.back(), {}, markerLength));
    }
    return candidates;
}

std::vector<SiteCandidate> parsePairs(std::string_view pairsText, std::size_t markerLength) {
    MarkerPairs pairs;
    forEachLine(pairsText, [&](std::string_view line) { pairs.lines.push_back(line); });
    return parsePairs(pairs, markerLength);
}

std::uint8_t categoryCode(std::string_view category) {
    int number = 0;
    auto [end, ec] = std::from_chars(category.data(), category.data() + category.size(), number);
    if (category.empty() || ec != std::errc() || end != category.data() + category.size()) {
        return kUnknownStyle;
    }
    switch (number) {
        case 2:
            return 0;
        case 3:
            return 1;
        case 4:
            return 4;
        case 5:
            return 2;
        case 6:
            return 3;
        case 7:
            return 7;
        case 8:
            return 6;
        case 9:
            return 13;
        case 19:
            return 8;
        case 20:
            return 9;
        case 22:
            return 10;
        case 23:
            return 11;
        case 24:
            return 5;
        case 25:
            return 12;
        default:
            return kUnknownStyle;
    }
}

}  // namespace kelvarn
