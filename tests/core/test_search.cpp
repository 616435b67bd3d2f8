// SPDX-License-Identifier: GPL-3.0-or-later
// The search over Base.vlt: what each mode finds, in which order, under which numbers.
#include <gtest/gtest.h>

#include <random>

#include "core/storage/cp1251.h"
#include "core/tools/search.h"
#include "tests/support/search_fixture.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::TempFolder;

using test::numbersFound;
using test::SearchTest;

TEST_F(SearchTest, ByNameFindsAuthorOrTitleInAnyCaseButNeverFoldsYo) {
    EXPECT_EQ(find(SearchMode::Name, "mix"), (std::vector<std::string>{"5", "9"}));
    EXPECT_EQ(find(SearchMode::Name, "вася"), std::vector<std::string>{"40"});
    EXPECT_EQ(find(SearchMode::Name, "ёлка"), std::vector<std::string>{});
    EXPECT_EQ(find(SearchMode::Name, "Ёлка"), std::vector<std::string>{"40"});
    // Longer than the author and the title, though it begins with the whole author.
    EXPECT_EQ(find(SearchMode::Name, "Sasha and more"), std::vector<std::string>{});
    EXPECT_EQ(find(SearchMode::Name, ""), std::vector<std::string>{});
    EXPECT_EQ(find(SearchMode::Name, "o").size(), 37u);
}

TEST_F(SearchTest, ByEmailTheWholeAddressAndByIdTheWholeId) {
    EXPECT_EQ(find(SearchMode::Email, "dj@mail.RU"), std::vector<std::string>{"5"});
    EXPECT_EQ(find(SearchMode::Email, "dj@mail"), std::vector<std::string>{});
    EXPECT_EQ(find(SearchMode::Email, ""), std::vector<std::string>{"9"});
    EXPECT_EQ(find(SearchMode::Id, "123"), std::vector<std::string>{"2"});

    RecordGrid none = searchCatalogue(CatalogueFile(folder.file("Base.vlt")),
                                      RecordSearch(SearchMode::Id, "999999"));
    EXPECT_EQ(none.rowCount(), 2);  // the headers and one empty row
    EXPECT_EQ(none.cell(kColAuthor, 0), "Автор"_cp);

    std::uint32_t lastRead = 0, total = 0;
    searchCatalogue(CatalogueFile(folder.file("Base.vlt")), RecordSearch(SearchMode::Id, "1"),
                    [&](std::uint32_t read, std::uint32_t count) {
                        lastRead = read;
                        total = count;
                    });
    EXPECT_EQ(lastRead, 40u);
    EXPECT_EQ(total, 40u);
}

// The rules said as plainly as they go, over records read one by one: what a search must find.
bool plainMatch(SearchMode mode, const std::string& text, const MixRecord& r) {
    switch (mode) {
        case SearchMode::Id:
            return r.Id == text;
        case SearchMode::Email:
            return caseFold(r.Email) == caseFold(text);
        case SearchMode::Name:
            return !text.empty() && (caseFold(r.Author).find(caseFold(text)) != std::string::npos ||
                                     caseFold(r.Title).find(caseFold(text)) != std::string::npos);
    }
    return false;
}

template <typename Cells>
std::string printedRow(const Cells& cells) {
    std::string line;
    for (std::string_view cell : cells) {
        line += (line.empty() ? "" : "\t") + cp1251ToUtf8Printable(cell);
    }
    return line + "\n";
}

// Random texts of letters that fold and letters that do not, Cyrillic and Latin, some fields full
// and some with a length byte past their capacity, searched for by the command and the window.
TEST(SearchScan, FindsWhatThePlainRulesFindAndPrintsTheRowsTheGridHeld) {
    const std::vector<std::string> pieces = {"a",
                                             "A",
                                             "x",
                                             "X",
                                             std::string("мя"_cp),
                                             std::string("МЯ"_cp),
                                             std::string("ё"_cp),
                                             std::string("Ё"_cp),
                                             std::string("я"_cp),
                                             " ",
                                             "ab"};
    std::mt19937 random(7);
    auto text = [&](std::size_t capacity) {
        std::string t;
        for (std::size_t n = random() % 40; n > 0; --n) {
            t += pieces[random() % pieces.size()];
        }
        return t.substr(0, random() % 4 == 0 ? capacity : std::min(t.size(), capacity));
    };
    std::string bytes;
    for (int n = 1; n <= 700; ++n) {
        // Some IDs full, some of those with a length byte past the capacity.
        MixRecord r = test::sampleRecord(n % 7 == 0 ? std::to_string(123400 + n % 21)
                                                    : std::to_string(n % 50));
        r.Author = text(kAuthorCapacity);
        r.Title = text(kTitleCapacity);
        r.Email = text(kEmailCapacity);
        RecordBytes b = encodeRecord(r);
        if (n % 9 == 0) {
            b[kAuthorField] = 0xFF;
            b[kTitleField] = kTitleCapacity + 1;
            b[kIdField] = n % 7 == 0 ? 0xFF : b[kIdField];
        }
        bytes.append(reinterpret_cast<const char*>(b.data()), b.size());
    }
    TempFolder folder;
    test::writeBytes(folder.file("Base.vlt"), bytes);
    const CatalogueFile file(folder.file("Base.vlt"));
    std::vector<MixRecord> records;
    for (std::uint32_t n = 1; n <= file.count(); ++n) {
        records.push_back(file.read(n));
    }
    // An author as long as its field, without the bytes of a length past it (a NUL ends an
    // argument).
    const std::string& full =
        std::find_if(records.begin(), records.end(), [](const MixRecord& r) {
            return r.Author.size() == kAuthorCapacity && r.Author.find('\0') == std::string::npos;
        })->Author;
    const std::vector<std::pair<SearchMode, std::string>> searches = {
        {SearchMode::Name, ""},
        {SearchMode::Name, "a"},
        {SearchMode::Name, "X"},
        {SearchMode::Name, "xA"},
        {SearchMode::Name, std::string("Ё"_cp)},
        {SearchMode::Name, std::string("мЯ"_cp)},
        {SearchMode::Name, std::string("Я a"_cp)},
        {SearchMode::Name, "aaa"},
        {SearchMode::Name, caseFold(full)},
        {SearchMode::Name, full.substr(0, 17)},
        {SearchMode::Name, full.substr(full.size() - 17)},
        {SearchMode::Name, full + "a"},
        {SearchMode::Name, records[1].Title},
        {SearchMode::Email, ""},
        {SearchMode::Email, records[2].Email},
        {SearchMode::Id, ""},
        {SearchMode::Id, "7"},
        {SearchMode::Id, "123400"},
        {SearchMode::Id, "12340"},
        {SearchMode::Id, "1234000"},
    };
    const char* modeWord[] = {"id", "name", "email"};
    for (const auto& [mode, needle] : searches) {
        std::string expected = printedRow(GridHeaders());
        std::vector<std::string> numbers;
        for (std::uint32_t n = 1; n <= records.size(); ++n) {
            if (plainMatch(mode, needle, records[n - 1])) {
                RecordGrid row;
                RecordToRow(row, 1, n, records[n - 1]);
                std::array<std::string_view, kGridColumns> cells;
                for (int c = 0; c < kGridColumns; ++c) {
                    cells[static_cast<std::size_t>(c)] = row.cell(c, 1);
                }
                expected += printedRow(cells);
                numbers.push_back(std::to_string(n));
            }
        }
        const std::string utf8 = cp1251ToUtf8Printable(needle);
        EXPECT_EQ(numbersFound(searchCatalogue(file, RecordSearch(mode, needle))), numbers)
            << modeWord[static_cast<int>(mode)] << " " << utf8;
        test::CommandResult r = test::runCli(
            {"--data-dir", folder.path(), "search", modeWord[static_cast<int>(mode)], utf8});
        EXPECT_EQ(r.out, expected) << modeWord[static_cast<int>(mode)] << " " << utf8;
        test::CommandResult count = test::runCli({"--data-dir", folder.path(), "search", "--count",
                                                  modeWord[static_cast<int>(mode)], utf8});
        EXPECT_EQ(count.out, std::to_string(numbers.size()) + "\n")
            << modeWord[static_cast<int>(mode)] << " " << utf8;
    }
}

}  // namespace
}  // namespace kelvarn
