// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <thread>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;
using test::sampleRecord;
using test::TempFolder;
using test::writeBytes;

TEST(CatalogueFile, EmptyFileIsAnEmptyCatalogueAndTheFirstAppendIsNumberOne) {
    TempFolder folder;
    writeBytes(folder.file("Base.vlt"), "");
    CatalogueFile file(folder.file("Base.vlt"));
    EXPECT_EQ(file.count(), 0u);
    EXPECT_EQ(file.append(sampleRecord("000001")), 1u);
    EXPECT_EQ(file.append(sampleRecord("000002")), 2u);
    EXPECT_EQ(file.count(), 2u);
    EXPECT_EQ(file.read(2).Id, "000002");

    RecordBytes second = encodeRecord(sampleRecord("000002"));
    std::string bytes = readBytes(file.path());
    ASSERT_EQ(bytes.size(), 2 * kRecordSize);
    EXPECT_EQ(bytes.substr(kRecordSize), std::string(second.begin(), second.end()));
}

TEST(CatalogueFile, TrailingFragmentIsNoRecordAndTheNextAppendWritesOverIt) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {sampleRecord("000001")});
    std::string bytes = readBytes(folder.file("Base.vlt"));
    writeBytes(folder.file("Base.vlt"), bytes + std::string(100, 'x'));

    CatalogueFile file(folder.file("Base.vlt"));
    EXPECT_EQ(file.count(), 1u);
    EXPECT_THROW(file.read(2), IoError);
    EXPECT_EQ(file.append(sampleRecord("000002")), 2u);
    EXPECT_EQ(readBytes(file.path()).size(), 2 * kRecordSize);
    EXPECT_EQ(file.read(2).Id, "000002");
}

TEST(CatalogueFile, ReadingPastTheEndNamesTheFileAndTheError) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {sampleRecord("000001")});
    CatalogueFile file(folder.file("Base.vlt"));
    try {
        file.read(5);
        FAIL() << "read past the end";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), kReadBeyondEnd);
        EXPECT_EQ(e.message(), "Read beyond end of file");
        EXPECT_EQ(e.path(), file.path());
        EXPECT_EQ(std::string(e.what()), "Read beyond end of file: " + file.path());
    }
    EXPECT_THROW(file.read(0), IoError);
}

TEST(CatalogueFile, MissingFileIsFileNotFoundAndIsNeverCreated) {
    TempFolder folder;
    CatalogueFile file(folder.file("Base.vlt"));
    for (auto attempt : {0, 1, 2}) {
        try {
            if (attempt == 0) {
                file.count();
            } else if (attempt == 1) {
                file.append(sampleRecord("1"));
            } else {
                file.update(1, [](MixRecord&) {});
            }
            FAIL() << "no error for a missing file";
        } catch (const IoError& e) {
            EXPECT_EQ(e.code(), kFileNotFound);
            EXPECT_EQ(std::string(e.what()), "File not found: " + file.path());
        }
    }
    EXPECT_FALSE(fileExists(file.path()));
}

TEST(CatalogueFile, UpdateRewritesOnlyItsOwnRecordAndKeepsUnusedBytes) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"),
                         {sampleRecord("000001"), sampleRecord("000002"), sampleRecord("000003")});
    std::string before = readBytes(folder.file("Base.vlt"));
    before[kRecordSize + 142] = '\x5A';  // padding of record 2
    before[kRecordSize + 175] = '\x5B';
    writeBytes(folder.file("Base.vlt"), before);

    CatalogueFile file(folder.file("Base.vlt"));
    file.update(2, [](MixRecord& r) {
        r.InRecycleBin = 1;
        r.Title.assign(1, 'T');
    });
    std::string after = readBytes(file.path());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, kRecordSize), before.substr(0, kRecordSize));
    EXPECT_EQ(after.substr(2 * kRecordSize), before.substr(2 * kRecordSize));
    EXPECT_EQ(after[kRecordSize + 142], '\x5A');
    EXPECT_EQ(after[kRecordSize + 175], '\x5B');
    EXPECT_EQ(after[kRecordSize + 169], 1);
    EXPECT_EQ(after[kRecordSize + 58], 1);
    // The old title's tail stays behind the new length byte.
    EXPECT_EQ(after.substr(kRecordSize + 59, 12), "Title 000002");
    EXPECT_EQ(file.read(2).Title, "T");
}

TEST(CatalogueFile, TenAppendsAndOneRecycledRecordKeepTenNumberedRecords) {
    TempFolder folder;
    writeBytes(folder.file("Base.vlt"), "");
    CatalogueFile file(folder.file("Base.vlt"));
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(file.append(sampleRecord(std::to_string(i))), static_cast<std::uint32_t>(i));
    }
    file.update(4, [](MixRecord& r) { r.InRecycleBin = 1; });
    EXPECT_EQ(file.count(), 10u);
    std::vector<std::uint32_t> numbers;
    file.forEach(nullptr, [&](std::uint32_t n, const MixRecordView& r) {
        numbers.push_back(n);
        EXPECT_EQ(r.Id, std::to_string(n));
        EXPECT_EQ(r.InRecycleBin != 0, n == 4);
    });
    EXPECT_EQ(numbers.size(), 10u);
    EXPECT_EQ(numbers.back(), 10u);
}

TEST(CatalogueFile, ForEachVisitsEveryRecordAcrossReadBlocks) {
    TempFolder folder;
    std::vector<MixRecord> records;
    for (int i = 1; i <= 9000; ++i) {
        records.push_back(sampleRecord(std::to_string(i)));
    }
    test::writeCatalogue(folder.file("Base.vlt"), records);
    CatalogueFile file(folder.file("Base.vlt"));
    std::uint32_t announced = 0, seen = 0;
    file.forEach([&](std::uint32_t count) { announced = count; },
                 [&](std::uint32_t n, const MixRecordView& r) {
                     ++seen;
                     ASSERT_EQ(r.Id, std::to_string(n));
                 });
    EXPECT_EQ(announced, 9000u);
    EXPECT_EQ(seen, 9000u);
}

// Threads of one process and separate processes append at once: every record lands whole.
TEST(CatalogueFile, ConcurrentAppendsNeverInterleave) {
    TempFolder folder;
    writeBytes(folder.file("Base.vlt"), "");
    const std::string path = folder.file("Base.vlt");
    constexpr int kEach = 300;
    auto appendMany = [&](char tag) {
        CatalogueFile file(path);
        for (int i = 0; i < kEach; ++i) {
            // In two steps: g++ 12 at -O3 warns falsely (-Wrestrict) on a char string plus another.
            std::string id(1, tag);
            id += std::to_string(i);
            MixRecord r = sampleRecord(id);
            r.Author = std::string(50, tag);
            file.append(r);
        }
    };
    pid_t child = fork();
    if (child == 0) {
        appendMany('C');
        _exit(0);
    }
    std::thread a(appendMany, 'A');
    std::thread b(appendMany, 'B');
    a.join();
    b.join();
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(status, 0);

    CatalogueFile file(path);
    ASSERT_EQ(readBytes(path).size(), std::size_t{3} * kEach * kRecordSize);
    int perTag[3] = {};
    file.forEach(nullptr, [&](std::uint32_t, const MixRecordView& r) {
        ASSERT_EQ(r.Author, std::string(50, r.Id[0]));
        ++perTag[r.Id[0] - 'A'];
    });
    EXPECT_EQ(perTag[0], kEach);
    EXPECT_EQ(perTag[1], kEach);
    EXPECT_EQ(perTag[2], kEach);
}

TEST(CatalogueFile, AFileLongerThanRecordNumbersReachIsRefusedNotWrappedAround) {
    TempFolder folder;
    const std::string path = folder.file("Base.vlt");
    writeBytes(path, "");
    // Sparse: 2^32 + 587 records take no room on the disk.
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>((std::uint64_t{1} << 32) + 587) *
                                           static_cast<off_t>(kRecordSize)),
              0);
    CatalogueFile catalogue(path);
    try {
        catalogue.count();
        FAIL() << "counted";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "More records than the catalogue can number: " + path);
    }
    EXPECT_THROW(catalogue.append(sampleRecord("1")), IoError);
    writeBytes(folder.file("index"), "");
    IdList::inFolder(folder.path()).append("1");  // no copy of the catalogue is attempted
    EXPECT_FALSE(std::filesystem::exists(folder.file("backup/")));
    test::CommandResult stats = test::runCli({"--data-dir", folder.path(), "stats"});
    EXPECT_EQ(stats.status, 3);
    EXPECT_NE(stats.err.find("More records than the catalogue can number"), std::string::npos);
    EXPECT_EQ(stats.out, "");
}

TEST(IdList, FindsTheFileUnderEitherSpelling) {
    TempFolder lower, upper, neither;
    writeBytes(lower.file("index"), "");
    writeBytes(upper.file("Index"), "");
    EXPECT_EQ(IdList::inFolder(lower.path()).path(), lower.file("index"));
    EXPECT_EQ(IdList::inFolder(upper.path()).path(), upper.file("Index"));
    EXPECT_EQ(IdList::inFolder(neither.path()).path(), neither.file("index"));
}

TEST(IdList, ReadersTakeTheFirstSixCharactersOfEachLine) {
    TempFolder folder;
    writeBytes(folder.file("index"), "123456\r\n1234567890\r\n42\r\n123456\nlast\rx\r\n");
    IdList list = IdList::inFolder(folder.path());
    EXPECT_EQ(list.readIds(),
              (std::vector<std::string>{"123456", "123456", "42", "123456", "last", "x"}));
}

TEST(IdList, AppendAddsACrLfLineAndNeverRunsIntoAnUnfinishedLine) {
    TempFolder folder;
    writeBytes(folder.file("Index"), "111111\r\n222222");
    IdList list = IdList::inFolder(folder.path());
    list.append("333333");
    list.append("4444444");  // typed by hand: kept whole in the file
    EXPECT_EQ(readBytes(folder.file("Index")), "111111\r\n222222\r\n333333\r\n4444444\r\n");
    EXPECT_EQ(list.readIds().back(), "444444");
}

TEST(IdList, MissingListIsAnErrorAndIsNotCreated) {
    TempFolder folder;
    IdList list = IdList::inFolder(folder.path());
    EXPECT_THROW(list.append("1"), IoError);
    EXPECT_THROW(list.readIds(), IoError);
    EXPECT_FALSE(fileExists(folder.file("index")));
}

TEST(IoError, SystemErrorsMapToTheRunTimeTexts) {
    EXPECT_EQ(IoError::fromErrno("f", ENOENT).message(), "File not found");
    EXPECT_EQ(IoError::fromErrno("f", EACCES).message(), "File access denied");
    EXPECT_EQ(IoError::fromErrno("f", ENOSPC).message(), "Disk full");
    EXPECT_EQ(IoError::fromErrno("f", EMFILE).message(), "Too many open files");
    EXPECT_EQ(IoError::fromErrno("f", ENAMETOOLONG).message(), "Invalid filename");
    EXPECT_EQ(IoError("f", 106).message(), "Invalid numeric input");
    EXPECT_EQ(IoError("f", 42).message(), "I/O error 42");
    IoError eio = IoError::fromErrno("/x/Base.vlt", EIO);
    EXPECT_EQ(eio.code(), EIO);
    EXPECT_NE(eio.message(), "File access denied");
    EXPECT_NE(std::string(eio.what()).find("/x/Base.vlt"), std::string::npos);
}

}  // namespace
}  // namespace kelvarn
