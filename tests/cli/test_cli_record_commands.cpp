// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli's record commands (favourite, recycle, restore, queue): only from the views the
// records are in.
#include <gtest/gtest.h>

#include "tests/support/record_commands_fixture.h"

namespace kelvarn {
namespace {

using test::readBytes;
using test::RecordCommandsTest;

TEST_F(RecordCommandsTest, CommandLineMovesAndQueuesOnlyFromTheViewsTheyBelongTo) {
    MixRecord favourite = test::sampleRecord("222222");
    favourite.IsFavourite = 1;
    load({test::sampleRecord("111111"), favourite});
    test::writeBytes(folder.file("List.dnl"), "");
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", folder.path()});
        return test::runCli(args);
    };
    EXPECT_EQ(cli({"unfavourite", "1"}).status, 1);  // record 1 is in the catalogue view
    EXPECT_EQ(cli({"restore", "2"}).status, 1);
    EXPECT_EQ(cli({"favourite", "3"}).status, 1);
    EXPECT_EQ(cli({"favourite", "x"}).status, 2);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")).size(), 2 * kRecordSize);

    EXPECT_EQ(cli({"recycle", "2"}).status, 0);  // from the favourites: both flags change
    EXPECT_EQ(catalogue.read(2).IsFavourite, 0);
    EXPECT_EQ(catalogue.read(2).InRecycleBin, 1);
    // One refused number writes nothing at all.
    EXPECT_EQ(cli({"queue", "1", "2"}).status, 1);
    EXPECT_EQ(readBytes(folder.file("List.dnl")), "");
    EXPECT_EQ(cli({"restore", "2"}).status, 0);
    EXPECT_EQ(cli({"queue", "1", "2", "1"}).status, 0);
    EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll().size(), 2u);
}

}  // namespace
}  // namespace kelvarn
