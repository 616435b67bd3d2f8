// kelvarn-cli inspect: a record's downloaded file found by its name, and what it holds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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
}

}  // namespace
}  // namespace kelvarn
