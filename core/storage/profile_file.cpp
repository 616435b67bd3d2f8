// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storage/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>

#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view s) {
    auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// One line of the file: where it starts, its text without the line end, and where the next begins.
struct Line {
    std::size_t begin;
    std::string_view text;
    std::size_t next;
};

template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line =
            text.substr(begin, (end == std::string_view::npos ? text.size() : end) - begin);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!visit(Line{begin, line, next})) {
            return;
        }
        begin = next;
    }
}

// "[name]" gives the section's name; anything else gives nothing.
bool sectionName(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') {
        return false;
    }
    auto close = line.find(']');
    if (close == std::string_view::npos) {
        return false;
    }
    name = trim(line.substr(1, close - 1));
    return true;
}

bool keyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    auto trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';') {
        return false;
    }
    auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return true;
}

// Where a key stands, where its section ends, and whether the section was found at all.
struct Place {
    bool sectionFound = false;
    bool keyFound = false;
    std::size_t keyBegin = 0;  // start of the key's line
    std::size_t keyEnd = 0;    // end of its text, before the line end
    std::size_t insertAt = 0;  // after the section's last non-blank line
    std::string_view value;
};

Place locate(std::string_view text, std::string_view section, std::string_view key) {
    Place place;
    bool inside = false;
    forEachLine(text, [&](const Line& line) {
        std::string_view name;
        if (sectionName(line.text, name)) {
            if (inside) {
                return false;  // the first section of that name is the one that counts
            }
            inside = sameName(name, section);
            if (inside) {
                place.sectionFound = true;
                place.insertAt = line.next;
            }
            return true;
        }
        if (!inside) {
            return true;
        }
        if (!trim(line.text).empty()) {
            place.insertAt = line.next;
        }
        std::string_view k, v;
        if (keyLine(line.text, k, v) && sameName(k, key)) {
            place.keyFound = true;
            place.keyBegin = line.begin;
            place.keyEnd = line.begin + line.text.size();
            place.value = v;
            return false;
        }
        return true;
    });
    return place;
}

std::string unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string readText(const std::string& path) {
    try {
        LockedFile file(path, O_RDONLY, LockedFile::Lock::Shared);
        return file.readAll();
    } catch (const IoError&) {
        return {};  // a missing or unreadable file reads as defaults
    }
}

bool parseInteger(std::string_view text, int& value) {
    text = trim(text);
    bool negative = !text.empty() && text.front() == '-';
    if (negative || (!text.empty() && text.front() == '+')) {
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 1 && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // Digits only from here: a second sign makes the value no number.
    unsigned long long digits = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), digits, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        digits > (negative ? 2147483648ull : 2147483647ull)) {
        return false;
    }
    const long long parsed = static_cast<long long>(digits);
    value = static_cast<int>(negative ? -parsed : parsed);
    return true;
}

// The value of section/key in the text, if the key is there.
bool findProfileValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string& value) {
    Place place = locate(text, section, key);
    if (!place.keyFound) {
        return false;
    }
    value = unquote(place.value);
    return true;
}

// Ends the last line of `out` before a line is added after it. A lone CR at the very end already
// counts as a line end when read, so it only needs its LF: another CR would join the line's value.
void endLastLine(std::string& out) {
    if (!out.empty() && out.back() != '\n') {
        out.append(out.back() == '\r' ? "\n" : "\r\n");
    }
}

// The text after setting section/key to value; everything else is kept byte for byte.
std::string withProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value) {
    Place place = locate(text, section, key);
    std::string out;
    if (place.keyFound) {
        // Keep the key as it is spelled in the file; only the value changes.
        std::string_view line = text.substr(place.keyBegin, place.keyEnd - place.keyBegin);
        out.append(text.substr(0, place.keyBegin));
        out.append(trim(line.substr(0, line.find('='))));
        out.append("=").append(value);
        out.append(text.substr(place.keyEnd));
        return out;
    }
    std::string entry = std::string(key) + "=" + std::string(value) + "\r\n";
    if (place.sectionFound) {
        out.append(text.substr(0, place.insertAt));
        endLastLine(out);
        out.append(entry);
        out.append(text.substr(place.insertAt));
        return out;
    }
    out.append(text);
    endLastLine(out);
    out.append("[").append(section).append("]\r\n").append(entry);
    return out;
}

}  // namespace

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    std::string value;
    if (!findProfileValue(readText(path_), section, key, value)) {
        return std::string(defaultValue);
    }
    return value;
}

int ProfileFile::readInteger(std::string_view section, std::string_view key,
                             int defaultValue) const {
    std::string text;
    int value = defaultValue;
    if (!findProfileValue(readText(path_), section, key, text) || !parseInteger(text, value)) {
        return defaultValue;
    }
    return value;
}

bool ProfileFile::readBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    try {
        // Opening with O_CREAT both creates the file on the first write and gives the lock a
        // file to hold while we read, change and replace it.
        LockedFile file(path_, O_RDONLY | O_CREAT, LockedFile::Lock::Exclusive);
        struct stat st {};
        if (fstat(file.fd(), &st) == 0 && (st.st_mode & 0222) == 0) {
            throw IoError::fromErrno(path_, EACCES);  // a read-only file is refused, root or not
        }
        std::string text = file.readAll();
        // Every writer holds the lock we hold: a temporary beside the file is a killed one's.
        removeAbandonedReplacements(path_);
        replaceFileContents(path_, withProfileValue(text, section, key, value));
    } catch (const IoError&) {
        throw IoError::unableToWrite(path_);
    }
}

void ProfileFile::writeInteger(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void ProfileFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

}  // namespace kelvarn
