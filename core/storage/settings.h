// SPDX-License-Identifier: GPL-3.0-or-later
// Every key of Setting.ini with its section, spelling and default, and typed access to them.
#pragma once

#include <string>
#include <string_view>

#include "core/storage/data_files.h"
#include "core/storage/profile_file.h"

namespace kelvarn {

struct BoolKey {
    std::string_view section;
    std::string_view key;
    bool defaultValue;
};

struct IntKey {
    std::string_view section;
    std::string_view key;
    int defaultValue;
};

struct TextKey {
    std::string_view section;
    std::string_view key;
    std::string_view defaultValue;
};

namespace keys {
inline constexpr BoolKey News{"Main", "news", true};
inline constexpr BoolKey Zip{"Main", "Zip", true};
// Read as "Day", written as "day": one key, since names ignore case.
inline constexpr IntKey Day{"Main", "day", 0};
// Milliseconds the window's catalogue load pauses after each record; 0 loads at full speed.
inline constexpr IntKey LoadDelay{"Main", "LoadDelay", 10};
inline constexpr TextKey Site{"Main", "Site", "http://www.zentrova.ru"};
// Size queries and transfers started per second at most, to one site; 0 sets no limit.
inline constexpr IntKey MaxRequestsPerSecond{"Main", "MaxRequestsPerSecond", 0};
// How many days of Base.vlt, index and List.dnl copies backup/ keeps (0 takes none), and how
// many copies of the files restores replaced (at least one).
inline constexpr IntKey Backups{"Main", "Backups", 7};
// `kelvarn-cli sync --notify` tells the desktop what it did; 0 keeps it quiet.
inline constexpr BoolKey Notify{"Main", "Notify", true};
inline constexpr TextKey CheckListStyle{"GetLoopsList", "CheckListStyle", "text"};
inline constexpr BoolKey AddCheck{"GetLoopsList", "AddCheck", true};
inline constexpr BoolKey CheckStyle{"GetLoopsList", "Check_Style", true};
inline constexpr BoolKey CheckAvtor{"GetLoopsList", "Check_Avtor", true};
inline constexpr TextKey Path{"Downloader", "Path", ""};
inline constexpr BoolKey FullNames{"Downloader", "FullNames", false};
// Transfers write into NAME.zip.part and a later run asks only for the rest.
inline constexpr BoolKey Resume{"Downloader", "Resume", true};
// How often a size query or transfer that failed on the network or the server is tried again.
inline constexpr IntKey Retries{"Downloader", "Retries", 3};
// A finished file must be a ZIP archive whose entries all read back whole.
inline constexpr BoolKey CheckArchives{"Downloader", "CheckArchives", true};
// What a file transfer receives per second at most, in KB; 0 sets no cap.
inline constexpr IntKey MaxKBPerSecond{"Downloader", "MaxKBPerSecond", 0};
}  // namespace keys

// A window's settings object on the program folder's Setting.ini. Nothing is cached: two of them
// on one file never disagree.
class Settings {
public:
    explicit Settings(const std::string& programFolder)
        : folder_(programFolder), file_(programFolder + kSettingsFileName) {}

    const std::string& path() const { return file_.path(); }

    bool read(const BoolKey& k) const { return file_.readBool(k.section, k.key, k.defaultValue); }
    int read(const IntKey& k) const { return file_.readInteger(k.section, k.key, k.defaultValue); }
    std::string read(const TextKey& k) const {
        return file_.readString(k.section, k.key, k.defaultValue);
    }

    void write(const BoolKey& k, bool value) { file_.writeBool(k.section, k.key, value); }
    void write(const IntKey& k, int value) { file_.writeInteger(k.section, k.key, value); }
    void write(const TextKey& k, std::string_view value) {
        file_.writeString(k.section, k.key, value);
    }

    // The download folder: the stored path, or the program folder's "ZIP/" when it is missing
    // or empty.
    std::string downloadPath() const;

    // The site base address without a trailing "/".
    std::string siteAddress() const;

private:
    std::string folder_;
    ProfileFile file_;
};

}  // namespace kelvarn
