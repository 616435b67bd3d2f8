// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "core/storage/cp1251.h"
#include "core/storage/ole_date.h"
#include "demo_site/demo_site.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::runCli;
using test::sampleRecord;
using test::TempFolder;

const std::string kHeader =
    "№\tID микса\tАвтор\tНазвание\tE-Mail\tСтиль\tРазмер\tДата\tВремя\tОценка\tФайл\n";

int lines(const test::CommandResult& result) {
    return static_cast<int>(std::count(result.out.begin(), result.out.end(), '\n'));
}

// A folder with filters off, so every catalogue-view record is printed.
struct CliFolder {
    TempFolder folder;
    explicit CliFolder(const std::vector<MixRecord>& records,
                       const std::string& settings = "[Main]\r\nnews=0\r\nZip=0\r\n") {
        test::writeCatalogue(folder.file("Base.vlt"), records);
        test::writeBytes(folder.file("Setting.ini"), settings);
    }
    test::CommandResult list(std::vector<std::string> args = {}) const {
        args.insert(args.begin(), {"--data-dir", folder.path(), "list"});
        return runCli(args);
    }
};

MixRecord dated(const std::string& id, std::uint8_t style, int y, unsigned m, unsigned d) {
    MixRecord r = sampleRecord(id, style, oleDateFromCivil(y, m, d));
    r.AddedTime = (9 * 3600 + 30 * 60 + 5) / 86400.0;
    return r;
}

TEST(CliList, PrintsHeaderAndOneTabSeparatedLinePerRecord) {
    MixRecord cyrillic = dated("200001", 13, 2023, 1, 2);
    cyrillic.Author = "Вася Пупкин"_cp;
    cyrillic.Title = "Ёлка"_cp;
    cyrillic.HasFile = 1;
    cyrillic.Rating = 9;
    cyrillic.Size = 2048;
    CliFolder c({dated("100001", 0, 2024, 12, 31), cyrillic});
    test::CommandResult r = c.list();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, kHeader +
                         "1\t100001\tAuthor 100001\tTitle 100001\t100001@mail.ru\tTrance\t1234\t"
                         "31.12.2024\t09:30:05\t0\tНет\n"
                         "2\t200001\tВася Пупкин\tЁлка\t200001@mail.ru\tДругое\t2048\t"
                         "02.01.2023\t09:30:05\t9\tЕсть\n");
}

TEST(CliList, ViewsFollowTheFlagsAndAnEmptyViewPrintsOnlyTheHeader) {
    MixRecord fav = dated("2", 1, 2024, 1, 1);
    fav.IsFavourite = 1;
    MixRecord bin = dated("3", 1, 2024, 1, 1);
    bin.InRecycleBin = 1;
    bin.IsFavourite = 1;
    CliFolder c({dated("1", 1, 2024, 1, 1), fav, bin});
    auto firstCells = [](const std::string& out) {
        std::string numbers;
        std::size_t line = out.find('\n');
        while (line != std::string::npos && line + 1 < out.size()) {
            numbers += out.substr(line + 1, out.find('\t', line) - line - 1) + " ";
            line = out.find('\n', line + 1);
        }
        return numbers;
    };
    EXPECT_EQ(firstCells(c.list().out), "1 ");
    EXPECT_EQ(firstCells(c.list({"catalogue"}).out), "1 ");
    EXPECT_EQ(firstCells(c.list({"favourites"}).out), "2 ");
    EXPECT_EQ(firstCells(c.list({"recycle"}).out), "3 ");

    CliFolder empty({});
    EXPECT_EQ(empty.list({"recycle"}).out, kHeader);
    EXPECT_EQ(empty.list().out, kHeader);
}

TEST(CliList, FiltersComeFromTheSettingsTheWindowsKeep) {
    MixRecord fresh = sampleRecord("1", 0, oleToday());
    MixRecord old = sampleRecord("2", 0, oleToday() - 3);
    MixRecord fetched = sampleRecord("3", 0, oleToday());
    fetched.HasFile = 1;
    CliFolder defaults({fresh, old, fetched}, "");
    test::CommandResult r = defaults.list();
    EXPECT_EQ(r.out.substr(0, kHeader.size()), kHeader);
    EXPECT_EQ(lines(r), 2) << r.out;
    EXPECT_EQ(r.out.substr(kHeader.size(), 2), "1\t");

    CliFolder threeDays({fresh, old, fetched}, "[Main]\r\nDay=3\r\nZip=0\r\n");
    EXPECT_EQ(lines(threeDays.list()), 4);
}

TEST(CliList, StyleSelectsLikeAClickOnItsNode) {
    CliFolder c({dated("1", 1, 2024, 1, 1), dated("2", 4, 2024, 1, 1), dated("3", 1, 2024, 1, 1)});
    test::CommandResult house = c.list({"--style", "House"});
    EXPECT_EQ(house.status, 0);
    EXPECT_EQ(lines(house), 3);
    EXPECT_NE(house.out.find("\n3\t3\t"), std::string::npos);

    EXPECT_EQ(c.list({"--style", "Techno"}).out, kHeader);
    EXPECT_EQ(lines(c.list({"--style", "Все стили"})), 4);
    test::CommandResult other = c.list({"catalogue", "--style", "Другое"});
    EXPECT_EQ(other.status, 0);
    EXPECT_EQ(other.out, kHeader);
}

TEST(CliList, UsageErrorsExitWithTwo) {
    CliFolder c({dated("1", 1, 2024, 1, 1)});
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--style", "Jazz"},
                                               {"favourites", "--style", "House"},
                                               {"recycle", "--style", "Все стили"},
                                               {"--style"},
                                               {"everything"},
                                               {"catalogue", "recycle"},
                                               {"--style", "Hous\xFF"}}) {
        test::CommandResult r = c.list(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    EXPECT_EQ(runCli({}).status, 2);
    EXPECT_EQ(runCli({"frobnicate"}).status, 2);
}

// Every command that reads the catalogue says which file is missing, and exits with 3.
TEST(CliList, MissingCatalogueExitsWithThreeNamingTheFile) {
    TempFolder folder;
    for (const char* command : {"list", "authors", "stats"}) {
        test::CommandResult r = runCli({"--data-dir", folder.path(), command});
        EXPECT_EQ(r.status, 3) << command;
        EXPECT_EQ(r.out, "") << command;
        EXPECT_EQ(r.err, "kelvarn-cli: File not found: " + folder.file("Base.vlt") + "\n")
            << command;
    }

    // A data folder that is not there: said once, and nothing is made under the mistyped name.
    test::CommandResult r =
        runCli({"--data-dir", folder.file("typo"), "add", "--id", "1", "--author", "A"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kelvarn-cli: no data folder at " + folder.file("typo") + "\n");
    EXPECT_FALSE(std::filesystem::exists(folder.file("typo")));
}

TEST(CliList, StoredControlBytesAndUnknownBytesCannotBreakTheTable) {
    MixRecord r = dated("1", 1, 2024, 1, 1);
    r.Author = std::string("a\tb\nc\0d", 7);
    r.Title = "\x98x";
    CliFolder c({r});
    EXPECT_NE(c.list().out.find("\ta b c d\t\xEF\xBF\xBDx\t"), std::string::npos);
}

TEST(CliList, LengthBytesAboveTheCapacityAndAll0xFFRecordsPrintInFull) {
    CliFolder c({dated("1", 1, 2024, 1, 1)});
    std::string bytes = test::readBytes(c.folder.file("Base.vlt"));
    bytes[0] = static_cast<char>(0xFF);
    bytes.replace(1, 6, "987654");
    // A record of nothing but 0xFF: every length at its capacity, no style, no date, recycled.
    bytes += std::string(2 * kRecordSize, '\xFF');
    test::writeBytes(c.folder.file("Base.vlt"), bytes);
    EXPECT_EQ(c.list().out.substr(kHeader.size(), 9), "1\t987654\t");

    auto ya = [](int n) {
        std::string text;
        while (n-- > 0) {
            text += "я";
        }
        return text;
    };
    std::string filled =
        ya(6) + "\t" + ya(50) + "\t" + ya(50) + "\t" + ya(30) + "\t\t-1\t\t\t255\tЕсть\n";
    // The sanitizer build reports undefined behaviour on stderr, so an empty stderr is the check.
    test::CommandResult recycled = c.list({"recycle"});
    EXPECT_EQ(recycled.status, 0);
    EXPECT_EQ(recycled.err, "");
    EXPECT_EQ(recycled.out, kHeader + "2\t" + filled + "3\t" + filled);
}

TEST(CliList, EveryCommandFailsWithThreeWhenStandardOutputOrAFileCannotBeWritten) {
    // A hundred records pass the output buffer of a full device, so the list fails on its write;
    // the short tables fail when they are flushed.
    std::vector<MixRecord> records;
    for (int i = 1; i <= 100; ++i) {
        records.push_back(dated(std::to_string(i), 1, 2024, 1, 1));
    }
    CliFolder c(records,
                "[Main]\r\nnews=0\r\nZip=0\r\n"
                "[GetLoopsList]\r\nCheckListStyle=0,1,2,3,4,5,6,7,8,9,10,11,12,13,\r\n");
    for (const char* name : {"index", "List.dnl", "AvtLst.lst"}) {
        test::writeBytes(c.folder.file(name), "");
    }
    DemoSite site{DemoSiteOptions{20, 1, false}};
    site.start();
    for (const auto& command : std::vector<std::vector<std::string>>{
             {"list"}, {"stats"}, {"authors"}, {"--site", site.baseAddress(), "import"}}) {
        std::vector<std::string> args = {"--data-dir", c.folder.path()};
        args.insert(args.end(), command.begin(), command.end());
        test::CommandResult r = runCli(args, "/dev/full");
        EXPECT_EQ(r.status, 3) << command.back();
        EXPECT_EQ(r.err, "kelvarn-cli: Disk full: standard output\n") << command.back();
    }
    // The import did its work; only its report went nowhere.
    EXPECT_GT(test::readBytes(c.folder.file("Base.vlt")).size(), 100 * kRecordSize);

    // A file size limit below the catalogue's end fails the append as a full disk does.
    test::CommandResult limited =
        runCli({"--data-dir", c.folder.path(), "add", "--id", "987654", "--author", "A"}, "", 8192);
    EXPECT_EQ(limited.status, 3);
    EXPECT_EQ(limited.err, "kelvarn-cli: Disk full: " + c.folder.file("Base.vlt") + "\n");
}

}  // namespace
}  // namespace kelvarn
