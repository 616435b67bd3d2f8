// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/styles.h"

#include <array>

#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

constexpr std::array<std::string_view, kStyleCount> kStyleNames = {
    "Trance",
    "House",
    "Techno",
    "Hip-Hop",
    "Drum & Bass",
    "Break Beat",
    "Rock & Alternative",
    "Instrumental",
    "Ambient",
    "Industrial",
    "Meditation",
    "Pop",
    "Dancecore",
    "Другое"_cp,
    "Неизвестный"_cp,
};

}  // namespace

std::string_view StyleName(std::uint8_t code) {
    return code < kStyleCount ? kStyleNames[code] : std::string_view{};
}

std::string_view FileFlagText(std::uint8_t flag) {
    return flag != 0 ? "Есть"_cp : "Нет"_cp;
}

}  // namespace kelvarn
