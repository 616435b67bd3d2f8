// SPDX-License-Identifier: GPL-3.0-or-later
// Putting a backup back: Base.vlt, index and List.dnl together, all or nothing, and never under a
// save stage that is still to be completed against the files it was written for.
#pragma once

#include <string>
#include <vector>

#include "core/storage/backups.h"

namespace kelvarn {

// What is wrong with a backup's files, for the user to read; empty when nothing is: a catalogue
// cut inside a record, `index` lines without their record, queue entries that name none. The
// mixes a journal in the backup brings along count as there.
std::string backupDamage(const BackupFiles& files);

struct CheckedBackup {
    BackupEntry entry;
    std::string damage;  // empty for a sound copy
};

// Every whole backup, oldest first, each checked.
std::vector<CheckedBackup> checkedBackups(const std::string& folder);

// Puts backup `name` (one that listBackups lists) back as the folder's Base.vlt, ID list and
// List.dnl, after completing a save stage left half done and keeping the current three as a
// backup of their own. A backup made before queues were kept brings none back: the current queue
// stays, less the entries whose record number names another mix, or none, in the restored
// catalogue. Refuses (std::runtime_error) any other name and a damaged backup at once, and while
// an import or a download runs on the folder; throws IoError.
void restoreBackup(const std::string& folder, const std::string& name);

}  // namespace kelvarn
