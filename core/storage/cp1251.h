// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1251 text, the single encoding of every data file, and its conversion at the edges.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kelvarn {

namespace detail {

// Code points of the bytes 0x80..0xBF; 0xC0..0xFF map straight onto U+0410..U+044F.
inline constexpr std::array<char16_t, 64> kCp1251UpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// The Windows-1251 byte of a code point, or -1 when it has none.
constexpr int unicodeToCp1251(char32_t cp) {
    if (cp < 0x80) {
        return static_cast<int>(cp);
    }
    if (cp >= 0x0410 && cp <= 0x044F) {
        return static_cast<int>(cp - 0x0410 + 0xC0);
    }
    for (std::size_t i = 0; i < kCp1251UpperHalf.size(); ++i) {
        if (kCp1251UpperHalf[i] == cp && cp != 0xFFFD) {
            return 0x80 + static_cast<int>(i);
        }
    }
    return -1;
}

template <std::size_t N>
struct Utf8Literal {
    char chars[N]{};
    consteval Utf8Literal(const char (&text)[N]) {
        for (std::size_t i = 0; i < N; ++i) {
            chars[i] = text[i];
        }
    }
};

template <std::size_t N>
struct Cp1251Text {
    std::array<char, N> bytes{};
    std::size_t length = 0;
};

// Converts a UTF-8 literal of the program's own texts while compiling; a character outside
// Windows-1251 stops the build.
template <std::size_t N>
consteval Cp1251Text<N> toCp1251(const Utf8Literal<N>& utf8) {
    Cp1251Text<N> out;
    for (std::size_t i = 0; i + 1 < N;) {
        auto lead = static_cast<unsigned char>(utf8.chars[i]);
        char32_t cp = lead;
        std::size_t extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        if (extra > 0) {
            cp = lead & (0x3F >> extra);
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8.chars[i + k]) & 0x3F);
        }
        int byte = unicodeToCp1251(cp);
        if (byte < 0) {
            throw "text has a character with no Windows-1251 byte";
        }
        out.bytes[out.length++] = static_cast<char>(byte);
        i += extra + 1;
    }
    return out;
}

template <Utf8Literal S>
inline constexpr auto kCp1251Literal = toCp1251(S);

}  // namespace detail

// "Автор"_cp: the program's own texts are written in UTF-8 and stored as Windows-1251.
template <detail::Utf8Literal S>
constexpr std::string_view operator""_cp() {
    return {detail::kCp1251Literal<S>.bytes.data(), detail::kCp1251Literal<S>.length};
}

// The Unicode code point of a Windows-1251 byte; U+FFFD for 0x98, which has no character.
char32_t cp1251ToUnicode(unsigned char byte);

// Converts stored text for display; bytes without a character become U+FFFD.
std::string cp1251ToUtf8(std::string_view bytes);

// As cp1251ToUtf8, but control bytes (0x00-0x1F) become spaces, so that a stored TAB or line
// break can never split a printed table row.
std::string cp1251ToUtf8Printable(std::string_view bytes);

// Converts typed text for storage: a character with no Windows-1251 byte is stored as "?".
// Returns nothing when the input is not valid UTF-8.
std::optional<std::string> utf8ToCp1251(std::string_view utf8);

// Lower-cases Latin A..Z and Cyrillic А..Я by adding 32 to their codes and leaves every other
// byte alone (Ё included), as the author match and the search expect.
unsigned char caseFold(unsigned char byte);
std::string caseFold(std::string_view bytes);

}  // namespace kelvarn
