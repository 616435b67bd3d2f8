// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storage/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace kelvarn {

FileIdentity::FileIdentity(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

FileIdentity::~FileIdentity() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

FileIdentity::FileIdentity(FileIdentity&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileIdentity& FileIdentity::operator=(FileIdentity&& other) noexcept {
    if (this != &other) {
        FileIdentity old(std::move(*this));
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool FileIdentity::stillNamedBy(const std::string& path) const {
    struct stat now {};
    const bool exists = ::stat(path.c_str(), &now) == 0;
    struct stat then {};
    if (fd_ < 0 || ::fstat(fd_, &then) != 0) {
        return !exists;
    }
    return exists && now.st_dev == then.st_dev && now.st_ino == then.st_ino;
}

}  // namespace kelvarn
