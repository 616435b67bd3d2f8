// SPDX-License-Identifier: GPL-3.0-or-later
// Project files made by the tests: events written one by one, in the order given, texts in
// either encoding, a wrapped plugin's state laid out as the format has it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvarn::test {

class ProjectWriter {
public:
    ProjectWriter& byte(unsigned char id, std::uint8_t value) { return put(id, value, 1); }
    ProjectWriter& word(unsigned char id, std::uint16_t value) { return put(id, value, 2); }
    ProjectWriter& dword(unsigned char id, std::uint32_t value) { return put(id, value, 4); }
    // An event of id 192 and up: its length, 7 bits a byte, then the bytes.
    ProjectWriter& data(unsigned char id, std::string_view bytes);
    // UTF-16LE with its NUL, as versions from 12 on write texts.
    ProjectWriter& text(unsigned char id, std::u16string_view text);
    // Single-byte code page text with its NUL, as older versions write them.
    ProjectWriter& oldText(unsigned char id, std::string_view bytes) {
        return data(id, std::string(bytes) + '\0');
    }
    // Bytes as they stand, for damage.
    ProjectWriter& raw(std::string_view bytes) {
        events_ += bytes;
        return *this;
    }
    // A wrapped plugin: its default name, then its state naming it and its maker.
    ProjectWriter& wrapped(std::string_view name, std::string_view vendor);

    // The header chunk, then the data chunk of the events.
    std::string bytes() const;

private:
    ProjectWriter& put(unsigned char id, std::uint32_t value, int width);

    std::string events_;
};

// A project as version 20 saves one: patterns first, then three channels, each with its plugin
// (a native one twice, a wrapped one), then the mixer's effect slots and inserts.
std::string sampleProject();

// `value` as `width` little-endian bytes.
std::string littleEndianBytes(std::uint64_t value, int width);

}  // namespace kelvarn::test
