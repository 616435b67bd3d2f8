// SPDX-License-Identifier: GPL-3.0-or-later
// Which mixes of the site's list the import takes: by style, or by author through the chosen
// names of the author list.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <array>

#include "core/catalogue/styles.h"

namespace kelvarn {

// The import's style check list, items 0..13.
using StyleChecks = std::array<bool, kImportStyleCount>;

// "0,3,13," for items 0, 3 and 13; empty when none is checked.
std::string encodeCheckListStyle(const StyleChecks& checks);

// Checks the items the text names; items not named keep their state. An entry keeps at most its
// first two characters, and characters after the last "," are ignored, so "text" checks nothing.
// An entry that names no item (not a number, or past 13) is passed over.
void decodeCheckListStyle(std::string_view text, StyleChecks& checks);

// The import window's selection controls as they stand. Texts are Windows-1251.
struct SelectionControls {
    bool byStyle = true;             // "Отбор по стилю"
    StyleChecks styles{};            // the ticked items, style codes 0..13
    bool byAuthor = true;            // "Отбор по автору"
    std::vector<std::string> names;  // the chosen-name list
    bool addToQueue = true;          // "Добавить на закачку"
};

// The first chosen name that equals the author or stands in the title or the author, folded, with
// the name's character references decoded as the import decodes the page's.
bool authorMatch(std::string_view author, std::string_view title,
                 const std::vector<std::string>& names);

// The style test first (a ticked style passes at once), then the author test.
bool passesSelection(const SelectionControls& controls, std::uint8_t styleCode,
                     std::string_view author, std::string_view title);

// The controls as the window shows them, handed to the import worker: the window sets them
// whenever the user changes one, and the worker reads them for each candidate, so a change made
// during a run applies to the candidates tested after it.
class LiveSelection {
public:
    void set(SelectionControls controls);
    // The controls as last set; cheap to take for every candidate.
    std::shared_ptr<const SelectionControls> get() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const SelectionControls> controls_ = std::make_shared<SelectionControls>();
};

}  // namespace kelvarn
