// SPDX-License-Identifier: GPL-3.0-or-later
// "Добавить" of the manual entry, through the command line as a user types it: what lands in
// Base.vlt, index and List.dnl, and what is refused.
#include <gtest/gtest.h>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/queue_file.h"
#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "core/tools/manual_entry.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;
using test::TempFolder;
using test::writeBytes;

class ManualEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeBytes(folder.file("Base.vlt"), "");
        writeBytes(folder.file("index"), "345\r\n12345678\r\n");
        writeBytes(folder.file("List.dnl"), "");
    }
    test::CommandResult add(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", folder.path(), "add"});
        return test::runCli(args);
    }
    TempFolder folder;
};

TEST_F(ManualEntryTest, AnAddAppendsTheRecordItsIdLineAndItsQueueEntry) {
    test::CommandResult first = add({"--id", "0345", "--title", "Ночь", "--style", "4"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "1\n");
    MixRecord record = CatalogueFile(folder.file("Base.vlt")).read(1);
    EXPECT_EQ(record.Id, "0345");
    EXPECT_EQ(record.Author, "");
    EXPECT_EQ(record.Title, "Ночь"_cp);
    EXPECT_EQ(record.Style, 4);
    EXPECT_EQ(record.HasFile | record.Rating | record.InRecycleBin | record.IsFavourite, 0);
    EXPECT_EQ(record.Size, 0);
    EXPECT_GT(record.AddedDate, 40000);
    EXPECT_EQ(readBytes(folder.file("index")), "345\r\n12345678\r\n0345\r\n");
    EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll(),
              (std::vector<QueueEntry>{{1, "0345", " - " + std::string("Ночь"_cp), 0, 0}}));

    // "Файл" unticks the queue box: the record is marked, nothing is queued.
    test::CommandResult second = add({"--id", "777", "--author", std::string(60, 'a'), "--file"});
    EXPECT_EQ(second.out, "2\n");
    MixRecord filed = CatalogueFile(folder.file("Base.vlt")).read(2);
    EXPECT_EQ(filed.HasFile, 1);
    EXPECT_EQ(filed.Author, std::string(50, 'a'));
    EXPECT_EQ(filed.Style, 14);
    EXPECT_EQ(QueueFile(folder.file("List.dnl")).readAll().size(), 1u);
}

TEST_F(ManualEntryTest, RefusalsWriteNothing) {
    auto refused = [&](std::vector<std::string> args, int status, const std::string& message) {
        test::CommandResult r = add(std::move(args));
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    };
    refused({"--id", "1"}, 1, "Одно из полей названия должно быть заполнено!");
    refused({"--author", "A"}, 1, "Поле ID-номера должно обязательно быть заполнено!");
    refused({"--id", "345", "--author", "A"}, 1, "Запись с номером 345 уже существует!");
    // The ID list compares the first six characters of its lines.
    refused({"--id", "123456", "--author", "A"}, 1, "Запись с номером 123456 уже существует!");
    refused({"--id", "1234567", "--author", "A"}, 2, "at most six digits");
    refused({"--id", "12a", "--author", "A"}, 2, "at most six digits");
    refused({"--id", "9", "--author", "A", "--style", "15"}, 2, "0 to 14");
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), "");
    EXPECT_EQ(readBytes(folder.file("index")), "345\r\n12345678\r\n");

    // A missing queue with the queue box ticked stops the add before anything is written.
    std::remove(folder.file("List.dnl").c_str());
    ManualEntry entry;
    entry.id = "555";
    entry.author = "A";
    EXPECT_THROW(addManualEntry(folder.path(), entry, 46000, 0.5), IoError);
    EXPECT_EQ(readBytes(folder.file("Base.vlt")), "");
    EXPECT_EQ(readBytes(folder.file("index")), "345\r\n12345678\r\n");
}

}  // namespace
}  // namespace kelvarn
