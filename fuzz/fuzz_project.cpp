// SPDX-License-Identifier: GPL-3.0-or-later
// A project file as anyone may have made it: the reader never crashes, hangs or reads past the
// end (the sanitizers see to that), keeps its texts and lists within their limits as UTF-8
// without a control character, gives only tempos in range, and a cut of the file holds no more
// channels than the whole, nor a plugin the whole lacks. Kept as a downloaded file, it reads as
// one project file with those facts; a ZIP archive lists its projects among its files.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/mixfiles/archive_reader.h"
#include "core/mixfiles/project_reader.h"
#include "core/storage/io_error.h"
#include "fuzz/fuzz_support.h"

namespace {

// Well-formed UTF-8 of at most `limit` characters, none of them a control character.
bool printableUtf8(std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const auto lead = static_cast<unsigned char>(text[i++]);
        if (lead < 0x20 || lead == 0x7F) {
            return false;
        }
        const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        for (int k = 0; k < extra; ++k, ++i) {
            if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                return false;
            }
        }
    }
    return characters <= limit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarn;
    using fuzz::check;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ProjectFacts facts = readProject(bytes);
    check(facts.tempoMilli == 0 || (facts.tempoMilli >= 10'000 && facts.tempoMilli <= 999'000),
          "a tempo within 10..999 BPM");
    check(facts.channelNames.size() <= kListLimit && facts.plugins.size() <= kListLimit &&
              facts.inserts.size() <= kListLimit && facts.channelNames.size() <= facts.channels,
          "lists within their limit");
    bool printable = true;
    for (const std::string& line : factLines(facts)) {
        // Every cell after the key: a plugin's line holds two.
        std::string_view rest = std::string_view(line).substr(line.find('\t') + 1);
        for (std::size_t tab; (tab = rest.find('\t')) != std::string_view::npos;
             rest = rest.substr(tab + 1)) {
            printable = printable && printableUtf8(rest.substr(0, tab), kTextLimit);
        }
        printable = printable && printableUtf8(rest, kTextLimit);
    }
    check(printable, "texts are printable UTF-8 within their limit");
    const ProjectFacts half = readProject(bytes.substr(0, size / 2));
    check(half.channels <= facts.channels, "a cut holds no more channels than the whole");
    for (const ProjectPlugin& plugin : half.plugins) {
        // The last one may be a wrapped plugin whose state the cut took off.
        check(plugin.name == "Fruity Wrapper" ||
                  std::find(facts.plugins.begin(), facts.plugins.end(), plugin) !=
                      facts.plugins.end(),
              "a cut holds no plugin the whole lacks");
    }

    static const fuzz::FuzzFolder folder("project");
    try {
        const MixContents contents = readMixContents(folder.write("mix.zip", data, size));
        check(contents.projects.size() <= contents.files.size(), "projects are among the files");
        if (looksLikeProject(bytes)) {
            check(contents.files.size() == 1 && contents.files[0].bytes == size &&
                      contents.projects.size() == 1 &&
                      factLines(contents.projects[0].facts) == factLines(facts),
                  "a bare project is the one file, read as it stands");
        }
    } catch (const IoError&) {
        check(!looksLikeProject(bytes), "a bare project is always read");
    }
    return 0;
}
