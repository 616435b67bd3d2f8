// SPDX-License-Identifier: GPL-3.0-or-later
// A catalogue of forty records to search, and the numbers a search finds in it.
#pragma once

#include <gtest/gtest.h>

#include "core/storage/cp1251.h"
#include "core/tools/search.h"
#include "tests/support/test_support.h"

namespace kelvarn::test {

// The record numbers in the grid's rows, or {} for the placeholder row alone.
inline std::vector<std::string> numbersFound(const RecordGrid& grid) {
    std::vector<std::string> numbers;
    for (int r = 1; r < grid.rowCount(); ++r) {
        if (grid.isRecordRow(r)) {
            numbers.emplace_back(grid.cell(kColNumber, r));
        }
    }
    return numbers;
}

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<MixRecord> records(40);
        for (std::size_t i = 0; i < records.size(); ++i) {
            records[i] = test::sampleRecord(std::to_string(1000 + i));
            records[i].Author = "Nobody";
            records[i].Title = "Nothing";
            records[i].Email = "none@x";
        }
        auto set = [&](int number, const char* author, const char* title, const char* email) {
            MixRecord& r = records[static_cast<std::size_t>(number - 1)];
            r.Author = author;
            r.Title = title;
            r.Email = email;
        };
        set(5, "DJ MiXer", "Night", "DJ@Mail.ru");
        set(9, "Sasha", "Summer mIx", "");
        set(40, "ВАСЯ", "Ёлка", "vasya@mail.ru");
        records[8].InRecycleBin = 1;  // every record takes part, wherever it is shown
        records[39].IsFavourite = 1;
        records[1].Id = "123";
        records[2].Id = "1234";
        records[3].Id = "0123";
        for (MixRecord& r : records) {
            r.Author = utf8ToCp1251(r.Author).value();
            r.Title = utf8ToCp1251(r.Title).value();
        }
        test::writeCatalogue(folder.file("Base.vlt"), records);
    }

    std::vector<std::string> find(SearchMode mode, const std::string& utf8) {
        return numbersFound(searchCatalogue(CatalogueFile(folder.file("Base.vlt")),
                                            RecordSearch(mode, utf8ToCp1251(utf8).value())));
    }

    TempFolder folder;
};

}  // namespace kelvarn::test
