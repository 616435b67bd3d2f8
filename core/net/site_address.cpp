// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/net/site_address.h"

namespace kelvarn {
namespace {

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string withId(std::string_view base, std::string_view action, std::string_view id) {
    return std::string(base) +
           "/fruityloops/loops_list/pafiledb.php?action=" + std::string(action) +
           "&id=" + percentEncode(id);
}

}  // namespace

std::string normalizeSiteAddress(std::string_view base) {
    if (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    return std::string(base);
}

std::string percentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (unreserved(c)) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string recordPageAddress(std::string_view base, std::string_view id) {
    return withId(base, "file", id);
}

std::string downloadAddress(std::string_view base, std::string_view id) {
    return withId(base, "download", id);
}

std::string listPageAddress(std::string_view base) {
    return std::string(base) + "/fruityloops/loops.php";
}

}  // namespace kelvarn
