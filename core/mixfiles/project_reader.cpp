// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/mixfiles/project_reader.h"

#include <array>
#include <bitset>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_set>
#include <utility>

#include "core/mixfiles/project_text.h"

namespace kelvarn {
namespace {

// The events read; every other one is stepped over.
enum EventId : unsigned char {
    kBeats = 17,
    kBeatUnit = 18,
    kNewChannel = 64,
    kPatternNumber = 65,
    kOldTempo = 66,
    kOldTempoFine = 93,
    kTempo = 156,
    kTitle = 194,
    kComments = 195,
    kVersion = 199,
    kPluginName = 201,
    kChannelName = 203,
    kInsertName = 204,
    kGenre = 206,
    kAuthor = 207,
    kPluginState = 213,
};

// Ids from here on carry a value of 1, 2 or 4 bytes, then a length and that many bytes.
constexpr unsigned kWordEvents = 64;
constexpr unsigned kDwordEvents = 128;
constexpr unsigned kDataEvents = 192;
// A length prefix of more bytes than this is damage, not a length.
constexpr int kLengthBytes = 5;

constexpr std::uint32_t kSlowestTempo = 10'000;
constexpr std::uint32_t kFastestTempo = 999'000;
// Texts are UTF-16 from this major version on; before it, the single-byte code page.
constexpr int kFirstUnicodeVersion = 12;

// Records of a wrapped plugin's state that name it.
constexpr std::uint32_t kWrappedName = 54;
constexpr std::uint32_t kWrappedVendor = 56;
constexpr std::string_view kWrapper = "Fruity Wrapper";

std::uint32_t littleEndian(const unsigned char* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return value;
}

struct Event {
    unsigned char id = 0;
    std::uint32_t value = 0;  // of an id below kDataEvents
    std::string_view data;    // of the others
};

// The events of the data chunk, one at a time, every read checked against the chunk's end.
class Events {
public:
    Events(const unsigned char* at, const unsigned char* end) : at_(at), end_(end) {}

    // The next event; false at the end, or at damage (then damaged() says so).
    bool next(Event& event) {
        if (at_ == end_) {
            return false;
        }
        event.id = *at_++;
        const int width = event.id < kWordEvents    ? 1
                          : event.id < kDwordEvents ? 2
                          : event.id < kDataEvents  ? 4
                                                    : 0;
        if (width > 0) {
            if (end_ - at_ < width) {
                return stop();
            }
            event.value = littleEndian(at_, width);
            at_ += width;
            return true;
        }
        std::uint64_t length = 0;
        for (int i = 0;; ++i) {
            if (i == kLengthBytes || at_ == end_) {
                return stop();
            }
            const unsigned char part = *at_++;
            length |= std::uint64_t{part & 0x7Fu} << (7 * i);
            if ((part & 0x80) == 0) {
                break;
            }
        }
        if (length > static_cast<std::uint64_t>(end_ - at_)) {
            return stop();
        }
        event.data = {reinterpret_cast<const char*>(at_), static_cast<std::size_t>(length)};
        at_ += length;
        return true;
    }

    bool damaged() const { return damaged_; }

private:
    bool stop() {
        damaged_ = true;
        return false;
    }

    const unsigned char* at_;
    const unsigned char* end_;
    bool damaged_ = false;
};

// The facts gathered in the file's order: a channel's events follow its kNewChannel, a plugin's
// state follows its name, an effect slot's plugin follows its channel's own.
class ProjectState {
public:
    void take(const Event& e) {
        switch (e.id) {
            case kBeats:
                setOnce(facts_.beats, e.value);
                break;
            case kBeatUnit:
                setOnce(facts_.beatUnit, e.value);
                break;
            case kNewChannel:
                beginChannel();
                break;
            case kPatternNumber:
                if (!patternNumbers_.test(e.value)) {
                    patternNumbers_.set(e.value);
                    ++facts_.patterns;
                }
                break;
            case kOldTempo:
                setOnce(oldTempo_, e.value);
                break;
            case kOldTempoFine:
                if (!oldFine_ && e.value < 1000) {
                    oldFine_ = e.value;
                }
                break;
            case kTempo:
                if (facts_.tempoMilli == 0 && inTempoRange(e.value)) {
                    facts_.tempoMilli = e.value;
                }
                break;
            default:
                takeText(e);
                break;
        }
    }

    ProjectFacts finish(bool damaged) {
        endChannel();
        if (facts_.tempoMilli == 0 && inTempoRange(oldTempo_ * 1000 + oldFine_.value_or(0))) {
            facts_.tempoMilli = oldTempo_ * 1000 + oldFine_.value_or(0);
        }
        if (facts_.beats == 0 || facts_.beatUnit == 0) {
            facts_.beats = facts_.beatUnit = 0;
        }
        facts_.damaged = damaged;
        return std::move(facts_);
    }

private:
    enum class Owner { None, Channel, Slot };
    struct Plugin {
        ProjectPlugin plugin;
        bool channels = false;  // the current channel's own
        bool stated = false;    // its state has been read
    };

    static bool inTempoRange(std::uint32_t milli) {
        return milli >= kSlowestTempo && milli <= kFastestTempo;
    }
    template <typename Field>
    static void setOnce(Field& field, std::uint32_t value) {
        if (field == 0) {
            field = static_cast<Field>(value);
        }
    }
    static void setOnce(std::string& field, std::string text) {
        if (field.empty()) {
            field = std::move(text);
        }
    }

    void takeText(const Event& e) {
        switch (e.id) {
            case kVersion:
                if (facts_.version.empty()) {
                    facts_.version = fromCp1252(e.data);
                    int major = 0;
                    std::from_chars(facts_.version.data(),
                                    facts_.version.data() + facts_.version.size(), major);
                    unicode_ = major >= kFirstUnicodeVersion;
                }
                break;
            case kTitle:
                setOnce(facts_.title, text(e.data));
                break;
            case kComments:
                setOnce(facts_.comments, text(e.data));
                break;
            case kGenre:
                setOnce(facts_.genre, text(e.data));
                break;
            case kAuthor:
                setOnce(facts_.author, text(e.data));
                break;
            case kPluginName:
                pluginNamed(text(e.data));
                break;
            case kChannelName:
                if (owner_ == Owner::Channel) {
                    setOnce(channelName_, text(e.data));
                }
                break;
            case kPluginState:
                pluginState(e.data);
                break;
            case kInsertName:
                endPlugin();
                owner_ = Owner::None;
                if (std::string name = text(e.data);
                    !name.empty() && facts_.inserts.size() < kListLimit) {
                    facts_.inserts.push_back(std::move(name));
                }
                break;
            default:
                break;
        }
    }

    // UTF-16 from the version that wrote it so, and in an older file whose bytes say so (an even
    // length ending in a NUL of two bytes); the code page otherwise.
    std::string text(std::string_view bytes) const {
        const bool even = bytes.size() % 2 == 0;
        const bool wideNul =
            bytes.size() >= 2 && bytes[bytes.size() - 1] == '\0' && bytes[bytes.size() - 2] == '\0';
        return even && (unicode_ || wideNul) ? fromUtf16(bytes) : fromCp1252(bytes);
    }

    void beginChannel() {
        endChannel();
        ++facts_.channels;
        channelOpen_ = true;
        owner_ = Owner::Channel;
        channelHasPlugin_ = false;
        channelName_.clear();
        channelPlugin_.clear();
    }

    void endChannel() {
        endPlugin();
        if (channelOpen_ && facts_.channelNames.size() < kListLimit) {
            facts_.channelNames.push_back(channelName_.empty() ? channelPlugin_ : channelName_);
        }
        channelOpen_ = false;
    }

    // The first plugin after a channel begins is its own; any after that sits in an effect slot.
    void pluginNamed(std::string name) {
        endPlugin();
        const bool channels = owner_ == Owner::Channel && !channelHasPlugin_;
        if (channels) {
            channelHasPlugin_ = true;
        } else {
            owner_ = Owner::Slot;
        }
        plugin_ = Plugin{{std::move(name), {}}, channels};
    }

    // A wrapped plugin's state holds its own name and maker: a number, then records of a number,
    // a length of eight bytes and the bytes.
    void pluginState(std::string_view data) {
        if (!plugin_ || plugin_->stated || plugin_->plugin.name != kWrapper) {
            return;
        }
        plugin_->stated = true;
        constexpr std::size_t kRecordHead = 12;
        const auto* at = reinterpret_cast<const unsigned char*>(data.data());
        std::size_t offset = 4;
        while (data.size() >= offset + kRecordHead) {
            const std::uint32_t id = littleEndian(at + offset, 4);
            const std::uint64_t length = littleEndian(at + offset + 4, 4) |
                                         std::uint64_t{littleEndian(at + offset + 8, 4)} << 32;
            offset += kRecordHead;
            if (length > data.size() - offset) {
                return;
            }
            const std::string_view value = data.substr(offset, static_cast<std::size_t>(length));
            if (id == kWrappedName && !value.empty()) {
                plugin_->plugin.name = fromUtf8(value);
            } else if (id == kWrappedVendor) {
                plugin_->plugin.vendor = fromUtf8(value);
            }
            offset += static_cast<std::size_t>(length);
        }
    }

    void endPlugin() {
        if (!plugin_) {
            return;
        }
        Plugin ended = std::move(*plugin_);
        plugin_.reset();
        if (ended.channels) {
            channelPlugin_ = ended.plugin.name;
        }
        if (ended.plugin.name.empty() || facts_.plugins.size() >= kListLimit) {
            return;
        }
        if (seenPlugins_.insert(ended.plugin.name + '\0' + ended.plugin.vendor).second) {
            facts_.plugins.push_back(std::move(ended.plugin));
        }
    }

    ProjectFacts facts_;
    bool unicode_ = false;
    Owner owner_ = Owner::None;
    bool channelOpen_ = false;
    bool channelHasPlugin_ = false;
    std::string channelName_;
    std::string channelPlugin_;
    std::optional<Plugin> plugin_;
    std::unordered_set<std::string> seenPlugins_;
    std::bitset<65536> patternNumbers_;
    std::uint32_t oldTempo_ = 0;
    std::optional<std::uint32_t> oldFine_;
};

constexpr std::size_t kChunkHead = 8;
constexpr std::uint32_t kHeaderLength = 6;

}  // namespace

bool looksLikeProject(std::string_view bytes) {
    return bytes.substr(0, 4) == "FLhd";
}

ProjectFacts readProject(std::string_view bytes) {
    // Some 8 KB of pattern numbers: on the heap rather than a worker's stack.
    auto state = std::make_unique<ProjectState>();
    const auto* file = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    if (size < kChunkHead || !looksLikeProject(bytes)) {
        return state->finish(true);
    }
    const std::uint32_t headerLength = littleEndian(file + 4, 4);
    if (headerLength < kHeaderLength || headerLength > size - kChunkHead) {
        return state->finish(true);
    }
    const std::size_t data = kChunkHead + headerLength;
    if (size - data < kChunkHead || std::memcmp(file + data, "FLdt", 4) != 0) {
        return state->finish(true);
    }
    const std::uint32_t dataLength = littleEndian(file + data + 4, 4);
    const std::size_t start = data + kChunkHead;
    const bool cut = dataLength > size - start;
    Events events(file + start, cut ? file + size : file + start + dataLength);
    Event event;
    while (events.next(event)) {
        state->take(event);
    }
    return state->finish(cut || events.damaged());
}

std::string bpmText(std::uint32_t tempoMilli) {
    std::string text = std::to_string(tempoMilli / 1000);
    std::uint32_t fraction = tempoMilli % 1000;
    if (fraction == 0) {
        return text;
    }
    std::string digits = std::to_string(1000 + fraction).substr(1);
    digits.erase(digits.find_last_not_of('0') + 1);
    return text + "." + digits;
}

std::optional<std::uint32_t> bpmFromText(std::string_view text) {
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view decimals = text.substr(std::min(point + 1, text.size()));
    auto digitsOnly = [](std::string_view part, std::size_t longest) {
        return !part.empty() && part.size() <= longest &&
               part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digitsOnly(whole, 3) || (point < text.size() && !digitsOnly(decimals, 3))) {
        return std::nullopt;
    }
    std::uint32_t milli = 0;
    for (char digit : whole) {
        milli = milli * 10 + static_cast<std::uint32_t>(digit - '0');
    }
    for (std::size_t i = 0; i < 3; ++i) {
        milli =
            milli * 10 + (i < decimals.size() ? static_cast<std::uint32_t>(decimals[i] - '0') : 0);
    }
    return milli;
}

std::vector<std::string> factLines(const ProjectFacts& facts) {
    std::vector<std::string> lines;
    auto line = [&lines](std::string_view key, std::string_view value) {
        lines.push_back(std::string(key) + '\t' + std::string(value));
    };
    auto textLine = [&line](std::string_view key, std::string_view value) {
        if (!value.empty()) {
            line(key, value);
        }
    };
    textLine("version", facts.version);
    if (facts.tempoMilli != 0) {
        line("tempo", bpmText(facts.tempoMilli));
    }
    if (facts.beats != 0) {
        line("signature", std::to_string(facts.beats) + "/" + std::to_string(facts.beatUnit));
    }
    textLine("title", facts.title);
    textLine("author", facts.author);
    textLine("genre", facts.genre);
    textLine("comments", facts.comments);
    line("channels", std::to_string(facts.channels));
    for (const std::string& name : facts.channelNames) {
        line("channel", name);
    }
    for (const ProjectPlugin& plugin : facts.plugins) {
        line("plugin", plugin.name + '\t' + plugin.vendor);
    }
    line("patterns", std::to_string(facts.patterns));
    for (const std::string& name : facts.inserts) {
        line("insert", name);
    }
    if (facts.damaged) {
        line("damaged", "yes");
    }
    return lines;
}

}  // namespace kelvarn
