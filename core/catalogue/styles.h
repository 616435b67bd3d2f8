// SPDX-License-Identifier: GPL-3.0-or-later
// The fifteen music styles and the file flag, as every window names them.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelvarn {

inline constexpr int kStyleCount = 15;
// The site import's style check list holds the first fourteen.
inline constexpr int kImportStyleCount = 14;
// The last style, "unknown", is the one the import's check list leaves out.
inline constexpr std::uint8_t kUnknownStyle = kImportStyleCount;

// Windows-1251 name of a style code; empty for a code outside 0..14.
std::string_view StyleName(std::uint8_t code);

// "Есть" for a non-zero flag, "Нет" for zero (Windows-1251).
std::string_view FileFlagText(std::uint8_t flag);

}  // namespace kelvarn
