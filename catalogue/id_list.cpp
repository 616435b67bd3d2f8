#include "catalogue/id_list.h"

#include <fcntl.h>

#include "catalogue/mix_record.h"
#include "catalogue/text_lines.h"

namespace kelvarn {

IdList IdList::inFolder(const std::string& folder) {
    std::string lower = folder + "index";
    std::string upper = folder + "Index";
    return IdList(!fileExists(lower) && fileExists(upper) ? upper : lower);
}

std::vector<std::string> IdList::readIds() const {
    std::vector<std::string> ids = splitTextLines(MappedFile(path_).bytes());
    for (std::string& id : ids) {
        id.resize(cutToCapacity(id, kIdCapacity).size());
    }
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
