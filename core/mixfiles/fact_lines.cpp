// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/mixfiles/fact_lines.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <unordered_map>

#include "core/storage/cp1251.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "core/storage/text_lines.h"

namespace kelvarn {
namespace {

// The first line of a whole side file: a file without it is rebuilt.
constexpr std::string_view kHeader = "# ID\ttempo\tversion\tchannels\tplugin\tvendor...\n";

std::string lineOf(const MixFacts& facts) {
    std::string line = facts.id;
    line.append("\t")
        .append(facts.tempoMilli != 0 ? bpmText(facts.tempoMilli) : "")
        .append("\t")
        .append(facts.version)
        .append("\t")
        .append(std::to_string(facts.channels));
    for (const ProjectPlugin& plugin : facts.plugins) {
        line.append("\t").append(plugin.name).append("\t").append(plugin.vendor);
    }
    return line + '\n';
}

std::vector<std::string_view> cells(std::string_view line) {
    std::vector<std::string_view> out;
    for (std::size_t tab; (tab = line.find('\t')) != std::string_view::npos;
         line = line.substr(tab + 1)) {
        out.push_back(line.substr(0, tab));
    }
    out.push_back(line);
    return out;
}

// The lines in file order; a mix noted again after a later download takes its earlier line's
// place. A last line without its line end (a write cut short) is no line.
std::vector<MixFacts> parse(std::string_view text) {
    std::vector<MixFacts> all;
    std::unordered_map<std::string, std::size_t> at;
    text = text.substr(kHeader.size(), text.rfind('\n') + 1 - kHeader.size());
    for (const std::string& line : splitTextLines(text)) {
        const std::vector<std::string_view> c = cells(line);
        if (c.size() < 4 || c[0].empty()) {
            continue;
        }
        MixFacts facts{std::string(c[0]), bpmFromText(c[1]).value_or(0), std::string(c[2]), 0, {}};
        std::from_chars(c[3].data(), c[3].data() + c[3].size(), facts.channels);
        for (std::size_t i = 4; i + 1 < c.size(); i += 2) {
            facts.plugins.push_back({std::string(c[i]), std::string(c[i + 1])});
        }
        const auto [known, added] = at.try_emplace(facts.id, all.size());
        if (added) {
            all.push_back(std::move(facts));
        } else {
            all[known->second] = std::move(facts);
        }
    }
    return all;
}

std::string render(const std::vector<MixFacts>& all) {
    std::string text(kHeader);
    for (const MixFacts& facts : all) {
        text += lineOf(facts);
    }
    return text;
}

// Where the file's last whole line ends: its size, unless a write was cut short after it.
std::uint64_t endOfLastLine(const LockedFile& file) {
    const std::uint64_t size = file.size();
    char last = '\n';
    if (size == 0 || (file.readUpTo(&last, 1, size - 1) == 1 && last == '\n')) {
        return size;
    }
    std::string tail(
        static_cast<std::size_t>(std::min<std::uint64_t>(size, std::uint64_t{64} * 1024)), '\0');
    const std::uint64_t from = size - tail.size();
    tail.resize(file.readUpTo(tail.data(), tail.size(), from));
    const std::size_t end = tail.rfind('\n');
    return end == std::string::npos ? size : from + end + 1;
}

std::string factsPath(const std::string& folder) {
    return folder + std::string(kFactsFileName);
}

}  // namespace

MixFacts mixFacts(std::string id, const MixContents& contents) {
    MixFacts facts{std::move(id), 0, {}, 0, {}};
    if (!contents.projects.empty()) {
        const ProjectFacts& first = contents.projects.front().facts;
        facts.tempoMilli = first.tempoMilli;
        facts.version = first.version;
        facts.channels = first.channels;
    }
    for (const MixProject& project : contents.projects) {
        for (const ProjectPlugin& plugin : project.facts.plugins) {
            if (facts.plugins.size() < kListLimit &&
                std::find(facts.plugins.begin(), facts.plugins.end(), plugin) ==
                    facts.plugins.end()) {
                facts.plugins.push_back(plugin);
            }
        }
    }
    return facts;
}

std::vector<MixFacts> factsFile(const std::string& folder, bool force,
                                const std::function<std::vector<MixFacts>()>& rebuild) {
    const std::string path = factsPath(folder);
    LockedFile file(path, O_RDWR | O_CREAT, LockedFile::Lock::Exclusive);
    const std::string text = file.readAll();
    if (!force && text.starts_with(kHeader)) {
        return parse(text);
    }
    std::vector<MixFacts> all = rebuild();
    replaceFileContents(path, render(all));
    return all;
}

void noteDownloadedMix(const std::string& folder, std::string_view id, const std::string& path) {
    const std::string side = factsPath(folder);
    if (!fileExists(side)) {
        return;
    }
    MixContents contents;
    try {
        contents = readMixContents(path);
    } catch (const IoError&) {
        // Not a mix the reader knows: its line says nothing but its ID.
    }
    const std::string line = lineOf(mixFacts(cp1251ToUtf8Printable(id), contents));
    try {
        // Appended, not rewritten: a batch's cost stays one line a mix however long the file
        // is. The file is a cache the reader rebuilds, so it is not synced either.
        LockedFile file(side, O_RDWR, LockedFile::Lock::Exclusive);
        std::array<char, kHeader.size()> head{};
        if (file.readUpTo(head.data(), head.size(), 0) != head.size() ||
            std::string_view(head.data(), head.size()) != kHeader) {
            return;
        }
        // A line a kill cut short (no line end) is written over.
        const std::uint64_t at = endOfLastLine(file);
        file.writeAt(line.data(), line.size(), at);
        if (file.size() > at + line.size()) {
            file.truncate(at + line.size());
        }
    } catch (const IoError&) {
        ::unlink(side.c_str());
    }
}

}  // namespace kelvarn
