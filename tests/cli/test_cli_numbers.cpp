// SPDX-License-Identifier: GPL-3.0-or-later
// How every command reads a number: a record outside the catalogue is refused (exit 1), text
// that is no number is a usage error (exit 2), leading zeros are read alike.
#include <gtest/gtest.h>

#include "core/catalogue/catalogue_file.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

TEST(CliNumbers, EveryCommandReadsRecordNumbersAndCodesAlike) {
    test::TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"),
                         {test::sampleRecord("1"), test::sampleRecord("2")});
    test::writeBytes(folder.file("index"), "1\r\n2\r\n");
    test::writeBytes(folder.file("List.dnl"), "");
    const std::string base = test::readBytes(folder.file("Base.vlt"));
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", folder.path()});
        return test::runCli(args).status;
    };
    const std::string huge = "99999999999999999999999";
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"edit", "1234567890"}, 1},
        {{"recycle", "1234567890"}, 1},
        {{"queue", "1", huge}, 1},
        {{"edit", "0"}, 1},
        {{"edit", "+1"}, 2},
        {{"recycle", "1x"}, 2},
        {{"queue", "3", "abc"}, 2},
        {{"edit", "1", "--style", huge}, 2},
        {{"add", "--id", "5", "--author", "A", "--style", "015"}, 2},
        {{"add", "--id", "5", "--author", "A", "--style", " 1"}, 2},
    };
    for (const auto& [args, status] : cases) {
        EXPECT_EQ(cli(args), status) << args[0] << " " << args[1] << " " << args.back();
    }
    EXPECT_EQ(test::readBytes(folder.file("Base.vlt")), base);
    EXPECT_EQ(test::readBytes(folder.file("List.dnl")), "");

    EXPECT_EQ(cli({"edit", "002", "--style", "014", "--rating", "0010"}), 0);
    EXPECT_EQ(cli({"add", "--id", "5", "--author", "A", "--style", "014"}), 0);
    CatalogueFile catalogue(folder.file("Base.vlt"));
    EXPECT_EQ(catalogue.read(2).Style, 14);
    EXPECT_EQ(catalogue.read(2).Rating, 10);
    EXPECT_EQ(catalogue.read(3).Style, 14);
}

}  // namespace
}  // namespace kelvarn
