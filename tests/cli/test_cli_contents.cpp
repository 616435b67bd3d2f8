// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli inspect: a record's downloaded file found by its name, and what it holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/mixfiles/fact_lines.h"
#include "demo_site/demo_site.h"
#include "tests/support/project_writer.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

TEST(CliInspect, PrintsTheFilesAndWhatEachProjectSays) {
    test::TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"),
                         {test::sampleRecord("100001"), test::sampleRecord("100002"),
                          test::sampleRecord("100003"), test::sampleRecord("100004")});
    std::filesystem::create_directory(folder.file("ZIP"));
    const std::string idea = test::ProjectWriter()
                                 .oldText(199, "9.0.0")
                                 .word(66, 128)
                                 .word(64, 0)
                                 .oldText(201, "Tri Osc")
                                 .bytes();
    const std::string archive = zipArchive({{"Mix.flp", test::sampleProject()},
                                            {"samples/kick\t1.wav", std::string(300, 'k')},
                                            {"idea.FLP", idea}});
    test::writeBytes(folder.file("ZIP/100001.zip"), archive);
    test::writeBytes(folder.file("ZIP/100003.zip"), "<html>gone</html>");
    // Downloaded while files were named in full; the project kept as the site sent it, cut short.
    const std::string cutName = "100004-Author 100004 - Title 100004.zip";
    test::writeBytes(folder.file("ZIP/" + cutName), idea.substr(0, idea.size() - 2));
    if (const char* corpus = std::getenv("KELVARN_PROJECT_CORPUS")) {
        test::writeBytes(std::string(corpus) + "/archive_of_projects", archive);
    }

    struct Row {
        std::string number;
        int status;
        std::string out, err;
    };
    const std::vector<Row> rows = {
        {"1", 0,
         "file\tMix.flp\t" + std::to_string(test::sampleProject().size()) +
             "\nfile\tsamples/kick 1.wav\t300\nfile\tidea.FLP\t" + std::to_string(idea.size()) +
             "\nproject\tMix.flp\n"
             "version\t20.8.4.2576\ntempo\t174\nsignature\t7/8\ntitle\tНочной drive\n"
             "author\tСаша\ngenre\tDrum & Bass\ncomments\tmixed 𝄞 at home\nchannels\t3\n"
             "channel\tLead\nchannel\tGlasswing\nchannel\tPad\nplugin\tSytrus\t\n"
             "plugin\tGlasswing\tNorthlight Audio\nplugin\tEcho Box\t\npatterns\t3\ninsert\tDrums\n"
             "project\tidea.FLP\nversion\t9.0.0\ntempo\t128\nchannels\t1\nchannel\tTri Osc\n"
             "plugin\tTri Osc\t\npatterns\t0\n",
         ""},
        {"4", 0,
         "file\t" + cutName + "\t" + std::to_string(idea.size() - 2) + "\nproject\t" + cutName +
             "\nversion\t9.0.0\ntempo\t128\nchannels\t1\nchannel\t\npatterns\t0\ndamaged\tyes\n",
         ""},
        {"2", 1, "", "kelvarn-cli: record 2 has no downloaded file\n"},
        {"3", 3, "",
         "kelvarn-cli: Neither a ZIP archive nor a project: " + folder.file("ZIP/100003.zip") +
             "\n"},
        {"5", 1, "", "kelvarn-cli: no record 5 in the catalogue\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        const test::CommandResult r =
            test::runCli({"--data-dir", folder.path(), "inspect", row.number});
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.err, row.err);
    }
    // A stored project whose bytes no longer match the directory's CRC-32 is read, and flagged.
    std::string flipped = archive;
    flipped[flipped.find(idea) + idea.size() - 1] ^= 0x01;
    test::writeBytes(folder.file("ZIP/100001.zip"), flipped);
    const test::CommandResult damaged = test::runCli({"--data-dir", folder.path(), "inspect", "1"});
    EXPECT_EQ(damaged.status, 0);
    EXPECT_TRUE(damaged.out.ends_with("plugin\tTri Osc \t\npatterns\t0\ndamaged\tyes\n"))
        << damaged.out;
}

// The side file: rebuilt by the first search that needs it, a line added by each download,
// every downloaded file read again by inspect --all; the searches list records as search does.
TEST(CliInspect, KeepsEachDownloadsFactsAndSearchesThem) {
    DemoSite site{DemoSiteOptions{20, 1, false}};
    site.start();
    const DemoMix& mix = *std::find_if(site.mixes().begin(), site.mixes().end(), [](auto& m) {
        return m.status == 200 && m.hasLength && m.bytes > 2000;
    });
    test::TempFolder folder;
    test::writeCatalogueFiles(folder.path(), {});
    std::filesystem::create_directory(folder.file("ZIP"));
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", folder.path(), "--site", site.baseAddress()});
        return test::runCli(args);
    };
    ASSERT_EQ(cli({"add", "--id", mix.id, "--title", "T"}).status, 0);
    ASSERT_EQ(cli({"add", "--id", "777777", "--title", "Old", "--no-queue"}).status, 0);
    const std::string header = "# ID\ttempo\tversion\tchannels\tplugin\tvendor...\n";
    const std::string headerRow =
        "№\tID микса\tАвтор\tНазвание\tE-Mail\tСтиль\tРазмер\tДата\tВремя\tОценка\tФайл\n";
    EXPECT_EQ(cli({"search", "plugin", "glass"}).out, headerRow);
    EXPECT_EQ(test::readBytes(folder.file("MixFacts.txt")), header);

    ASSERT_EQ(cli({"download"}).status, 0);
    const std::string inspected = cli({"inspect", "1"}).out;
    const std::size_t tempo = inspected.find("tempo\t") + 6;
    const std::string mixLine = mix.id + "\t" +
                                inspected.substr(tempo, inspected.find('\n', tempo) - tempo) +
                                "\t20.8.4.2576\t";
    EXPECT_TRUE(test::readBytes(folder.file("MixFacts.txt")).starts_with(header + mixLine));

    test::writeBytes(folder.file("ZIP/777777.zip"), zipArchive({{"a.flp", test::sampleProject()}}));
    EXPECT_EQ(cli({"search", "plugin", "GLASS"}).out, headerRow);  // not read yet
    // A download's note after a line a kill cut short: the cut line is written over.
    std::ofstream(folder.file("MixFacts.txt"), std::ios::app)
        << "777777\t17\t20.8\t3\tSytrus\tNorthlight Audio\tGlass";
    noteDownloadedMix(folder.path(), "777777", folder.file("ZIP/777777.zip"));
    EXPECT_NE(cli({"search", "tempo", "174-174"}).out.find("\n2\t777777\t"), std::string::npos);
    EXPECT_EQ(test::readBytes(folder.file("MixFacts.txt")).find("\t17\t"), std::string::npos);
    EXPECT_EQ(cli({"inspect", "--all"}).out, "mixes\t2\n");
    EXPECT_NE(test::readBytes(folder.file("MixFacts.txt"))
                  .find("\n777777\t174\t20.8.4.2576\t3\tSytrus\t\tGlasswing\tNorthlight "
                        "Audio\tEcho Box\t\n"),
              std::string::npos);
    for (const std::vector<std::string>& search : {std::vector<std::string>{"plugin", "GLASS"},
                                                   {"plugin", "northlight"},
                                                   {"tempo", "173.999-174"}}) {
        const std::string out = cli({"search", search[0], search[1]}).out;
        EXPECT_TRUE(out.starts_with(headerRow) && out.find("\n2\t777777\t") != std::string::npos)
            << out;
    }
    EXPECT_EQ(cli({"search", "plugin", "Glasswing Echo"}).out, headerRow);
    EXPECT_EQ(cli({"search", "tempo", "175-170"}).status, 2);
}

}  // namespace
}  // namespace kelvarn
