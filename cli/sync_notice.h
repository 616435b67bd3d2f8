// SPDX-License-Identifier: GPL-3.0-or-later
// What a sync tells the desktop when it is done: what it added and fetched, or why it failed.
#pragma once

#include <string>

namespace kelvarn::cli {

// What one sync did.
struct SyncTally {
    int added = 0;          // records the import appended
    int downloaded = 0;     // queue rows that ended "ОК"
    int notDownloaded = 0;  // rows that failed or brought a broken archive
    std::string failure;    // why the sync failed, UTF-8; empty when it did not
};

// The notice's text, UTF-8, in Russian ("12 новых миксов, 10 скачано", and on a line of its own
// "Синхронизация не удалась — ..."); empty when the sync did nothing worth a word.
std::string syncNoticeBody(const SyncTally& tally);

// Shows `summary` and `body` through the desktop's notification service. Where there is no
// session bus or no service it does nothing and says nothing: the sync's own output tells all.
void notifyDesktop(const std::string& summary, const std::string& body);

}  // namespace kelvarn::cli
