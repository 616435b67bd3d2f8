// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/project_writer.h"

namespace kelvarn::test {

std::string littleEndianBytes(std::uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) {
        bytes += static_cast<char>(value >> (8 * i));
    }
    return bytes;
}

ProjectWriter& ProjectWriter::put(unsigned char id, std::uint32_t value, int width) {
    events_ += static_cast<char>(id);
    events_ += littleEndianBytes(value, width);
    return *this;
}

ProjectWriter& ProjectWriter::data(unsigned char id, std::string_view bytes) {
    events_ += static_cast<char>(id);
    std::size_t length = bytes.size();
    do {
        events_ += static_cast<char>((length & 0x7F) | (length > 0x7F ? 0x80 : 0));
        length >>= 7;
    } while (length != 0);
    events_ += bytes;
    return *this;
}

ProjectWriter& ProjectWriter::text(unsigned char id, std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += littleEndianBytes(unit, 2);
    }
    return data(id, bytes + std::string(2, '\0'));
}

ProjectWriter& ProjectWriter::wrapped(std::string_view name, std::string_view vendor) {
    text(201, u"Fruity Wrapper");
    std::string state = littleEndianBytes(10, 4);
    for (const auto& [id, value] : {std::pair{54, name}, std::pair{56, vendor}}) {
        state += littleEndianBytes(static_cast<std::uint64_t>(id), 4) +
                 littleEndianBytes(value.size(), 8) + std::string(value);
    }
    return data(213, state);
}

std::string ProjectWriter::bytes() const {
    // Format 0 (a project), 9 channels (which readers do not trust), 96 pulses a quarter.
    return "FLhd" + littleEndianBytes(6, 4) + littleEndianBytes(0, 2) + littleEndianBytes(9, 2) +
           littleEndianBytes(96, 2) + "FLdt" + littleEndianBytes(events_.size(), 4) + events_;
}

std::string sampleProject() {
    ProjectWriter w;
    w.oldText(199, "20.8.4.2576").dword(156, 174'000).word(66, 90).byte(17, 7).byte(18, 8);
    w.text(194, u"Ночной\tdrive").text(207, u"Саша").text(206, u"Drum & Bass");
    w.text(195, u"mixed 𝄞 at home");
    w.word(65, 1).word(65, 2).word(65, 1).word(65, 300);
    w.word(64, 0).text(201, u"Sytrus").text(203, u"Lead");
    w.word(64, 1).wrapped("Glasswing", "Northlight Audio");
    w.word(64, 2).text(201, u"Sytrus").text(203, u"Pad");
    w.text(201, u"Echo Box").text(203, u"my limiter").text(204, u"Drums");
    return w.bytes();
}

}  // namespace kelvarn::test
