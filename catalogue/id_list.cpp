#include "catalogue/id_list.h"

#include <fcntl.h>

#include "catalogue/mix_record.h"

namespace kelvarn {
namespace {

template <typename Visit>
void forEachLine(const std::string& text, Visit visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        visit(cutToCapacity(line, kIdCapacity));
        start = end + 1;
    }
}

std::string readWhole(const std::string& path) {
    LockedFile file(path, O_RDONLY, LockedFile::Lock::Shared);
    return file.readAll();
}

}  // namespace

IdList IdList::inFolder(const std::string& folder) {
    std::string lower = folder + "index";
    std::string upper = folder + "Index";
    return IdList(!fileExists(lower) && fileExists(upper) ? upper : lower);
}

std::vector<std::string> IdList::readIds() const {
    std::vector<std::string> ids;
    forEachLine(readWhole(path_), [&](std::string_view id) { ids.emplace_back(id); });
    return ids;
}

void IdList::append(std::string_view id) {
    IdListAppender(path_).append(id);
}

IdListAppender::IdListAppender(const std::string& path)
    : file_(path, O_RDWR, LockedFile::Lock::Exclusive), end_(file_.size()) {}

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

}  // namespace kelvarn
