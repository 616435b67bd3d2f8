// SPDX-License-Identifier: GPL-3.0-or-later
// The ID list `index`: one line per record ever appended, holding its site ID. It is the only
// test of whether an ID is already in the catalogue, and it is only ever appended to.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/storage/file_lock.h"

namespace kelvarn {

// The IDs of an ID list's bytes: every line's first six characters, in order.
std::vector<std::string> idsInText(std::string_view text);

class IdList {
public:
    // The file in `folder` (with its trailing "/"), spelled "index" or "Index", whichever exists.
    static IdList inFolder(const std::string& folder);
    explicit IdList(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Every line's first six characters, in file order (repeats kept). CR, LF and NUL each end a
    // line; a line with nothing on it holds no ID and is skipped.
    std::vector<std::string> readIds() const;

    // Adds the ID as a new CR LF line. A last line left without its line end gets one first, so
    // two IDs never run together.
    void append(std::string_view id);

private:
    std::string path_;
};

// Appends IDs one after another while holding the list locked.
class IdListAppender {
public:
    explicit IdListAppender(const std::string& path);
    void append(std::string_view id);

    // The IDs as `IdList::readIds` gives them.
    std::vector<std::string> ids() const;
    // The same, after dropping a last line left without its line end when its text starts one of
    // `pending`: the line of an ID whose writing was cut short, which would read as an ID of its
    // own.
    std::vector<std::string> idsWithoutCutLine(const std::unordered_set<std::string>& pending);
    void sync() { file_.sync(); }

    // The length the list has, and the list cut back to such a length: a save that failed
    // half-way takes back its lines.
    std::uint64_t end() const { return end_; }
    void truncateTo(std::uint64_t end);

private:
    LockedFile file_;
    std::uint64_t end_;
};

}  // namespace kelvarn
