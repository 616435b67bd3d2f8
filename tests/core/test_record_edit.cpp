// SPDX-License-Identifier: GPL-3.0-or-later
// The record editor's read-modify-write and its grid rows; the command line's edit.
#include <gtest/gtest.h>

#include "core/catalogue/record_edit.h"
#include "core/storage/cp1251.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;
using test::TempFolder;

TEST(RecordEdit, OnlyTheEditedFieldsChangeInTheFileAndTheGridShowsTheWholeTexts) {
    TempFolder folder;
    MixRecord stored = test::sampleRecord("123456", 3);
    stored.Rating = 11;  // no item of the rating list: left as it is
    test::writeCatalogue(folder.file("Base.vlt"), {test::sampleRecord("1"), stored});
    // Bytes the record does not use, and a change made while the editor was open.
    std::string bytes = readBytes(folder.file("Base.vlt"));
    bytes[kRecordSize + 171] = '\x7F';
    test::writeBytes(folder.file("Base.vlt"), bytes);
    CatalogueFile catalogue(folder.file("Base.vlt"));
    catalogue.update(2, [](MixRecord& r) { r.Size = 999; });

    RecordEdit edit;
    edit.title = std::string(70, 't');
    edit.style = 14;
    edit.hasFile = true;
    // Another mix at that number now (a restore): nothing is written.
    const std::string unedited = readBytes(folder.file("Base.vlt"));
    EXPECT_EQ(saveRecordEdit(catalogue, {2, "654321"}, edit), CheckedWrite::Replaced);
    EXPECT_EQ(saveRecordEdit(catalogue, {3, "123456"}, edit), CheckedWrite::Replaced);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), unedited);
    EXPECT_EQ(saveRecordEdit(catalogue, {2, "123456"}, edit), CheckedWrite::Written);
    MixRecord after = catalogue.read(2);
    MixRecord expected = stored;
    expected.Title = std::string(50, 't');
    expected.Style = 14;
    expected.HasFile = 1;
    expected.Size = 999;
    EXPECT_EQ(after, expected);
    EXPECT_EQ(readBytes(folder.file("Base.vlt"))[kRecordSize + 171], '\x7F');
    EXPECT_EQ(catalogue.read(1), test::sampleRecord("1"));

    RecordGrid grid;
    grid.setRow(1, RecordToRow(2, stored));
    applyRecordEdit(grid, 1, edit);
    applyRecordEdit(grid, 5, edit);  // a row the grid no longer has
    EXPECT_EQ(grid.cell(kColTitle, 1), std::string(70, 't'));
    EXPECT_EQ(grid.cell(kColStyle, 1), "Неизвестный"_cp);
    EXPECT_EQ(grid.cell(kColFile, 1), "Есть"_cp);
    EXPECT_EQ(grid.cell(kColAuthor, 1), "Author 123456");
    EXPECT_EQ(grid.cell(kColRating, 1), "11");
    EXPECT_EQ(grid.rowCount(), 2);

    // The command line: fields not given keep their bytes; bad values are usage errors.
    std::string before = readBytes(folder.file("Base.vlt"));
    test::CommandResult r = test::runCli(
        {"--data-dir", folder.path(), "edit", "1", "--author", "Вася", "--rating", "7"});
    EXPECT_EQ(r.status, 0) << r.err;
    MixRecord one = catalogue.read(1);
    EXPECT_EQ(one.Author, "Вася"_cp);
    EXPECT_EQ(one.Rating, 7);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")).substr(kRecordSize), before.substr(kRecordSize));
    EXPECT_EQ(test::runCli({"--data-dir", folder.path(), "edit", "3", "--rating", "1"}).status, 1);
    EXPECT_EQ(test::runCli({"--data-dir", folder.path(), "edit", "1", "--rating", "11"}).status, 2);
    EXPECT_EQ(test::runCli({"--data-dir", folder.path(), "edit", "1", "--style", "15"}).status, 2);
}

}  // namespace
}  // namespace kelvarn
