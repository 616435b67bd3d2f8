#include "core/import/selection.h"

#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

bool containsPart(std::string_view foldedText, std::string_view foldedPart) {
    return !foldedPart.empty() && foldedText.find(foldedPart) != std::string_view::npos;
}

}  // namespace

bool containsFolded(std::string_view text, std::string_view part) {
    return containsPart(caseFold(text), caseFold(part));
}

bool authorMatch(std::string_view author, std::string_view title,
                 const std::vector<std::string>& names) {
    std::string foldedAuthor = caseFold(author);
    std::string foldedTitle = caseFold(title);
    for (const std::string& name : names) {
        std::string folded = caseFold(name);
        if (foldedAuthor == folded || containsPart(foldedTitle, folded) ||
            containsPart(foldedAuthor, folded)) {
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

}  // namespace kelvarn
