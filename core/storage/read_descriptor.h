// SPDX-License-Identifier: GPL-3.0-or-later
// A file opened for reading, closed when the object goes: several reads of one file through one
// descriptor.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace kelvarn {

class ReadDescriptor {
public:
    explicit ReadDescriptor(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), openError_(fd_ < 0 ? errno : 0) {}
    ~ReadDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;

    // -1 when the file could not be opened, and openError() says why.
    int get() const { return fd_; }
    int openError() const { return openError_; }
    // From here on the descriptor is someone else's to close.
    void release() { fd_ = -1; }

private:
    int fd_;
    int openError_;
};

}  // namespace kelvarn
