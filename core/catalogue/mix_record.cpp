// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/mix_record.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kelvarn {
namespace {

static_assert(std::endian::native == std::endian::little, "Base.vlt is little-endian");

constexpr std::size_t kStyleAt = 140;
constexpr std::size_t kHasFileAt = 141;
constexpr std::size_t kSizeAt = 144;
constexpr std::size_t kDateAt = 152;
constexpr std::size_t kTimeAt = 160;
constexpr std::size_t kRatingAt = 168;
constexpr std::size_t kRecycleAt = 169;
constexpr std::size_t kFavouriteAt = 170;

template <typename T>
T readScalar(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T>
void writeScalar(unsigned char* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

}  // namespace

std::string_view readShortString(const unsigned char* field, std::size_t capacity) {
    std::size_t length = std::min<std::size_t>(field[0], capacity);
    return std::string_view(reinterpret_cast<const char*>(field + 1), length);
}

void writeShortString(unsigned char* field, std::size_t capacity, std::string_view text) {
    text = cutToCapacity(text, capacity);
    field[0] = static_cast<unsigned char>(text.size());
    std::memcpy(field + 1, text.data(), text.size());
}

std::string_view cutToCapacity(std::string_view text, std::size_t capacity) {
    return text.substr(0, std::min(text.size(), capacity));
}

MixRecordView decodeRecordView(const unsigned char* bytes) {
    MixRecordView r;
    r.Id = readShortString(bytes + kIdField, kIdCapacity);
    r.Author = readShortString(bytes + kAuthorField, kAuthorCapacity);
    r.Title = readShortString(bytes + kTitleField, kTitleCapacity);
    r.Email = readShortString(bytes + kEmailField, kEmailCapacity);
    r.Style = bytes[kStyleAt];
    r.HasFile = bytes[kHasFileAt];
    r.Size = readScalar<std::int32_t>(bytes + kSizeAt);
    r.AddedDate = readScalar<double>(bytes + kDateAt);
    r.AddedTime = readScalar<double>(bytes + kTimeAt);
    r.Rating = bytes[kRatingAt];
    r.InRecycleBin = bytes[kRecycleAt];
    r.IsFavourite = bytes[kFavouriteAt];
    return r;
}

MixRecord decodeRecord(const unsigned char* bytes) {
    return decodeRecordView(bytes).as<std::string>();
}

void encodeRecordInto(const MixRecord& r, unsigned char* bytes) {
    writeShortString(bytes + kIdField, kIdCapacity, r.Id);
    writeShortString(bytes + kAuthorField, kAuthorCapacity, r.Author);
    writeShortString(bytes + kTitleField, kTitleCapacity, r.Title);
    writeShortString(bytes + kEmailField, kEmailCapacity, r.Email);
    bytes[kStyleAt] = r.Style;
    bytes[kHasFileAt] = r.HasFile;
    writeScalar(bytes + kSizeAt, r.Size);
    writeScalar(bytes + kDateAt, r.AddedDate);
    writeScalar(bytes + kTimeAt, r.AddedTime);
    bytes[kRatingAt] = r.Rating;
    bytes[kRecycleAt] = r.InRecycleBin;
    bytes[kFavouriteAt] = r.IsFavourite;
}

RecordBytes encodeRecord(const MixRecord& record) {
    RecordBytes bytes{};
    encodeRecordInto(record, bytes.data());
    return bytes;
}

}  // namespace kelvarn
