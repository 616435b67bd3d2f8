// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli sync against the stand-in site: an import, then the queue's download.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "core/catalogue/catalogue_file.h"
#include "core/storage/file_lock.h"
#include "demo_site/demo_site.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;

TEST(CliSync, ImportsThenDownloadsRefusesBesideAnImportAndFetchesTheQueueWhenThePageFails) {
    DemoSite site{DemoSiteOptions{30, 3, false}};
    site.start();
    test::TempFolder folder;
    test::writeCatalogueFiles(folder.path(), {});
    std::filesystem::create_directory(folder.file("ZIP"));
    test::writeBytes(folder.file("Setting.ini"),
                     "[GetLoopsList]\r\nCheckListStyle=3,\r\nCheck_Avtor=0\r\n");
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", folder.path(), "--site", site.baseAddress()});
        return test::runCli(args);
    };
    const test::CatalogueFiles empty = test::readCatalogueFiles(folder.path());
    EXPECT_EQ(cli({"sync", "--dry-run"}).status, 0);
    {
        LockedFile importing(folder.path(), O_RDONLY | O_DIRECTORY, LockedFile::Lock::Exclusive);
        test::CommandResult refused = cli({"sync"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err,
                  "kelvarn-cli: an import or a restore is running on " + folder.path() + "\n");
    }
    EXPECT_EQ(test::readCatalogueFiles(folder.path()), empty);
    EXPECT_TRUE(std::filesystem::is_empty(folder.file("ZIP")));

    test::CommandResult done = cli({"sync"});
    EXPECT_EQ(done.status, 0) << done.err;
    CatalogueFile base(folder.file("Base.vlt"));
    ASSERT_GT(base.count(), 0u);
    // The import's lines, then the download's rows.
    EXPECT_NE(done.out.find("Количество новых записей: " + std::to_string(base.count()) + "\n1\t"),
              std::string::npos);
    std::set<std::string> imported;
    for (std::uint32_t n = 1; n <= base.count(); ++n) {
        const MixRecord record = base.read(n);
        imported.insert(record.Id);
        const DemoMix& mix = *std::find_if(site.mixes().begin(), site.mixes().end(),
                                           [&](const DemoMix& m) { return m.id == record.Id; });
        const bool whole = mix.status == 200 && mix.hasLength && mix.bytes > 0;
        EXPECT_EQ(record.HasFile, whole ? 1 : 0) << mix.id;
        EXPECT_EQ(readBytes(folder.file("ZIP/" + mix.id + ".zip")),
                  whole ? site.archive(mix) : std::string());
    }
    EXPECT_EQ(readBytes(folder.file("List.dnl")), "");  // every entry fetched or dropped

    // Only the list page fails: a mix queued meanwhile still comes down.
    const DemoMix& other = *std::find_if(site.mixes().begin(), site.mixes().end(), [&](auto& m) {
        return !imported.contains(m.id) && m.status == 200 && m.hasLength && m.bytes > 0;
    });
    ASSERT_EQ(cli({"add", "--id", other.id, "--title", "T"}).status, 0);
    site.setListStatus(500);
    test::CommandResult failed = cli({"sync"});
    EXPECT_EQ(failed.status, 3);
    EXPECT_NE(failed.err.find("Возникли проблемы с получением миксов!"), std::string::npos);
    EXPECT_EQ(failed.out, "1\t" + other.id + "\tОК\n");
    EXPECT_EQ(readBytes(folder.file("ZIP/" + other.id + ".zip")), site.archive(other));
}

}  // namespace
}  // namespace kelvarn
