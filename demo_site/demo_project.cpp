// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo_site/demo_project.h"

#include <array>
#include <string_view>
#include <utility>

#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

constexpr std::array<std::u16string_view, 5> kNativePlugins = {u"Sytrus", u"Kestrel", u"Driftbox",
                                                               u"Plucker", u"Boombox"};
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kWrappedPlugins = {{
    {"Lumen Pad", "Северный Свет"},
    {"Ember Keys", "Tallow & Co"},
    {"Vapor Verb", "Quiet Room"},
}};
constexpr std::array<std::u16string_view, 5> kChannelNames = {u"Kick", u"Bass", u"Lead", u"Pad",
                                                              u"Вокал"};
// An event no reader looks for: what fills the file to its size.
constexpr unsigned char kFiller = 230;

// Events in the order written; values little-endian, data after its length, 7 bits a byte.
class Events {
public:
    void value(unsigned char id, std::uint32_t value, int bytes) {
        bytes_ += static_cast<char>(id);
        append(value, bytes);
    }
    void data(unsigned char id, std::string_view bytes) {
        data(id, bytes, lengthBytes(bytes.size()));
    }
    // With the length in `lengthBytes` bytes, the high groups 0 where it needs fewer.
    void data(unsigned char id, std::string_view bytes, int lengthBytes) {
        bytes_ += static_cast<char>(id);
        std::size_t length = bytes.size();
        for (int i = 0; i < lengthBytes; ++i, length >>= 7) {
            bytes_ += static_cast<char>((length & 0x7F) | (i + 1 < lengthBytes ? 0x80 : 0));
        }
        bytes_ += bytes;
    }
    void text(unsigned char id, std::u16string_view text) {
        std::string bytes;
        for (char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        data(id, bytes + std::string(2, '\0'));
    }
    void append(std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            bytes_ += static_cast<char>(value >> (8 * i));
        }
    }
    std::string& bytes() { return bytes_; }

    static int lengthBytes(std::size_t length) {
        int bytes = 1;
        for (; length >= 0x80; length >>= 7) {
            ++bytes;
        }
        return bytes;
    }

private:
    std::string bytes_;
};

std::u16string fromStored(std::string_view cp1251) {
    std::u16string text;
    for (char c : cp1251) {
        text += static_cast<char16_t>(cp1251ToUnicode(static_cast<unsigned char>(c)));
    }
    return text;
}

void plugin(Events& events, SplitMix64& random) {
    if (random.percent(70)) {
        events.text(201, kNativePlugins[random.below(kNativePlugins.size())]);
        return;
    }
    const auto& [name, vendor] = kWrappedPlugins[random.below(kWrappedPlugins.size())];
    events.text(201, u"Fruity Wrapper");
    Events state;
    state.append(10, 4);
    for (const auto& [id, text] : {std::pair{54, name}, std::pair{56, vendor}}) {
        state.append(static_cast<std::uint64_t>(id), 4);
        state.append(text.size(), 8);
        state.bytes() += text;
    }
    events.data(213, state.bytes());
}

Events projectEvents(const DemoMix& mix, SplitMix64& random) {
    Events events;
    events.data(199, std::string("20.8.4.2576") + '\0');
    const std::uint32_t bpm = 80 + random.below(100u);
    events.value(156, bpm * 1000 + (random.percent(20) ? 500 : 0), 4);
    events.value(17, random.percent(80) ? 4 : 3, 1);
    events.value(18, 4, 1);
    events.text(194, fromStored(mix.title));
    events.text(207, fromStored(mix.author));
    for (std::uint32_t pattern = 1, patterns = 1 + random.below(12u); pattern <= patterns;
         ++pattern) {
        events.value(65, pattern, 2);
    }
    for (std::uint32_t channel = 0, channels = 2 + random.below(7u); channel < channels;
         ++channel) {
        events.value(64, channel, 2);
        plugin(events, random);
        if (random.percent(50)) {
            events.text(203, kChannelNames[random.below(kChannelNames.size())]);
        }
    }
    events.text(204, u"Master bus");
    return events;
}

// The header chunk, then the data chunk of the events.
std::string projectFile(Events& events) {
    Events file;
    file.bytes() = "FLhd";
    file.append(6, 4);
    file.append(0, 2);
    file.append(0, 2);
    file.append(96, 2);
    file.bytes() += "FLdt";
    file.append(events.bytes().size(), 4);
    return file.bytes() + events.bytes();
}

}  // namespace

std::string makeDemoProject(const DemoMix& mix, SplitMix64& random, std::size_t length) {
    Events events = projectEvents(mix, random);
    constexpr std::size_t kChunks = 22;  // the header chunk and the data chunk's head
    const std::size_t unpadded = kChunks + events.bytes().size();
    // The filler's id and length take 2 to 6 bytes: the fewest that can say its length.
    for (int lengthBytes = 1; lengthBytes <= 5; ++lengthBytes) {
        const std::size_t head = 1 + static_cast<std::size_t>(lengthBytes);
        if (unpadded + head > length || length - unpadded - head >= std::size_t{1}
                                                                        << (7 * lengthBytes)) {
            continue;
        }
        std::string filler(length - unpadded - head, '\0');
        for (std::size_t at = 0; at < filler.size(); at += 8) {
            const std::uint64_t bits = random.next();
            for (std::size_t k = 0; k < 8 && at + k < filler.size(); ++k) {
                filler[at + k] = static_cast<char>(bits >> (8 * k));
            }
        }
        events.data(kFiller, filler, lengthBytes);
        return projectFile(events);
    }
    return {};
}

std::string makeBusyProject(SplitMix64& random, std::size_t length) {
    Events events;
    events.data(199, std::string("20.8.4.2576") + '\0');
    for (std::uint32_t channel = 0; events.bytes().size() < length; ++channel) {
        events.value(64, channel & 0xFFFF, 2);
        plugin(events, random);
        events.text(203, kChannelNames[random.below(kChannelNames.size())]);
        for (int i = 0; i < 8; ++i) {
            const auto id = static_cast<unsigned char>(random.below(192u));
            events.value(id, static_cast<std::uint32_t>(random.next()),
                         id < 64    ? 1
                         : id < 128 ? 2
                                    : 4);
        }
        events.value(65, random.below(1000u), 2);
        std::string state(random.below(512u), '\0');
        for (char& c : state) {
            c = static_cast<char>(random.next());
        }
        events.data(kFiller, state);
    }
    return projectFile(events);
}

}  // namespace kelvarn
