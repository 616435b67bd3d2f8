// SPDX-License-Identifier: GPL-3.0-or-later
// Setting.ini, read and written one value at a time the way profile strings behave: section and
// key names match without regard to case, the first of duplicate sections or keys is the one that
// counts, every read and every write goes to the file, and a write changes only its own line.
#pragma once

#include <string>
#include <string_view>

namespace kelvarn {

class ProfileFile {
public:
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // A missing file, section or key yields the default. Reads never fail.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Decimal (or $/0x hexadecimal) integers; a value that is no number yields the default.
    int readInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // Stored as an integer: non-zero is true.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Creates the file on the first write; a refused write throws IoError "Unable to write to"
    // with the full path, leaving the file as it was.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);

private:
    std::string path_;
};

}  // namespace kelvarn
