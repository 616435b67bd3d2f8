// SPDX-License-Identifier: GPL-3.0-or-later
// The context-menu commands on loaded views: flag bytes in Base.vlt, rows in the grids, the
// highlight after a row goes, the queue, and the copied texts.
#include <gtest/gtest.h>

#include "core/catalogue/record_commands.h"
#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "tests/support/record_commands_fixture.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;

std::vector<std::string> numbersIn(const RecordGrid& grid) {
    std::vector<std::string> numbers;
    for (int r = 1; r < grid.rowCount(); ++r) {
        numbers.emplace_back(grid.cell(kColNumber, r));
    }
    return numbers;
}

using test::RecordCommandsTest;

TEST_F(RecordCommandsTest, MovesWriteOnlyTheFlagBytesAndKeepGridsAndSwapInStep) {
    MixRecord house = test::sampleRecord("111111", 1);
    MixRecord trance = test::sampleRecord("222222", 0);
    load({house, trance});
    const std::string before = readBytes(folder.file("Base.vlt"));

    // "Удалить" while House is selected: the record leaves Table and Swap alike.
    selectStyleNode(views, 1);
    ASSERT_EQ(numbersIn(views.Table), std::vector<std::string>{"1"});
    EXPECT_EQ(moveRecord(catalogue, views, RecordMove::Recycle, 1).highlight, std::nullopt);
    std::string after = readBytes(folder.file("Base.vlt"));
    EXPECT_EQ(after[169], '\1');
    after[169] = before[169];
    EXPECT_EQ(after, before);
    EXPECT_EQ(numbersIn(views.Table), std::vector<std::string>{""});  // its placeholder row
    EXPECT_EQ(numbersIn(views.RecycleBin), (std::vector<std::string>{"", "1"}));
    selectStyleNode(views, kKeyAllStyles);
    EXPECT_EQ(numbersIn(views.Table), std::vector<std::string>{"2"});

    // "Добавить в Избранное", then "Удалить" from the favourites, then "Восстановить".
    moveRecord(catalogue, views, RecordMove::Favourite, 1);
    EXPECT_EQ(catalogue.read(2).IsFavourite, 1);
    EXPECT_EQ(numbersIn(views.Favourites), (std::vector<std::string>{"", "2"}));
    moveRecord(catalogue, views, RecordMove::RecycleFavourite, 2);
    EXPECT_EQ(catalogue.read(2).IsFavourite, 0);
    EXPECT_EQ(catalogue.read(2).InRecycleBin, 1);
    EXPECT_EQ(numbersIn(views.RecycleBin), (std::vector<std::string>{"", "1", "2"}));
    moveRecord(catalogue, views, RecordMove::Restore, 2);
    EXPECT_EQ(catalogue.read(1).InRecycleBin, 0);
    EXPECT_EQ(numbersIn(views.Table), std::vector<std::string>{""});  // not before a tree click
    // Swap showed its placeholder row: the record goes below it until the next load.
    selectStyleNode(views, kKeyAllStyles);
    EXPECT_EQ(numbersIn(views.Table), (std::vector<std::string>{"", "1"}));

    // The placeholder row names no record: nothing moves.
    EXPECT_EQ(moveRecord(catalogue, views, RecordMove::Restore, 1).highlight, std::nullopt);
    EXPECT_EQ(numbersIn(views.RecycleBin), (std::vector<std::string>{"", "2"}));
    EXPECT_TRUE(isInMoveSource(RecordMove::Restore, catalogue.read(2).as<std::string_view>()));
    EXPECT_FALSE(isInMoveSource(RecordMove::Unfavourite, catalogue.read(2).as<std::string_view>()));
}

TEST_F(RecordCommandsTest, TheHighlightAfterARowGoes) {
    auto fiveRows = [] {
        RecordGrid grid;
        for (int n = 1; n <= 5; ++n) {
            if (n > 1) {
                grid.appendRow({});
            }
            grid.setRow(n, RecordToRow(static_cast<std::uint32_t>(n), test::sampleRecord("1")));
        }
        return grid;
    };
    const std::pair<int, std::optional<int>> lowerOne[] = {
        {4, 3}, {5, std::nullopt}, {1, 1}, {2, 2}, {3, 3}};
    for (auto [removed, highlight] : lowerOne) {
        RecordGrid grid = fiveRows();
        EXPECT_EQ(removeRow(grid, removed, 1), highlight) << removed;
        EXPECT_EQ(grid.rowCount(), 5);
    }
    RecordGrid grid = fiveRows();
    EXPECT_EQ(removeRow(grid, 2, 2), std::nullopt);  // back to the catalogue view
    EXPECT_EQ(numbersIn(grid), (std::vector<std::string>{"1", "3", "4", "5"}));
}

TEST_F(RecordCommandsTest, QueuingSkipsQueuedIdsAndQueueAllAsksWhichRows) {
    MixRecord got = test::sampleRecord("111111");
    got.HasFile = 1;
    MixRecord second = test::sampleRecord("222222");
    MixRecord third = test::sampleRecord("333333");
    third.Author = "";
    load({got, second, third});
    QueueEntryBytes taken = encodeQueueEntry({9, "222222", "old", 0, 1});
    test::writeBytes(folder.file("List.dnl"), std::string(taken.begin(), taken.end()));
    QueueFile queue(folder.file("List.dnl"));

    EXPECT_EQ(queueRow(catalogue, queue, views.Table, 2).queued, 0u);  // queued, though taken off
    EXPECT_EQ(queueAll(catalogue, queue, views.Table, false).queued, 1u);
    EXPECT_EQ(queueAll(catalogue, queue, views.Table, true).queued, 1u);
    std::vector<QueueEntry> entries = queue.readAll();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1], (QueueEntry{3, "333333", " - Title 333333", 1234, 0}));
    EXPECT_EQ(entries[2].RecordNumber, 1);

    EXPECT_EQ(copiedName(views.Table, 3), " - Title 333333");
    EXPECT_EQ(copiedAddress("http://s", views.Table, 1),
              "http://s/fruityloops/loops_list/pafiledb.php?action=file&id=111111");
}

}  // namespace
}  // namespace kelvarn
