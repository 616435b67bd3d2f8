#include "core/storage/settings.h"

#include <charconv>

#include "core/net/site_address.h"

namespace kelvarn {

std::string Settings::downloadPath() const {
    std::string stored = read(keys::Path);
    return stored.empty() ? folder_ + "ZIP/" : stored;
}

std::string Settings::siteAddress() const {
    return normalizeSiteAddress(read(keys::Site));
}

std::string encodeCheckListStyle(const StyleChecks& checks) {
    std::string text;
    for (int i = 0; i < kImportStyleCount; ++i) {
        if (checks[i]) {
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
