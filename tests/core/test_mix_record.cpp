// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include "core/catalogue/mix_record.h"
#include "core/catalogue/queue_file.h"
#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

// A record laid out by hand from the byte table, independent of the encoder.
RecordBytes goldenBytes() {
    RecordBytes b{};
    auto put = [&](std::size_t at, std::string_view text) {
        b[at] = static_cast<unsigned char>(text.size());
        std::memcpy(&b[at + 1], text.data(), text.size());
    };
    put(0, "123456");
    put(7, "DJ \xC2\xE0\xF1\xFF");  // "DJ Вася"
    put(58, "Night Drive");
    put(109, "dj@mail.ru");
    b[140] = 4;
    b[141] = 1;
    const unsigned char size[4] = {0x39, 0x30, 0x00, 0x00};  // 12345
    std::memcpy(&b[144], size, 4);
    // 45000.0 and 0.75 as little-endian IEEE-754 doubles
    const unsigned char date[8] = {0x00, 0x00, 0x00, 0x00, 0x00, 0xF9, 0xE5, 0x40};
    const unsigned char time[8] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE8, 0x3F};
    std::memcpy(&b[152], date, 8);
    std::memcpy(&b[160], time, 8);
    b[168] = 7;
    b[169] = 0;
    b[170] = 1;
    return b;
}

MixRecord goldenRecord() {
    MixRecord r;
    r.Id = "123456";
    r.Author = "DJ Вася"_cp;
    r.Title = "Night Drive";
    r.Email = "dj@mail.ru";
    r.Style = 4;
    r.HasFile = 1;
    r.Size = 12345;
    r.AddedDate = 45000.0;
    r.AddedTime = 0.75;
    r.Rating = 7;
    r.IsFavourite = 1;
    return r;
}

TEST(MixRecord, EncodesByteForByteAsTheFileStoresIt) {
    EXPECT_EQ(encodeRecord(goldenRecord()), goldenBytes());
}

TEST(MixRecord, DecodesTheHandWrittenRecord) {
    RecordBytes bytes = goldenBytes();
    EXPECT_EQ(decodeRecord(bytes.data()), goldenRecord());
}

TEST(QueueEntry, EncodesByteForByteAsListDnlStoresItAndDecodesBack) {
    // Laid out by hand: number, ID, track, size, the taken-off byte, zero padding.
    QueueEntryBytes golden{};
    const unsigned char number[4] = {0x2A, 0x01, 0x00, 0x00};  // 298
    std::memcpy(&golden[0], number, 4);
    golden[4] = 6;
    std::memcpy(&golden[5], "123456", 6);
    const std::string track = "DJ \xC2\xE0\xF1\xFF - Night Drive";
    golden[11] = static_cast<unsigned char>(track.size());
    std::memcpy(&golden[12], track.data(), track.size());
    const unsigned char size[4] = {0xFF, 0xFF, 0xFF, 0x7F};  // the largest size
    std::memcpy(&golden[112], size, 4);
    golden[116] = 1;

    QueueEntry entry{298, "123456", trackText("DJ Вася"_cp, "Night Drive"), 2147483647, 1};
    EXPECT_EQ(encodeQueueEntry(entry), golden);
    EXPECT_EQ(decodeQueueEntry(golden.data()), entry);
}

TEST(MixRecord, NegativeSizeAndExtremeValuesSurviveARoundTrip) {
    MixRecord r = goldenRecord();
    r.Size = -1;
    r.AddedDate = -693593.0;
    r.AddedTime = 0.999988;
    r.Style = 255;
    r.HasFile = 2;
    r.Rating = 11;
    r.InRecycleBin = 3;
    RecordBytes bytes = encodeRecord(r);
    EXPECT_EQ(decodeRecord(bytes.data()), r);
    EXPECT_EQ(bytes[144], 0xFF);
    EXPECT_EQ(bytes[147], 0xFF);
}

TEST(MixRecord, LongTextsAreCutToTheirCapacity) {
    MixRecord r;
    r.Id = "12345678";
    r.Title = std::string(60, 'T');
    r.Author = std::string(51, 'A');
    r.Email = std::string(35, 'e');
    RecordBytes bytes = encodeRecord(r);
    EXPECT_EQ(bytes[0], 6);
    EXPECT_EQ(bytes[7], 50);
    EXPECT_EQ(bytes[58], 50);
    EXPECT_EQ(bytes[109], 30);
    // Cutting never spills into the next field.
    EXPECT_EQ(bytes[140], 0);
    MixRecord back = decodeRecord(bytes.data());
    EXPECT_EQ(back.Id, "123456");
    EXPECT_EQ(back.Title, std::string(50, 'T'));
    EXPECT_EQ(back.Email, std::string(30, 'e'));
}

TEST(MixRecord, LengthByteAboveCapacityReadsAsTheCapacity) {
    RecordBytes bytes = goldenBytes();
    bytes[0] = 200;     // Id, capacity 6
    bytes[109] = 0xFF;  // Email, capacity 30
    MixRecord r = decodeRecord(bytes.data());
    EXPECT_EQ(r.Id.size(), 6u);
    EXPECT_EQ(r.Id, std::string(reinterpret_cast<const char*>(&bytes[1]), 6));
    EXPECT_EQ(r.Email.size(), 30u);
    EXPECT_EQ(r.Email.substr(0, 10), "dj@mail.ru");
}

TEST(MixRecord, LeftoversAfterATextAreIgnoredAndKeptByAnUpdate) {
    RecordBytes bytes = goldenBytes();
    // An earlier, longer title left its tail behind the current one.
    bytes[58] = 5;
    MixRecord r = decodeRecord(bytes.data());
    EXPECT_EQ(r.Title, "Night");

    bytes[142] = 0xAA;  // padding
    bytes[175] = 0xBB;
    r.Title = "Day";
    encodeRecordInto(r, bytes.data());
    EXPECT_EQ(bytes[58], 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[59]), 11), "Dayht Drive");
    EXPECT_EQ(bytes[142], 0xAA);
    EXPECT_EQ(bytes[175], 0xBB);
}

TEST(MixRecord, RandomBytesDecodeWithinEveryCapacity) {
    std::uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round) {
        RecordBytes bytes;
        for (auto& b : bytes) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<unsigned char>(state >> 24);
        }
        MixRecord r = decodeRecord(bytes.data());
        ASSERT_LE(r.Id.size(), kIdCapacity);
        ASSERT_LE(r.Author.size(), kAuthorCapacity);
        ASSERT_LE(r.Title.size(), kTitleCapacity);
        ASSERT_LE(r.Email.size(), kEmailCapacity);
    }
}

}  // namespace
}  // namespace kelvarn
