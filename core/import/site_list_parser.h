// SPDX-License-Identifier: GPL-3.0-or-later
// The site's list page, reduced in three passes to the mixes it lists. Each pass takes bytes and
// returns bytes or values; the import run keeps their results in the working files `out` and
// `out2` between passes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvarn {

// One mix as the page lists it; texts are Windows-1251, unchanged from the page (character
// references too: the import decodes them), and point into the text they were parsed from.
struct SiteCandidate {
    std::string_view id;
    std::string_view title;
    std::string_view email;
    std::string_view author;
    std::string_view category;  // the site's category number, as text
    bool idClosed = false;      // a '"' ends the ID on the marker line

    // Whether the pair lists a mix the catalogue can take: its ID is closed by its quotation
    // mark, not empty, and holds no NUL, CR or LF, which would break the ID list's lines.
    bool isMix() const;
};

// The start of a line that lists a mix: the link to the mix's page on `site`.
std::string fileLinkMarker(std::string_view site);

// Every non-empty line of the page, each followed by CR LF. A line ends at LF or CR LF; a CR not
// followed by LF is dropped.
std::string pageToLines(std::string_view page);

// The same lines without a copy when the page already has that form (every line non-empty and
// ended by CR LF, no other CR), which is how the site serves it; otherwise `storage` receives
// pageToLines(page). The result points into `page` or `storage`.
std::string_view pageLines(std::string_view page, std::string& storage);

struct MarkerPairs {
    // Each marker line, then its partner line, without line ends; they point into the text
    // searched.
    std::vector<std::string_view> lines;
    int pairs = 0;

    // The lines as the `out2` file holds them: each followed by CR LF.
    std::vector<std::string_view> fileText() const;
};

// The lines that begin with the file-link marker, each with the line after it. The partner line
// is not itself tested for the marker.
MarkerPairs findMarkerPairs(std::string_view lines, std::string_view marker);

// The candidate of one marker line `a` (with the marker) and its partner line `b`. A line that
// lacks a delimiter gives the rest of the line for the field the delimiter would end.
SiteCandidate parsePair(std::string_view a, std::string_view b, std::size_t markerLength);

// Every pair, in page order: of the pairs found, or of the `out2` text.
std::vector<SiteCandidate> parsePairs(const MarkerPairs& pairs, std::size_t markerLength);
std::vector<SiteCandidate> parsePairs(std::string_view pairsText, std::size_t markerLength);

// The site category number as a style code; any other number, or text that is no number, is
// 14, "Неизвестный".
std::uint8_t categoryCode(std::string_view category);

}  // namespace kelvarn
