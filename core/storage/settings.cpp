// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storage/settings.h"

#include "core/net/site_address.h"

namespace kelvarn {

std::string Settings::downloadPath() const {
    std::string stored = read(keys::Path);
    return stored.empty() ? folder_ + "ZIP/" : stored;
}

std::string Settings::siteAddress() const {
    return normalizeSiteAddress(read(keys::Site));
}

}  // namespace kelvarn
