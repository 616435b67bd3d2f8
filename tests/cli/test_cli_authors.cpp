// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli authors: the catalogue's author names, one a line.
#include <gtest/gtest.h>

#include "core/storage/cp1251.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::TempFolder;

std::string cp(std::string_view utf8) {
    return *utf8ToCp1251(utf8);
}

MixRecord byAuthor(int id, std::string author) {
    MixRecord r = test::sampleRecord(std::to_string(100000 + id));
    r.Author = std::move(author);
    return r;
}

test::CommandResult authors(const TempFolder& folder, std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--data-dir", folder.path(), "authors"});
    return test::runCli(args);
}

TEST(CliAuthors, PrintsTheBaseNamesOneALine) {
    TempFolder folder;
    MixRecord recycled = byAuthor(3, "DJ BOB");
    recycled.InRecycleBin = 1;
    test::writeCatalogue(folder.file("Base.vlt"),
                         {byAuthor(1, cp("Вася")), byAuthor(2, "dj bob"), recycled,
                          byAuthor(4, "Zed"), byAuthor(5, cp("вася"))});
    test::CommandResult r = authors(folder);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "DJ BOB\nZed\nВася\n");
}

TEST(CliAuthors, AnExtraArgumentIsAUsageError) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {byAuthor(1, "Solo")});
    test::CommandResult r = authors(folder, {"all"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("kelvarn-cli: unexpected argument: all\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("  authors\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kelvarn
