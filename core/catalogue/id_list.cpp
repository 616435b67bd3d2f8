// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/id_list.h"

#include <fcntl.h>

#include <algorithm>

#include "core/catalogue/mix_record.h"
#include "core/storage/backups.h"
#include "core/storage/data_files.h"

namespace kelvarn {

IdList IdList::inFolder(const std::string& folder) {
    std::string lower = folder + kIdListFileName;
    std::string upper = folder + kIdListOldFileName;
    return IdList(!fileExists(lower) && fileExists(upper) ? upper : lower);
}

std::vector<std::string> idsInText(std::string_view text) {
    // The list is only ever appended to, and a crash or another program may have left NUL bytes
    // in it: they end a line like CR and LF do, so the IDs after them still count.
    std::vector<std::string> ids;
    ids.reserve(text.size() / 8);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end =
            std::min(text.find_first_of(std::string_view("\r\n\0", 3), start), text.size());
        if (end > start) {
            ids.emplace_back(cutToCapacity(text.substr(start, end - start), kIdCapacity));
        }
        start = end + 1;
    }
    return ids;
}

std::vector<std::string> IdList::readIds() const {
    return idsInText(MappedFile(path_).bytes());
}

void IdList::append(std::string_view id) {
    IdListAppender(path_).append(id);
}

IdListAppender::IdListAppender(const std::string& path)
    : file_(backedUpBeforeWriting(path), O_RDWR, LockedFile::Lock::Exclusive), end_(file_.size()) {}

void IdListAppender::append(std::string_view id) {
    std::string line;
    if (end_ > 0) {
        char last = 0;
        file_.readAt(&last, 1, end_ - 1);
        if (last != '\n') {
            line = "\r\n";
        }
    }
    line.append(id);
    line.append("\r\n");
    file_.writeAt(line.data(), line.size(), end_);
    end_ += line.size();
}

void IdListAppender::truncateTo(std::uint64_t end) {
    file_.truncate(end);
    end_ = end;
}

std::vector<std::string> IdListAppender::ids() const {
    return idsInText(file_.readAll());
}

std::vector<std::string> IdListAppender::idsWithoutCutLine(
    const std::unordered_set<std::string>& pending) {
    std::string text = file_.readAll();
    const std::size_t lastEnd = text.find_last_of(std::string_view("\r\n\0", 3));
    const std::size_t lineStart = lastEnd == std::string::npos ? 0 : lastEnd + 1;
    const std::string_view line = std::string_view(text).substr(lineStart);
    const bool cutShort =
        !line.empty() && std::any_of(pending.begin(), pending.end(), [&](const std::string& id) {
            return std::string_view(id).substr(0, line.size()) == line;
        });
    if (cutShort) {
        end_ = lineStart;
        file_.truncate(end_);
        text.resize(lineStart);
    }
    return idsInText(text);
}

}  // namespace kelvarn
