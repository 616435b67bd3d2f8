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
                     "[GetLoopsList]\r\nCheckListStyle=3,\r\nCheck_Avtor=0\r\nAddCheck=1\r\n"
                     "[Downloader]\r\nPath=" +
                         folder.file("ZIP/") + "\r\n");
    auto sync = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", folder.path(), "--site", site.baseAddress()});
        return test::runCli(args);
    };
    const test::CatalogueFiles empty = test::readCatalogueFiles(folder.path());

    test::CommandResult dry = sync({"sync", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_TRUE(dry.out.starts_with("ID микса\t")) << dry.out;
    {
        LockedFile importing(folder.path(), O_RDONLY | O_DIRECTORY, LockedFile::Lock::Exclusive);
        test::CommandResult refused = sync({"sync"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err,
                  "kelvarn-cli: an import or a restore is running on " + folder.path() + "\n");
    }
    EXPECT_EQ(test::readCatalogueFiles(folder.path()), empty);
    EXPECT_TRUE(std::filesystem::is_empty(folder.file("ZIP")));

    test::CommandResult done = sync({"sync"});
    EXPECT_EQ(done.status, 0) << done.err;
    const std::string imported = "Количество новых записей: ";
    const std::size_t downloads = done.out.find('\n', done.out.find(imported)) + 1;
    EXPECT_EQ(done.out.substr(downloads, 2), "1\t") << done.out;
    CatalogueFile base(folder.file("Base.vlt"));
    ASSERT_GT(base.count(), 0u);
    EXPECT_NE(done.out.find(imported + std::to_string(base.count()) + "\n"), std::string::npos);
    std::set<std::string> importedIds;
    std::size_t fetched = 0;
    for (std::uint32_t n = 1; n <= base.count(); ++n) {
        const MixRecord record = base.read(n);
        importedIds.insert(record.Id);
        const DemoMix& mix = *std::find_if(site.mixes().begin(), site.mixes().end(),
                                           [&](const DemoMix& m) { return m.id == record.Id; });
        if (mix.status == 200 && mix.hasLength && mix.bytes > 0) {
            EXPECT_EQ(record.HasFile, 1) << mix.id;
            EXPECT_EQ(readBytes(folder.file("ZIP/" + mix.id + ".zip")), site.archive(mix));
            ++fetched;
        }
    }
    EXPECT_GT(fetched, 0u);
    EXPECT_EQ(fetched, static_cast<std::size_t>(
                           std::distance(std::filesystem::directory_iterator(folder.file("ZIP")),
                                         std::filesystem::directory_iterator())));
    EXPECT_EQ(readBytes(folder.file("List.dnl")), "");  // every entry fetched or dropped

    // Only the list page fails: the mix queued meanwhile still comes down.
    const DemoMix* other = nullptr;
    for (const DemoMix& mix : site.mixes()) {
        if (!importedIds.contains(mix.id) && mix.status == 200 && mix.hasLength && mix.bytes > 0) {
            other = &mix;
        }
    }
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(sync({"add", "--id", other->id, "--title", "T"}).status, 0);
    site.setListStatus(500);
    test::CommandResult failed = sync({"sync"});
    EXPECT_EQ(failed.status, 3);
    EXPECT_NE(failed.err.find("Возникли проблемы с получением миксов!"), std::string::npos);
    EXPECT_EQ(failed.out, "1\t" + other->id + "\tОК\n");
    EXPECT_EQ(readBytes(folder.file("ZIP/" + other->id + ".zip")), site.archive(*other));
}

}  // namespace
}  // namespace kelvarn
