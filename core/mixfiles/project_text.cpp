// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/mixfiles/project_text.h"

#include <array>
#include <cstdint>

#include "core/mixfiles/project_reader.h"

namespace kelvarn {
namespace {

// Windows-1252's bytes 0x80..0x9F; the five it leaves undefined read as the C1 controls of the
// same number, as the system's own conversion has it, so no byte fails.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
        out += ' ';
    } else if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A UTF-16LE code unit.
char32_t unitAt(const unsigned char* at) {
    return char32_t{at[0]} | char32_t{at[1]} << 8;
}

}  // namespace

std::string fromUtf16(std::string_view bytes) {
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    std::string out;
    for (std::size_t i = 0, kept = 0; i < units && kept < kTextLimit; ++i, ++kept) {
        char32_t cp = unitAt(at + 2 * i);
        if (cp == 0) {
            break;
        }
        if (cp >= 0xD800 && cp < 0xE000) {
            const char32_t low = i + 1 < units ? unitAt(at + 2 * i + 2) : 0;
            if (cp < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string fromCp1252(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < kTextLimit && bytes[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char32_t{byte});
    }
    return out;
}

std::string fromUtf8(std::string_view bytes) {
    std::string out;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < bytes.size() && kept < kTextLimit && bytes[i] != '\0'; ++kept) {
        const auto lead = static_cast<unsigned char>(bytes[i++]);
        const int extra = lead < 0x80   ? 0
                          : lead < 0xC2 ? -1
                          : lead < 0xE0 ? 1
                          : lead < 0xF0 ? 2
                          : lead < 0xF5 ? 3
                                        : -1;
        char32_t cp = extra <= 0 ? char32_t{lead} : static_cast<char32_t>(lead & (0x3Fu >> extra));
        bool whole = extra >= 0;
        for (int k = 0; k < extra && whole; ++k) {
            const unsigned char next =
                i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : '\0';
            whole = (next & 0xC0) == 0x80;
            if (whole) {
                cp = (cp << 6) | static_cast<char32_t>(next & 0x3Fu);
                ++i;
            }
        }
        const bool shortest = extra < 2 || cp >= (extra == 2 ? 0x800u : 0x10000u);
        appendUtf8(out, whole && shortest && cp <= 0x10FFFF && (cp < 0xD800 || cp >= 0xE000)
                            ? cp
                            : char32_t{0xFFFD});
    }
    return out;
}

}  // namespace kelvarn
