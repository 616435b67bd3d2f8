// SPDX-License-Identifier: GPL-3.0-or-later
// The project reader over files the tests' writer makes: both text encodings, native and wrapped
// plugins, both tempo events, and damage anywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "core/mixfiles/project_reader.h"
#include "tests/support/project_writer.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::ProjectWriter;

// What test::sampleProject() says.
const std::vector<std::string> kSampleLines = {"version\t20.8.4.2576",
                                               "tempo\t174",
                                               "signature\t7/8",
                                               "title\tНочной drive",
                                               "author\tСаша",
                                               "genre\tDrum & Bass",
                                               "comments\tmixed 𝄞 at home",
                                               "channels\t3",
                                               "channel\tLead",
                                               "channel\tGlasswing",
                                               "channel\tPad",
                                               "plugin\tSytrus\t",
                                               "plugin\tGlasswing\tNorthlight Audio",
                                               "plugin\tEcho Box\t",
                                               "patterns\t3",
                                               "insert\tDrums"};

struct Row {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(ProjectReader, ReadsWhatEachFileSays) {
    const std::string wrapperState = test::littleEndianBytes(1, 4) +
                                     test::littleEndianBytes(54, 4) +
                                     test::littleEndianBytes(1000, 8) + "Glasswing";
    const std::vector<Row> rows = {
        {"new_texts_native_and_wrapped", test::sampleProject(), kSampleLines},
        {"old_texts_old_tempo",
         ProjectWriter()
             .oldText(199, "9.1.0")
             .word(66, 140)
             .word(93, 500)
             .byte(17, 4)
             .oldText(194, "Caf\xE9 \x80 \x81")
             .word(64, 0)
             .oldText(201, "Tri Osc")
             .word(64, 1)
             .bytes(),
         {"version\t9.1.0", "tempo\t140.5", "title\tCafé €  ", "channels\t2", "channel\tTri Osc",
          "channel\t", "plugin\tTri Osc\t", "patterns\t0"}},
        {"version_11_texts_by_their_bytes",
         ProjectWriter()
             .oldText(199, "11.5.14")
             .text(194, u"Hé")
             .oldText(207, "ab")
             .dword(156, 5'000)
             .dword(156, 999'001)
             .word(66, 120)
             .word(93, 250)
             .bytes(),
         {"version\t11.5.14", "tempo\t120.25", "title\tHé", "author\tab", "channels\t0",
          "patterns\t0"}},
        {"length_prefix_too_long",
         ProjectWriter()
             .oldText(199, "20.0.0")
             .word(64, 0)
             .text(201, u"Fruity Wrapper")
             .data(213, wrapperState)
             .raw("\xC2\x80\x80\x80\x80\x80\x01")
             .text(194, u"never read")
             .bytes(),
         {"version\t20.0.0", "channels\t1", "channel\tFruity Wrapper", "plugin\tFruity Wrapper\t",
          "patterns\t0", "damaged\tyes"}},
        {"cut_in_a_text",
         test::sampleProject().substr(0, 120),
         {"version\t20.8.4.2576", "tempo\t174", "signature\t7/8", "title\tНочной drive",
          "author\tСаша", "genre\tDrum & Bass", "channels\t0", "patterns\t0", "damaged\tyes"}},
        {"no_project_header",
         "PK\3\4" + test::sampleProject(),
         {"channels\t0", "patterns\t0", "damaged\tyes"}},
    };
    // KELVARN_PROJECT_CORPUS=fuzz/corpus/project writes the rows as the fuzz target's seeds.
    const char* corpus = std::getenv("KELVARN_PROJECT_CORPUS");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(factLines(readProject(row.bytes)), row.lines);
        if (corpus != nullptr) {
            test::writeBytes(std::filesystem::path(corpus) / row.name, row.bytes);
        }
    }
}

// However the file is cut, what is read is flagged and holds nothing the whole file lacks.
TEST(ProjectReader, EveryCutIsFlagged) {
    const std::string whole = test::sampleProject();
    const ProjectFacts all = readProject(whole);
    ASSERT_FALSE(all.damaged);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const ProjectFacts cut = readProject(whole.substr(0, length));
        ASSERT_TRUE(cut.damaged) << length;
        ASSERT_LE(cut.channels, all.channels) << length;
        for (const ProjectPlugin& plugin : cut.plugins) {
            ASSERT_TRUE(plugin.name == "Fruity Wrapper" ||
                        std::find(all.plugins.begin(), all.plugins.end(), plugin) !=
                            all.plugins.end())
                << length;
        }
        ASSERT_TRUE(cut.tempoMilli == 0 || cut.tempoMilli == all.tempoMilli) << length;
    }
}

}  // namespace
}  // namespace kelvarn
