#include "core/storage/file_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <unordered_map>

#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

std::mutex& mutexFor(const std::string& path) {
    static std::mutex registryMutex;
    static std::unordered_map<std::string, std::unique_ptr<std::mutex>> registry;
    std::lock_guard<std::mutex> hold(registryMutex);
    auto& slot = registry[path];
    if (!slot) {
        slot = std::make_unique<std::mutex>();
    }
    return *slot;
}

bool sameFile(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    if (fstat(fd, &opened) != 0 || stat(path.c_str(), &named) != 0) {
        return false;
    }
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

LockedFile::LockedFile(std::string path, int flags, Lock lock, mode_t mode)
    : path_(std::move(path)), guard_(mutexFor(path_)) {
    for (;;) {
        fd_ = ::open(path_.c_str(), flags | O_CLOEXEC, mode);
        if (fd_ < 0) {
            fail(errno);
        }
        int rc;
        do {
            rc = ::flock(fd_, lock == Lock::Shared ? LOCK_SH : LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            int err = errno;
            ::close(fd_);
            fd_ = -1;
            fail(err);
        }
        if (sameFile(fd_, path_)) {
            return;
        }
        ::close(fd_);
        fd_ = -1;
    }
}

LockedFile::~LockedFile() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing drops the flock
    }
}

void LockedFile::fail(int err) const {
    throw IoError::fromErrno(path_, err);
}

std::uint64_t LockedFile::size() const {
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        fail(errno);
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t LockedFile::readUpTo(void* buffer, std::size_t length, std::uint64_t offset) const {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        ssize_t got = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void LockedFile::readAt(void* buffer, std::size_t length, std::uint64_t offset) const {
    if (readUpTo(buffer, length, offset) != length) {
        throw IoError(path_, kReadBeyondEnd);
    }
}

std::string LockedFile::readAll() const {
    std::string contents(size(), '\0');
    contents.resize(readUpTo(contents.data(), contents.size(), 0));
    return contents;
}

void LockedFile::writeAt(const void* buffer, std::size_t length, std::uint64_t offset) {
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        ssize_t put = ::pwrite(fd_, in + done, length - done, static_cast<off_t>(offset + done));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno);
        }
        done += static_cast<std::size_t>(put);
    }
}

void LockedFile::truncate(std::uint64_t length) {
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        fail(errno);
    }
}

void LockedFile::sync() {
    if (::fsync(fd_) != 0) {
        fail(errno);
    }
}

void replaceFileContents(const std::string& path, std::string_view contents,
                         Durability durability) {
    replaceFileContents(path, std::span<const std::string_view>(&contents, 1), durability);
}

void replaceFileContents(const std::string& path, std::span<const std::string_view> pieces,
                         Durability durability) {
    const bool synced = durability == Durability::Synced;
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        throw IoError::fromErrno(path, errno);
    }
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw IoError::fromErrno(path, err);
    };
    struct stat old {};
    mode_t mode = 0644;
    if (stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    }
    if (::fchmod(fd, mode) != 0) {
        abandon(errno);
    }
    // Pieces go out through one small buffer, however many there are.
    constexpr std::size_t kStage = 1 << 20;
    std::string stage;
    stage.reserve(kStage);
    auto flush = [&](std::string_view bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                abandon(errno);
            }
            done += static_cast<std::size_t>(put);
        }
    };
    for (std::string_view piece : pieces) {
        if (piece.size() >= kStage) {
            flush(stage);
            stage.clear();
            flush(piece);
        } else {
            if (stage.size() + piece.size() > kStage) {
                flush(stage);
                stage.clear();
            }
            stage.append(piece);
        }
    }
    flush(stage);
    if (synced && ::fsync(fd) != 0) {
        abandon(errno);
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        throw IoError::fromErrno(path, err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        throw IoError::fromErrno(path, err);
    }
    // The rename is durable only once the folder itself is synced.
    int dir = synced ? ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

MappedFile::MappedFile(const std::string& path)
    : file_(path, O_RDONLY, LockedFile::Lock::Shared), size_(file_.size()) {
    if (size_ == 0) {
        return;  // nothing to map: an empty view
    }
    data_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file_.fd(), 0);
    if (data_ == MAP_FAILED) {
        data_ = nullptr;
        throw IoError::fromErrno(path, errno);
    }
}

MappedFile::~MappedFile() {
    if (data_ != nullptr) {
        ::munmap(data_, size_);
    }
}

void removeAbandonedReplacements(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".";
    struct CloseDir {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::unique_ptr<DIR, CloseDir> dir(::opendir(folder.c_str()));
    if (!dir) {
        return;
    }
    // The temporaries' names come from mkstemp: the prefix and six letters or digits.
    constexpr std::size_t kTemporaryLetters = 6;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + kTemporaryLetters && name.starts_with(prefix) &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)); })) {
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
        }
    }
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void syncFile(const std::string& path) {
    LockedFile(path, O_RDONLY, LockedFile::Lock::Shared).sync();
}

}  // namespace kelvarn
