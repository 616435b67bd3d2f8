// SPDX-License-Identifier: GPL-3.0-or-later
// "Добавить" of the manual entry window: one record typed in by hand, appended to the catalogue,
// the ID list and, when asked, the download queue.
#pragma once

#include <cstdint>
#include <string>

#include "core/catalogue/mix_record.h"
#include "core/catalogue/styles.h"

namespace kelvarn {

// What the window's boxes hold; texts are Windows-1251. The ID box takes digits only, at most six.
struct ManualEntry {
    std::string id;
    std::string author;
    std::string title;
    std::string email;
    std::uint8_t style = kUnknownStyle;
    bool hasFile = false;  // "Файл"
    bool queue = true;     // "Добавить на закачку"
};

struct ManualEntryResult {
    enum class Outcome { Added, NoName, NoId, Exists };
    Outcome outcome = Outcome::Added;
    std::uint32_t number = 0;  // the new record's number, when added
    MixRecord record;          // the record as stored, when added
    std::string message;       // the window's own text for a refusal (Windows-1251)
};

// Refuses an entry with neither author nor title, or without an ID, or whose ID a line of the ID
// list already holds; otherwise appends the record, its ID list line and, when asked, its queue
// entry. Every file it will write is opened before the first write, so a missing one changes
// nothing; a file error is an IoError.
ManualEntryResult addManualEntry(const std::string& folder, const ManualEntry& entry, double today,
                                 double timeNow);

}  // namespace kelvarn
