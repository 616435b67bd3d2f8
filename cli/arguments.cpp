// SPDX-License-Identifier: GPL-3.0-or-later
#include <charconv>
#include <limits>

#include "cli/commands.h"

namespace kelvarn::cli {

std::uint64_t wholeNumber(const std::string& text, const std::string& what) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        throw UsageError{what + ": " + text};
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? value : std::numeric_limits<std::uint64_t>::max();
}

std::uint32_t recordNumber(const std::string& text, std::uint32_t count) {
    const std::uint64_t number = wholeNumber(text, "not a record number");
    if (number < 1 || number > count) {
        throw Refusal{"no record " + text + " in the catalogue"};
    }
    return static_cast<std::uint32_t>(number);
}

std::uint8_t smallCode(const std::string& text, std::uint8_t largest, const std::string& what) {
    const std::uint64_t code = wholeNumber(text, what);
    if (code > largest) {
        throw UsageError{what + ": " + text};
    }
    return static_cast<std::uint8_t>(code);
}

}  // namespace kelvarn::cli
