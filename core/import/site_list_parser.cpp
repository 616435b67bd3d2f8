// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/import/site_list_parser.h"

#include <string.h>

#include <algorithm>
#include <charconv>

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
    // Each LF must close a non-empty line right after its CR, and no CR may stand elsewhere.
    std::size_t pos = 0;
    bool asIs = true;
    while (asIs && pos < page.size()) {
        std::size_t lf = page.find('\n', pos);
        std::size_t cr = page.find('\r', pos);
        asIs = lf != std::string_view::npos && lf > pos + 1 && cr == lf - 1;
        pos = lf + 1;
    }
    if (asIs) {
        return page;
    }
    storage = pageToLines(page);
    return storage;
}

MarkerPairs findMarkerPairs(std::string_view lines, std::string_view marker) {
    MarkerPairs result;
    // The line from `start` without its line end, and where the next line begins.
    auto lineAt = [&](std::size_t start, std::size_t& next) {
        std::size_t end = std::min(lines.find('\n', start), lines.size());
        next = end + 1;
        std::string_view line = lines.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line;
    };
    // Markers are found by a search over the whole text, not line by line: most lines are none.
    std::size_t pos = 0;
    while (pos < lines.size()) {
        const void* hit =
            ::memmem(lines.data() + pos, lines.size() - pos, marker.data(), marker.size());
        if (hit == nullptr) {
            break;
        }
        std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - lines.data());
        if (at > 0 && lines[at - 1] != '\n') {
            pos = at + 1;  // inside a line: not a marker line
            continue;
        }
        std::size_t next = 0;
        result.lines.push_back(lineAt(at, next));
        ++result.pairs;
        // The partner is the next line, an empty text when the list has ended; it is not
        // itself tested for the marker.
        result.lines.push_back(next < lines.size() ? lineAt(next, next) : std::string_view());
        pos = next;
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
