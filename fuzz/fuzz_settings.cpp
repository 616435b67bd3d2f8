// SPDX-License-Identifier: GPL-3.0-or-later
// Setting.ini as a user may have edited it: every key reads without failing, the style check
// list survives being written back, and a write changes its own key and no other.
#include <array>
#include <cstdint>
#include <string>
#include <variant>

#include "core/import/selection.h"
#include "core/storage/settings.h"
#include "fuzz/fuzz_support.h"

namespace kelvarn {
namespace {

using fuzz::check;
using AnyKey = std::variant<BoolKey, IntKey, TextKey>;

const std::array<AnyKey, 16> kKeys{keys::News,       keys::Zip,
                                   keys::Day,        keys::LoadDelay,
                                   keys::Site,       keys::MaxRequestsPerSecond,
                                   keys::Backups,    keys::CheckListStyle,
                                   keys::AddCheck,   keys::CheckStyle,
                                   keys::CheckAvtor, keys::Path,
                                   keys::FullNames,  keys::Resume,
                                   keys::Retries,    keys::CheckArchives};

// Every key's value as text, so that values of any type compare.
std::array<std::string, kKeys.size()> readEvery(const Settings& settings) {
    std::array<std::string, kKeys.size()> values;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        values[i] = std::visit(
            [&](const auto& key) {
                auto value = settings.read(key);
                if constexpr (std::is_same_v<decltype(value), std::string>) {
                    return value;
                } else {
                    return std::to_string(value);
                }
            },
            kKeys[i]);
    }
    return values;
}

// Writes the key, then reads it back and every other key as before.
template <typename Key, typename Value>
void writeOne(Settings& settings, const Key& key, const Value& value) {
    auto before = readEvery(settings);
    settings.write(key, value);
    check(settings.read(key) == value, "a written value reads back");
    auto after = readEvery(settings);
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        bool same = std::visit(
            [&](const auto& other) { return other.section == key.section && other.key == key.key; },
            kKeys[i]);
        check(same || after[i] == before[i], "a write changes no other key");
    }
}

}  // namespace
}  // namespace kelvarn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarn;
    static const fuzz::FuzzFolder folder("settings");
    folder.write("Setting.ini", data, size);
    Settings settings(folder.path());

    StyleChecks checks{};
    decodeCheckListStyle(settings.read(keys::CheckListStyle), checks);
    StyleChecks again{};
    decodeCheckListStyle(encodeCheckListStyle(checks), again);
    check(again == checks, "the style check list survives being written back");

    writeOne(settings, keys::Path, std::string("/fuzz/ZIP/"));
    writeOne(settings, keys::Day, -7);
    writeOne(settings, keys::Zip, false);
    return 0;
}
