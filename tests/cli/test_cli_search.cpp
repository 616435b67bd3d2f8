// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli search: the matches printed under their numbers, and the usage errors.
#include <gtest/gtest.h>

#include "tests/support/search_fixture.h"

namespace kelvarn {
namespace {

using test::SearchTest;

TEST_F(SearchTest, CommandLinePrintsTheMatchesUnderTheirNumbers) {
    test::CommandResult r = test::runCli({"--data-dir", folder.path(), "search", "name", "MIX"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(r.out.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("№\tID микса\tАвтор"));
    EXPECT_TRUE(lines[1].starts_with("5\t1004\tDJ MiXer\tNight\tDJ@Mail.ru\t"));
    EXPECT_TRUE(lines[2].starts_with("9\t1008\tSasha\tSummer mIx\t\t"));
    EXPECT_EQ(test::runCli({"--data-dir", folder.path(), "search", "id", "12a"}).status, 2);
    EXPECT_EQ(test::runCli({"--data-dir", folder.path(), "search", "--count", "id"}).status, 2);
    EXPECT_EQ(test::runCli({"--data-dir", folder.path(), "search", "title", "x"}).status, 2);
}

}  // namespace
}  // namespace kelvarn
