// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/html_text.h"

#include <array>
#include <charconv>
#include <cstdint>

#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

// What a reference stands for besides a character.
constexpr char32_t kNoCharacter = 0xFFFFFFFF;  // a number that names none a page may hold
constexpr char32_t kOtherName = 0xFFFFFFFE;    // a name the import leaves as it stands

// The longest name HTML gives a character, and room for a number with leading zeros.
constexpr std::size_t kLongestReference = 32;

// The characters browsers read the numbers 128..159 as (those of Windows-1252); 0 for none.
constexpr std::array<char16_t, 32> kNumbers128To159 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 128
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 136
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 144
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 152
};

struct Reference {
    std::size_t length = 0;  // from its "&" to its ";"; 0 where none begins
    char32_t character = 0;
};

bool isAsciiLetter(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

bool isAsciiDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

char32_t numberedCharacter(std::string_view digits, int base) {
    std::uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || end != digits.data() + digits.size()) {
        return 0;  // no number: no reference either
    }
    if (error == std::errc() && value >= 0x80 && value <= 0x9F) {
        value = kNumbers128To159[value - 0x80];
    }
    const bool none = error != std::errc() || value < 0x20 || value == 0x7F ||
                      (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF;
    return none ? kNoCharacter : value;
}

Reference referenceAt(std::string_view text) {
    const std::size_t end = text.substr(0, kLongestReference + 2).find(';');
    if (text.empty() || text[0] != '&' || end == std::string_view::npos || end < 2) {
        return {};
    }
    std::string_view body = text.substr(1, end - 1);
    if (body[0] == '#') {
        body.remove_prefix(1);
        const bool hex = !body.empty() && (body[0] == 'x' || body[0] == 'X');
        const char32_t character = numberedCharacter(body.substr(hex ? 1 : 0), hex ? 16 : 10);
        return character == 0 ? Reference{} : Reference{end + 1, character};
    }
    if (!isAsciiLetter(body[0])) {
        return {};
    }
    for (char ch : body) {
        if (!isAsciiLetter(ch) && !isAsciiDigit(ch)) {
            return {};
        }
    }
    static constexpr std::array<std::pair<std::string_view, char32_t>, 5> kDecoded = {{
        {"amp", '&'},
        {"lt", '<'},
        {"gt", '>'},
        {"quot", '"'},
        {"nbsp", 0xA0},
    }};
    for (const auto& [name, character] : kDecoded) {
        if (body == name) {
            return {end + 1, character};
        }
    }
    return {end + 1, kOtherName};
}

// The bytes that go into a page unchanged: all but those escaped, control bytes, DEL and 0x98.
constexpr std::array<bool, 256> kStandsAsIs = [] {
    std::array<bool, 256> as{};
    for (std::size_t b = 0x20; b < as.size(); ++b) {
        as[b] = b != '&' && b != '<' && b != '>' && b != '"' && b != 0x7F && b != 0x98;
    }
    return as;
}();

}  // namespace

std::string decodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Reference reference = referenceAt(text.substr(at));
        const int byte = reference.length == 0 || reference.character == kOtherName ||
                                 reference.character == kNoCharacter
                             ? -1
                             : detail::unicodeToCp1251(reference.character);
        if (byte < 0) {
            out += text[at++];
            continue;
        }
        out += static_cast<char>(byte);
        at += reference.length;
    }
    return out;
}

void appendForPage(std::string& out, std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        // Most bytes stand as they are: each run of them goes in with one append.
        std::size_t plain = at;
        while (plain < text.size() && kStandsAsIs[static_cast<unsigned char>(text[plain])]) {
            ++plain;
        }
        out.append(text.data() + at, plain - at);
        if (plain == text.size()) {
            break;
        }
        at = plain + 1;
        switch (const auto byte = static_cast<unsigned char>(text[plain])) {
            case '&': {
                const Reference reference = referenceAt(text.substr(plain));
                const bool begins = reference.length != 0 && reference.character != kNoCharacter;
                out += begins ? "&" : "&amp;";
                break;
            }
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (byte < 0x20) {
                    out += ' ';
                }
        }
    }
}

std::string escapeForPage(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendForPage(out, text);
    return out;
}

}  // namespace kelvarn
