// SPDX-License-Identifier: GPL-3.0-or-later
// The words of sync's desktop notice, as the user reads them.
#include <gtest/gtest.h>

#include <utility>

#include "cli/sync_notice.h"

namespace kelvarn::cli {
namespace {

SyncTally tally(int added, int downloaded, int notDownloaded, std::string failure) {
    SyncTally t;
    t.added = added;
    t.downloaded = downloaded;
    t.notDownloaded = notDownloaded;
    t.failure = std::move(failure);
    return t;
}

TEST(SyncNotice, CountsInRussianWithTheFailureOnALineOfItsOwnAndNothingWhenNothingHappened) {
    const struct {
        SyncTally tally;
        std::string body;
    } rows[] = {
        {tally(0, 0, 0, ""), ""},
        {tally(12, 10, 0, ""), "12 новых миксов, 10 скачано"},
        {tally(1, 0, 0, ""), "1 новый микс"},
        {tally(21, 0, 0, ""), "21 новый микс"},
        {tally(11, 0, 0, ""), "11 новых миксов"},
        {tally(3, 0, 0, ""), "3 новых микса"},
        {tally(104, 0, 0, ""), "104 новых микса"},
        {tally(112, 0, 0, ""), "112 новых миксов"},
        {tally(0, 4, 2, ""), "4 скачано, 2 не скачано"},
        {tally(0, 0, 0, "список миксов не получен"),
         "Синхронизация не удалась — список миксов не получен"},
        {tally(5, 2, 1, "Диск заполнен"),
         "5 новых миксов, 2 скачано, 1 не скачано\nСинхронизация не удалась — Диск заполнен"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(syncNoticeBody(row.tally), row.body);
    }
}

}  // namespace
}  // namespace kelvarn::cli
