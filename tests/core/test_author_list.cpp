// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/import/author_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "core/storage/text_lines.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using namespace std::string_view_literals;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;
using Names = std::vector<std::string>;

std::string cp(std::string_view utf8) {
    return *utf8ToCp1251(utf8);
}

TEST(SplitTextLines, CrLfALoneCrAndALoneLfEachEndALine) {
    EXPECT_EQ(splitTextLines("a\r\nb\r\nc"), (Names{"a", "b", "c"}));
    EXPECT_EQ(splitTextLines("a\rb\rc"), (Names{"a", "b", "c"}));
    EXPECT_EQ(splitTextLines("a\nb\nc"), (Names{"a", "b", "c"}));
    EXPECT_EQ(splitTextLines("a\r\nb\nc\rd"), (Names{"a", "b", "c", "d"}));
    // LF then CR is two line ends, not one.
    EXPECT_EQ(splitTextLines("a\n\rb"), (Names{"a", "", "b"}));
    EXPECT_EQ(splitTextLines(cp("Ёжик\r\nбит")), (Names{cp("Ёжик"), cp("бит")}));
}

TEST(SplitTextLines, EmptyLinesBetweenEndsStayAndAFinalEndAddsNone) {
    EXPECT_EQ(splitTextLines("a\r\n\r\nb"), (Names{"a", "", "b"}));
    EXPECT_EQ(splitTextLines("a\r\r\nb\n\n"), (Names{"a", "", "b", ""}));
    EXPECT_EQ(splitTextLines("a\r\n"), Names{"a"});
    EXPECT_EQ(splitTextLines("a\r"), Names{"a"});
    EXPECT_EQ(splitTextLines("a\n"), Names{"a"});
    EXPECT_EQ(splitTextLines("\r\n"), Names{""});
    EXPECT_EQ(splitTextLines("last"), Names{"last"});
    EXPECT_EQ(splitTextLines(""), Names{});
}

TEST(SplitTextLines, ANulEndsTheText) {
    EXPECT_EQ(splitTextLines("a\r\nb\0c\r\nd"sv), (Names{"a", "b"}));
    EXPECT_EQ(splitTextLines("a\r\n\0b"sv), Names{"a"});
    EXPECT_EQ(splitTextLines("\0a\r\n"sv), Names{});
}

TEST(AuthorListFile, LfAndCrLfFilesGiveTheSameNames) {
    TempFolder folder;
    writeBytes(folder.file("crlf"), cp("Вася\r\nDJ Bob\r\n\r\nzed\r\n"));
    writeBytes(folder.file("lf"), cp("Вася\nDJ Bob\n\nzed"));
    Names expected{cp("Вася"), "DJ Bob", "", "zed"};
    EXPECT_EQ(readAuthorList(folder.file("crlf")), expected);
    EXPECT_EQ(readAuthorList(folder.file("lf")), expected);
}

TEST(AuthorListFile, WritesEveryNameWithCrLfInTheListsOrder) {
    TempFolder folder;
    std::string path = folder.file("AvtLst.lst");
    writeBytes(path, "an older and much longer list\r\nof names\r\n");
    Names names{"Zed", cp("Вася"), "", "a"};
    writeAuthorList(path, names);
    EXPECT_EQ(readBytes(path), cp("Zed\r\nВася\r\n\r\na\r\n"));
    EXPECT_EQ(readAuthorList(path), names);

    writeAuthorList(path, {""});
    EXPECT_EQ(readBytes(path), "\r\n");
    EXPECT_EQ(readAuthorList(path), Names{""});

    writeAuthorList(path, {});
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(readBytes(path), "");
    EXPECT_EQ(readAuthorList(path), Names{});
}

TEST(AuthorListFile, AMissingFileOrFolderIsAFileError) {
    TempFolder folder;
    std::string missing = folder.file("AvtLst.lst");
    try {
        readAuthorList(missing);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: " + missing);
    }
    EXPECT_THROW(writeAuthorList(folder.file("gone/AvtLst.lst"), {"a"}), IoError);
}

TEST(AuthorNameOrder, CaseIsIgnoredUntilTheBytesMustDecide) {
    EXPECT_TRUE(authorNameLess("apple", "Banana"));
    EXPECT_FALSE(authorNameLess("Banana", "apple"));
    EXPECT_TRUE(authorNameLess("BOB", "Bob"));
    EXPECT_FALSE(authorNameLess("Bob", "BOB"));
    EXPECT_FALSE(authorNameLess("Bob", "Bob"));
    EXPECT_TRUE(authorNameLess("bob", "Bobby"));
    // Codes above 127 come after Latin, and Ё (not folded) before the folded Cyrillic letters.
    EXPECT_TRUE(authorNameLess("Zed", cp("андрей")));
    EXPECT_TRUE(authorNameLess(cp("Ёж"), cp("ёж")));
    EXPECT_TRUE(authorNameLess(cp("ёж"), cp("АНДРЕЙ")));
    EXPECT_TRUE(authorNameLess(cp("юля"), cp("Яна")));
}

MixRecord byAuthor(int id, std::string author) {
    MixRecord r = test::sampleRecord(std::to_string(100000 + id));
    r.Author = std::move(author);
    return r;
}

Names namesOf(const TempFolder& folder) {
    return baseAuthorNames(CatalogueFile(folder.file("Base.vlt")));
}

TEST(BaseAuthorNames, ANameInSeveralCasesIsListedOnceInTheSpellingThatSortsFirst) {
    TempFolder folder;
    std::vector<MixRecord> records{byAuthor(1, "dj bob"), byAuthor(2, "Zed"), byAuthor(3, "DJ BOB"),
                                   byAuthor(4, cp("Вася")), byAuthor(5, "Dj Bob")};
    records[1].InRecycleBin = 1;
    records[3].IsFavourite = 1;
    Names expected{"DJ BOB", "Zed", cp("Вася")};
    test::writeCatalogue(folder.file("Base.vlt"), records);
    EXPECT_EQ(namesOf(folder), expected);
    std::reverse(records.begin(), records.end());
    test::writeCatalogue(folder.file("Base.vlt"), records);
    EXPECT_EQ(namesOf(folder), expected);
}

TEST(BaseAuthorNames, OneRecordGivesOneNameAndNoneGiveNone) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {byAuthor(1, "Solo")});
    EXPECT_EQ(namesOf(folder), Names{"Solo"});
    test::writeCatalogue(folder.file("Base.vlt"), {});
    EXPECT_EQ(namesOf(folder), Names{});
}

TEST(BaseAuthorNames, YoDiffersFromItsSmallLetterWhileOtherCyrillicFoldsTogether) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"),
                         {byAuthor(1, cp("ёлка")), byAuthor(2, cp("андрей")),
                          byAuthor(3, cp("Ёлка")), byAuthor(4, cp("АНДРЕЙ"))});
    EXPECT_EQ(namesOf(folder), (Names{cp("Ёлка"), cp("ёлка"), cp("АНДРЕЙ")}));
}

// Sort everything, then drop each name that folds equal to the one before it.
Names sortAndWalk(Names all) {
    std::sort(all.begin(), all.end(), authorNameLess);
    std::size_t i = 0;
    while (i + 1 < all.size()) {
        if (caseFold(all[i]) == caseFold(all[i + 1])) {
            all.erase(all.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            ++i;
        }
    }
    return all;
}

TEST(BaseAuthorNames, MatchesSortingEveryAuthorAndDroppingRepeats) {
    TempFolder folder;
    const std::string letters = cp("aAbBЁёжЖ ");
    std::mt19937 random(7);
    std::vector<MixRecord> records;
    Names authors;
    for (int i = 0; i < 3000; ++i) {
        std::string name(1 + random() % 4, ' ');
        for (char& c : name) {
            c = letters[random() % letters.size()];
        }
        authors.push_back(name);
        records.push_back(byAuthor(i, name));
    }
    test::writeCatalogue(folder.file("Base.vlt"), records);
    Names names = namesOf(folder);
    EXPECT_EQ(names, sortAndWalk(authors));
    EXPECT_GT(names.size(), 100u);
}

TEST(BaseAuthorNames, AMissingCatalogueIsAFileError) {
    TempFolder folder;
    try {
        namesOf(folder);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: " + folder.file("Base.vlt"));
    }
}

TEST(ChosenListText, EachNameEndsWithASemicolonAndNoNamesSaySo) {
    EXPECT_EQ(chosenListText({"a", cp("Вася")}), cp("a;Вася;"));
    EXPECT_EQ(chosenListText({""}), ";");
    EXPECT_EQ(chosenListText({}), cp("Список пуст!"));
}

}  // namespace
}  // namespace kelvarn
