// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storage/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "core/storage/io_error.h"

namespace kelvarn {

OutputFile::OutputFile(std::string path, bool append) : path_(std::move(path)) {
    fd_ =
        ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0644);
    if (fd_ < 0) {
        throw IoError::fromErrno(path_, errno);
    }
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void OutputFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t put = ::write(fd_, bytes.data(), bytes.size());
        if (put < 0 && errno != EINTR) {
            throw IoError::fromErrno(path_, errno);
        }
        bytes.remove_prefix(put > 0 ? static_cast<std::size_t>(put) : 0);
    }
}

void OutputFile::close() {
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) {
        throw IoError::fromErrno(path_, errno);
    }
}

void OutputFile::empty() {
    if (::ftruncate(fd_, 0) != 0) {
        throw IoError::fromErrno(path_, errno);
    }
}

void OutputFile::discard() {
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
    ::unlink(path_.c_str());
}

void OutputFile::leave(bool keep) {
    struct stat st {};
    if (keep && ::fstat(fd_, &st) == 0 && st.st_size > 0) {
        ::close(std::exchange(fd_, -1));
    } else {
        discard();
    }
}

void readFileStart(const std::string& path, std::int64_t bytes,
                   const std::function<void(std::string_view)>& piece) {
    if (bytes == 0) {
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw IoError::fromErrno(path, errno);
    }
    std::string buffer(1 << 20, '\0');
    const auto total = static_cast<std::uint64_t>(bytes);
    std::uint64_t done = 0;
    ssize_t got = 0;
    while (done < total &&
           (got = ::read(fd, buffer.data(),
                         std::min<std::uint64_t>(buffer.size(), total - done))) != 0) {
        if (got < 0 && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            throw IoError::fromErrno(path, error);
        }
        const std::size_t size = got > 0 ? static_cast<std::size_t>(got) : 0;
        done += size;
        try {
            piece(std::string_view(buffer).substr(0, size));
        } catch (...) {
            ::close(fd);
            throw;
        }
    }
    ::close(fd);
}

std::int64_t fileSizeOr0(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

void requireFolder(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw IoError::fromErrno(path, errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        throw IoError::fromErrno(path, ENOTDIR);
    }
}

}  // namespace kelvarn
