// SPDX-License-Identifier: GPL-3.0-or-later
// The 176-byte catalogue record, byte for byte as Base.vlt stores it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/storage/data_files.h"

namespace kelvarn {

using RecordBytes = std::array<unsigned char, kRecordSize>;

// Capacities of the short strings (a length byte, then at most this many characters).
inline constexpr std::size_t kIdCapacity = 6;
inline constexpr std::size_t kAuthorCapacity = 50;
inline constexpr std::size_t kTitleCapacity = 50;
inline constexpr std::size_t kEmailCapacity = 30;

// Where each short string stands in the record: its length byte, then its characters.
inline constexpr std::size_t kIdField = 0;
inline constexpr std::size_t kAuthorField = 7;
inline constexpr std::size_t kTitleField = 58;
inline constexpr std::size_t kEmailField = 109;

// The record's fields, with texts held as `Text`. Text fields are Windows-1251 bytes, never more
// than their capacity.
template <typename Text>
struct BasicMixRecord {
    Text Id;
    Text Author;
    Text Title;
    Text Email;
    std::uint8_t Style = 0;
    std::uint8_t HasFile = 0;
    std::int32_t Size = 0;
    double AddedDate = 0;
    double AddedTime = 0;
    std::uint8_t Rating = 0;
    std::uint8_t InRecycleBin = 0;
    std::uint8_t IsFavourite = 0;

    bool operator==(const BasicMixRecord&) const = default;

    // The same record with its texts held the other way.
    template <typename Other>
    BasicMixRecord<Other> as() const {
        return {Other(Id), Other(Author), Other(Title), Other(Email), Style,        HasFile,
                Size,      AddedDate,     AddedTime,    Rating,       InRecycleBin, IsFavourite};
    }
};

// A record that owns its texts.
using MixRecord = BasicMixRecord<std::string>;
// A record read in place: the texts point into the bytes it was decoded from, so a pass over
// the whole file allocates nothing per record.
using MixRecordView = BasicMixRecord<std::string_view>;

MixRecordView decodeRecordView(const unsigned char* bytes);

// Reads every field within its capacity: a length byte above the capacity reads as the capacity,
// and the bytes after the text are ignored.
MixRecord decodeRecord(const unsigned char* bytes);

// Writes the record's fields over `bytes`. Texts longer than their field are cut to its capacity;
// the bytes past a text and the padding keep what they held, as an update in place requires.
void encodeRecordInto(const MixRecord& record, unsigned char* bytes);

// The record on a zeroed buffer, as an append writes it.
RecordBytes encodeRecord(const MixRecord& record);

// The text as a field of `capacity` stores it.
std::string_view cutToCapacity(std::string_view text, std::size_t capacity);

// Short strings, the text fields of every data file: a length byte, then that many characters.
// A length byte above the capacity reads as the capacity; writing cuts the text to it and leaves
// the bytes after the text alone.
std::string_view readShortString(const unsigned char* field, std::size_t capacity);
void writeShortString(unsigned char* field, std::size_t capacity, std::string_view text);

}  // namespace kelvarn
