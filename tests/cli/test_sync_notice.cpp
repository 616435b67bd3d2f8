// SPDX-License-Identifier: GPL-3.0-or-later
// The words of sync's desktop notice, as the user reads them.
#include <gtest/gtest.h>

#include "cli/sync_notice.h"

namespace kelvarn::cli {
namespace {

TEST(SyncNotice, CountsInRussianWithTheFailureOnALineOfItsOwnAndNothingWhenNothingHappened) {
    const struct {
        SyncTally tally;
        std::string body;
    } rows[] = {
        {{0, 0, 0, ""}, ""},
        {{12, 10, 0, ""}, "12 новых миксов, 10 скачано"},
        {{1, 0, 0, ""}, "1 новый микс"},
        {{21, 0, 0, ""}, "21 новый микс"},
        {{11, 0, 0, ""}, "11 новых миксов"},
        {{3, 0, 0, ""}, "3 новых микса"},
        {{104, 0, 0, ""}, "104 новых микса"},
        {{112, 0, 0, ""}, "112 новых миксов"},
        {{0, 4, 2, ""}, "4 скачано, 2 не скачано"},
        {{0, 0, 0, "список миксов не получен"},
         "Синхронизация не удалась — список миксов не получен"},
        {{5, 2, 1, "Диск заполнен"},
         "5 новых миксов, 2 скачано, 1 не скачано\nСинхронизация не удалась — Диск заполнен"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(syncNoticeBody(row.tally), row.body);
    }
}

}  // namespace
}  // namespace kelvarn::cli
