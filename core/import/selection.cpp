// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/import/selection.h"

#include <charconv>

#include "core/catalogue/html_text.h"
#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

bool containsPart(std::string_view foldedText, std::string_view foldedPart) {
    return !foldedPart.empty() && foldedText.find(foldedPart) != std::string_view::npos;
}

}  // namespace

bool authorMatch(std::string_view author, std::string_view title,
                 const std::vector<std::string>& names) {
    std::string foldedAuthor = caseFold(author);
    std::string foldedTitle = caseFold(title);
    auto matches = [&](const std::string& folded) {
        return foldedAuthor == folded || containsPart(foldedTitle, folded) ||
               containsPart(foldedAuthor, folded);
    };
    for (const std::string& name : names) {
        // A name kept from before the import decoded the page's references (written "&amp;")
        // still names the author it named then; a name whose decoded text holds "&amp;" is
        // taken as it stands too.
        std::string folded = caseFold(name);
        if (matches(folded)) {
            return true;
        }
        std::string decoded = caseFold(decodeCharacterReferences(name));
        if (decoded != folded && matches(decoded)) {
            return true;
        }
    }
    return false;
}

bool passesSelection(const SelectionControls& controls, std::uint8_t styleCode,
                     std::string_view author, std::string_view title) {
    if (controls.byStyle && styleCode < controls.styles.size() && controls.styles[styleCode]) {
        return true;
    }
    return controls.byAuthor && !controls.names.empty() &&
           authorMatch(author, title, controls.names);
}

void LiveSelection::set(SelectionControls controls) {
    auto fresh = std::make_shared<const SelectionControls>(std::move(controls));
    std::lock_guard<std::mutex> hold(mutex_);
    controls_ = std::move(fresh);
}

std::shared_ptr<const SelectionControls> LiveSelection::get() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return controls_;
}

std::string encodeCheckListStyle(const StyleChecks& checks) {
    std::string text;
    for (int i = 0; i < kImportStyleCount; ++i) {
        if (checks[static_cast<std::size_t>(i)]) {
            text += std::to_string(i) + ",";
        }
    }
    return text;
}

void decodeCheckListStyle(std::string_view text, StyleChecks& checks) {
    std::string entry;
    for (char c : text) {
        if (c != ',') {
            if (entry.size() < 2) {
                entry.push_back(c);
            }
            continue;
        }
        int item = -1;
        auto [end, ec] = std::from_chars(entry.data(), entry.data() + entry.size(), item);
        if (ec == std::errc() && end == entry.data() + entry.size() && item >= 0 &&
            item < kImportStyleCount) {
            checks[static_cast<std::size_t>(item)] = true;
        }
        entry.clear();
    }
}

}  // namespace kelvarn
