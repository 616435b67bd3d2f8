// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli import against the stand-in site: the grid printed, the count, and a dry run.
#include <gtest/gtest.h>

#include "tests/support/import_run_fixture.h"

namespace kelvarn {
namespace {

using test::ImportRunTest;
using test::readBytes;
using test::runCli;
using test::writeBytes;

TEST_F(ImportRunTest, CommandLineImportPrintsTheGridAndTheCount) {
    writeBytes(folder.file("Setting.ini"),
               "[GetLoopsList]\r\nCheckListStyle=1,\r\nCheck_Avtor=0\r\nAddCheck=0\r\n");
    test::CommandResult r =
        runCli({"--data-dir", folder.path(), "--site", site.baseAddress() + "/", "import"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("File not found: " + folder.file("AvtLst.lst")), std::string::npos);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "ID микса\tАвтор\tНазвание\tСтиль\tРазмер Kb\tE-mail\tКод\tIdX");
    std::size_t houses = 0;
    for (const DemoMix& m : site.mixes()) {
        houses += m.category == 3 ? 1 : 0;
    }
    std::string count = "Количество новых записей: " + std::to_string(houses) + "\n";
    ASSERT_GE(r.out.size(), count.size());
    EXPECT_EQ(r.out.substr(r.out.size() - count.size()), count);
    EXPECT_EQ(CatalogueFile(folder.file("Base.vlt")).count(), houses);
    EXPECT_FALSE(fileExists(folder.file("Loops.dat")));  // deleted as the program's close does
    EXPECT_EQ(readBytes(folder.file("List.dnl")), "");

    site.setListStatus(500);
    test::CommandResult failed =
        runCli({"--data-dir", folder.path(), "--site", site.baseAddress(), "import"});
    EXPECT_EQ(failed.status, 3);
    EXPECT_NE(failed.err.find("Возникли проблемы с получением миксов!"), std::string::npos);
    EXPECT_NE(failed.err.find("Проверьте подключение к интернету!"), std::string::npos);
    EXPECT_EQ(failed.out, "");
}

TEST_F(ImportRunTest, ADryRunPrintsWhatAnImportWouldAddAndWritesNothing) {
    const auto& m = site.mixes();
    writeBytes(folder.file("index"), m[0].id + "\r\n" + m[1].id + "\r\n");
    writeBytes(folder.file("Setting.ini"),
               "[GetLoopsList]\r\nCheckListStyle=1,\r\nCheck_Avtor=0\r\n");
    const std::string index = readBytes(folder.file("index"));
    test::CommandResult dry =
        runCli({"--data-dir", folder.path(), "--site", site.baseAddress(), "import", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(readBytes(folder.file("index")), index);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), "");
    EXPECT_EQ(readBytes(folder.file("List.dnl")), "");
    for (const char* left : {"Loops.dat", "out", "out2"}) {
        EXPECT_FALSE(fileExists(folder.file(left))) << left;
    }
    // Every printed row is a House mix the ID list does not hold, marked new and sized.
    std::vector<std::string> printed;
    for (std::size_t at = dry.out.find('\n') + 1, end;
         (end = dry.out.find('\n', at)) != std::string::npos; at = end + 1) {
        printed.push_back(dry.out.substr(at, end - at));
    }
    ASSERT_GE(printed.size(), 2u);
    for (std::size_t i = 0; i + 1 < printed.size(); ++i) {
        EXPECT_TRUE(printed[i].ends_with("\t1\t0")) << printed[i];
    }

    test::CommandResult real =
        runCli({"--data-dir", folder.path(), "--site", site.baseAddress(), "import"});
    EXPECT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(printed.back(), "Количество новых записей: " +
                                  std::to_string(CatalogueFile(folder.file("Base.vlt")).count()));
    EXPECT_EQ(std::to_string(printed.size() - 1),
              std::to_string(CatalogueFile(folder.file("Base.vlt")).count()));
}

}  // namespace
}  // namespace kelvarn
