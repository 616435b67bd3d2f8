// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <iconv.h>

#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

// The system's own converter is the reference for every byte of the code page.
std::string systemUtf8(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    return rc == static_cast<std::size_t>(-1) ? std::string() : std::string(out, outPtr);
}

TEST(Cp1251, EveryByteMatchesTheSystemConverter) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) {
            continue;  // no character in the code page
        }
        std::string expected = systemUtf8(static_cast<unsigned char>(b));
        ASSERT_FALSE(expected.empty()) << b;
        EXPECT_EQ(cp1251ToUtf8(std::string(1, static_cast<char>(b))), expected) << "byte " << b;
        EXPECT_EQ(utf8ToCp1251(expected), std::string(1, static_cast<char>(b))) << "byte " << b;
    }
    EXPECT_EQ(cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(Cp1251, PrintableTextTurnsControlBytesIntoSpaces) {
    EXPECT_EQ(cp1251ToUtf8Printable(std::string("a\tb\r\nc\0d", 8)), "a b  c d");
    EXPECT_EQ(cp1251ToUtf8Printable("\xC0\x98"), "А\xEF\xBF\xBD");
}

TEST(Cp1251, TypedTextWithoutAByteBecomesAQuestionMark) {
    EXPECT_EQ(utf8ToCp1251("Ж€日"), std::optional<std::string>("\xC6\x88?"));
    EXPECT_EQ(utf8ToCp1251("😀x"), std::optional<std::string>("?x"));
}

TEST(Cp1251, InvalidUtf8IsRefused) {
    EXPECT_FALSE(utf8ToCp1251("\xC0\x80"));      // overlong
    EXPECT_FALSE(utf8ToCp1251("\xD0"));          // cut short
    EXPECT_FALSE(utf8ToCp1251("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(utf8ToCp1251("\xFF"));
    EXPECT_FALSE(utf8ToCp1251("ab\x80"));
}

TEST(Cp1251, CaseFoldLowersLatinAndCyrillicButLeavesYoAlone) {
    EXPECT_EQ(caseFold("ABCxyz Z"), "abcxyz z");
    EXPECT_EQ(caseFold("АБВЯ"_cp), "абвя"_cp);
    EXPECT_EQ(caseFold("абвя"_cp), "абвя"_cp);
    EXPECT_EQ(caseFold("Ё"_cp), "Ё"_cp);
    EXPECT_NE(caseFold("Ё"_cp), "ё"_cp);
    EXPECT_EQ(caseFold("@[`{"), "@[`{");
}

TEST(Cp1251, CompiledLiteralsAreWindows1251Bytes) {
    EXPECT_EQ("Нет"_cp, "\xCD\xE5\xF2");
    EXPECT_EQ("№"_cp, "\xB9");
    EXPECT_EQ("plain"_cp, "plain");
}

}  // namespace
}  // namespace kelvarn
