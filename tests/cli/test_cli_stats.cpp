// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli stats: the statistics grid as a table.
#include <gtest/gtest.h>

#include "core/storage/cp1251.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::TempFolder;

MixRecord record(const std::string& id, std::uint8_t style, bool downloaded = false) {
    MixRecord r = test::sampleRecord(id, style);
    r.HasFile = downloaded ? 1 : 0;
    return r;
}

test::CommandResult stats(const TempFolder& folder, std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--data-dir", folder.path(), "stats"});
    return test::runCli(args);
}

TEST(CliStats, PrintsTheGridWithoutItsBlankRow) {
    TempFolder folder;
    MixRecord recycled = record("3", 13, true);
    recycled.InRecycleBin = 1;
    test::writeCatalogue(folder.file("Base.vlt"),
                         {record("1", 0, true), record("2", 0), recycled, record("4", 99)});
    test::CommandResult r = stats(folder);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Записи\tКол-во\n"
              "Trance\t2\n"
              "House\t0\n"
              "Techno\t0\n"
              "Hip-Hop\t0\n"
              "Drum & Bass\t0\n"
              "Break Beat\t0\n"
              "Rock & Alternative\t0\n"
              "Instrumental\t0\n"
              "Ambient\t0\n"
              "Industrial\t0\n"
              "Meditation\t0\n"
              "Pop\t0\n"
              "Dancecore\t0\n"
              "Другое\t1\n"
              "Неизвестный\t0\n"
              "Скаченных\t2\n"
              "Нескаченных\t2\n"
              "Всего\t4\n");
}

TEST(CliStats, AnExtraArgumentIsAUsageError) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {record("1", 0)});
    test::CommandResult r = stats(folder, {"catalogue"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("kelvarn-cli: unexpected argument: catalogue\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("  stats\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kelvarn
