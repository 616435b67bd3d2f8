// SPDX-License-Identifier: GPL-3.0-or-later
// What a mix's project file says about itself: the version that saved it, its tempo, time
// signature, texts, channels, plugins, patterns and mixer inserts. The file is the site's, made by
// anyone: reading never trusts a length it declares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvarn {

struct ProjectPlugin {
    std::string name;    // the native plugin's name, or a wrapped plugin's own name
    std::string vendor;  // a wrapped plugin's maker; the file names none for a native one
    bool operator==(const ProjectPlugin&) const = default;
};

// Texts are UTF-8: a project's texts are Unicode, and many have no Windows-1251 form. Control
// characters read as spaces, so no text breaks a line where it is printed.
struct ProjectFacts {
    std::string version;  // "20.8.4.2576"; empty when the file does not say
    // BPM x 1000; 0 when the file gives no tempo within 10..999 BPM.
    std::uint32_t tempoMilli = 0;
    // The time signature; 0 when the file does not give both.
    std::uint8_t beats = 0;
    std::uint8_t beatUnit = 0;
    std::string title;
    std::string author;
    std::string genre;
    std::string comments;
    std::uint32_t channels = 0;  // every channel the file begins
    // The first kListLimit channels: the name the user gave, else its plugin's.
    std::vector<std::string> channelNames;
    // Each distinct plugin once, in the order of first use, at most kListLimit of them.
    std::vector<ProjectPlugin> plugins;
    std::uint32_t patterns = 0;        // distinct pattern numbers
    std::vector<std::string> inserts;  // mixer insert names, at most kListLimit
    // Reading stopped before the data's end (a cut file, a length past the end, a length prefix
    // too long) or found no project header: the facts are what came before.
    bool damaged = false;
};

// Longest text kept, in characters, and most channel names, plugins and inserts kept.
inline constexpr std::size_t kTextLimit = 1000;
inline constexpr std::size_t kListLimit = 1024;

// Never throws; a damaged file gives what was read before the damage, flagged.
ProjectFacts readProject(std::string_view bytes);

// Whether the bytes begin as a project file does.
bool looksLikeProject(std::string_view bytes);

// "174", "128.5", "99.125": BPM with up to three decimals, no trailing zeros.
std::string bpmText(std::uint32_t tempoMilli);
// BPM as bpmText writes it or a user types it (up to 999, up to three decimals), in thousandths;
// nothing for any other text.
std::optional<std::uint32_t> bpmFromText(std::string_view text);

// The facts as lines of KEY, TAB, VALUE: version, tempo, signature ("4/4"), title, author,
// genre, comments, channels, channel (one a channel), plugin (one a plugin: name, TAB, maker),
// patterns, insert (one a named insert), and "damaged", "yes" when it was. A text or a tempo the
// file does not give has no line.
std::vector<std::string> factLines(const ProjectFacts& facts);

}  // namespace kelvarn
