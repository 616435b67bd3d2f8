// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli queue-list and download against the stand-in site: what is printed, fetched and
// left in the queue.
#include <gtest/gtest.h>

#include "core/catalogue/catalogue_file.h"
#include "tests/support/download_run_fixture.h"

namespace kelvarn {
namespace {

using test::DownloadRunTest;
using test::readBytes;
using test::writeBytes;

TEST_F(DownloadRunTest, CommandLineListsTheQueueDownloadsItAndCompactsIt) {
    std::size_t whole = mixWhere([](const DemoMix& m) { return m.status == 200 && m.hasLength; });
    std::size_t missing = mixWhere([](const DemoMix& m) { return m.status == 404; });
    queueMixes({whole, missing});
    writeBytes(folder.file("Setting.ini"), "[Downloader]\r\nPath=" + folder.file("ZIP/") + "\r\n");
    const std::vector<std::string> global = {"--data-dir", folder.path(), "--site",
                                             site.baseAddress()};
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), global.begin(), global.end());
        return test::runCli(args);
    };
    const DemoMix& fetched = site.mixes()[whole];
    test::CommandResult list = cli({"queue-list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out.substr(0, list.out.find('\n')), "№\tID микса\tТрек\tРазмер Kb");
    EXPECT_NE(list.out.find("\n1\t" + fetched.id + "\t"), std::string::npos);

    EXPECT_EQ(cli({"download", "3"}).status, 1);
    EXPECT_EQ(cli({"download", "12345678901234567890"}).status, 1);
    EXPECT_EQ(cli({"download", "x"}).status, 2);
    test::CommandResult one = cli({"download", "1"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "1\t" + fetched.id + "\tОК\n");
    EXPECT_EQ(readBytes(folder.file("ZIP/" + fetched.id + ".zip")), site.archive(fetched));
    // Compacted as the window's close does: the fetched entry is gone, the other stays.
    std::vector<QueueEntry> left = QueueFile(folder.file("List.dnl")).readAll();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].Id, site.mixes()[missing].id);

    test::CommandResult batch = cli({"download"});
    EXPECT_EQ(batch.status, 0) << batch.err;  // the site has no such file: dropped ("DEL")
    EXPECT_EQ(batch.out, "1\t" + site.mixes()[missing].id + "\tDEL\n");
    EXPECT_EQ(readBytes(folder.file("List.dnl")), "");

    // A data folder the closing compaction cannot write in: what came down is said all the
    // same, then the failure.
    queueMixes({whole, missing});
    ::unlink(folder.file("ZIP/" + fetched.id + ".zip").c_str());
    writeBytes(folder.file("download.lock"), "");
    for (const char* name : {"", "Base.vlt", "List.dnl", "ZIP", "download.lock"}) {
        ASSERT_EQ(::chown(folder.file(name).c_str(), 65534, 65534), 0) << name;
    }
    ::chmod(folder.path().c_str(), 0555);
    test::runUnprivileged([&] {
        const test::CommandResult r = cli({"download"});
        writeBytes(folder.file("ZIP/said"),
                   std::to_string(r.status) + "\n" + r.out + "--\n" + r.err);
        return 0;
    });
    const std::string text = readBytes(folder.file("ZIP/said"));
    EXPECT_TRUE(text.starts_with("3\n1\t" + fetched.id + "\tОК\n2\t" + site.mixes()[missing].id +
                                 "\tDEL\n--\n"))
        << text;
    EXPECT_NE(text.find(folder.path()), std::string::npos) << text;
    EXPECT_EQ(readBytes(folder.file("ZIP/" + fetched.id + ".zip")), site.archive(fetched));
    EXPECT_EQ(CatalogueFile(folder.file("Base.vlt")).read(1).HasFile, 1);
}

}  // namespace
}  // namespace kelvarn
