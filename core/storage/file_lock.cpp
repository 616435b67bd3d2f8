// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

// A thread's turn on a file among the threads of this process, by device and inode; an entry
// lives while a thread holds or waits for it.
struct Turn {
    std::mutex mutex;
    std::thread::id holder;
    int users = 0;
};

struct FileKey {
    dev_t device;
    ino_t inode;
    bool operator==(const FileKey&) const = default;
};

struct FileKeyHash {
    std::size_t operator()(const FileKey& key) const {
        return std::hash<std::uint64_t>{}(key.inode) * 31 + std::hash<std::uint64_t>{}(key.device);
    }
};

struct Turns {
    std::mutex mutex;
    std::unordered_map<FileKey, Turn, FileKeyHash> byFile;  // a Turn never moves while listed
};

Turns& turns() {
    static Turns all;
    return all;
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A temporary's name: the target's, the marker and what mkstemp puts in place of XXXXXX.
std::string temporaryPrefix(const std::string& target) {
    return ownName(target, "tmp.");
}
constexpr std::size_t kTemporaryLetters = 6;

}  // namespace

LockedFile::LockedFile(std::string path, int flags, Lock lock, mode_t mode)
    : path_(std::move(path)) {
    for (;;) {
        fd_ = ::open(path_.c_str(), flags | O_CLOEXEC, mode);
        if (fd_ < 0) {
            fail(errno);
        }
        try {
            takeTurn();
        } catch (const IoError&) {
            ::close(fd_);
            fd_ = -1;
            throw;
        }
        int rc;
        do {
            rc = ::flock(fd_, lock == Lock::Shared ? LOCK_SH : LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            int err = errno;
            ::close(fd_);
            fd_ = -1;
            endTurn();
            fail(err);
        }
        // Still the file the path names: the descriptor's file is known from taking the turn.
        struct stat named {};
        if (::stat(path_.c_str(), &named) == 0 && named.st_dev == device_ &&
            named.st_ino == inode_) {
            return;
        }
        ::close(fd_);
        fd_ = -1;
        endTurn();
    }
}

LockedFile::~LockedFile() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing drops the flock
        endTurn();
    }
}

void LockedFile::takeTurn() {
    struct stat opened {};
    if (fstat(fd_, &opened) != 0) {
        fail(errno);
    }
    Turns& all = turns();
    Turn* turn = nullptr;
    {
        std::lock_guard<std::mutex> hold(all.mutex);
        turn = &all.byFile[{opened.st_dev, opened.st_ino}];
        if (turn->holder == std::this_thread::get_id()) {
            fail(EDEADLK);
        }
        ++turn->users;
    }
    turn->mutex.lock();
    std::lock_guard<std::mutex> hold(all.mutex);
    turn->holder = std::this_thread::get_id();
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
}

void LockedFile::endTurn() {
    Turns& all = turns();
    std::lock_guard<std::mutex> hold(all.mutex);
    auto at = all.byFile.find({device_, inode_});
    at->second.holder = {};
    at->second.mutex.unlock();
    if (--at->second.users == 0) {
        all.byFile.erase(at);
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

std::string ownName(std::string_view name, std::string_view role) {
    std::string own(name);
    own += kOwnMarker;
    own += role;
    return own;
}

std::string linkTarget(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) {
        return path;
    }
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    // A link to nothing is replaced as the file it is.
    return error ? path : target.string();
}

void replaceFileContents(const std::string& path, std::span<const std::string_view> pieces,
                         Durability durability) {
    const bool synced = durability == Durability::Synced;
    const std::string target = linkTarget(path);
    std::string temp = temporaryPrefix(target) + std::string(kTemporaryLetters, 'X');
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
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        throw IoError::fromErrno(path, err);
    }
    // The rename is durable only once the folder itself is synced.
    if (synced) {
        syncFolder(folderOf(target));
    }
}

MappedFile::MappedFile(const std::string& path)
    : file_(path, O_RDONLY, LockedFile::Lock::Shared), size_(file_.size()) {
    map(0, MAP_POPULATE);
}

MappedFile::MappedFile(const std::string& path, std::uint64_t offset, std::size_t length)
    : file_(path, O_RDONLY, LockedFile::Lock::Shared), size_(length) {
    if (file_.size() < offset || file_.size() - offset < length) {
        throw IoError(path, kReadBeyondEnd);
    }
    map(offset, 0);
}

void MappedFile::map(std::uint64_t offset, int flags) {
    if (size_ == 0) {
        return;  // nothing to map: an empty view
    }
    static const auto kPage = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    skipped_ = static_cast<std::size_t>(offset % kPage);
    data_ = ::mmap(nullptr, skipped_ + size_, PROT_READ, MAP_PRIVATE | flags, file_.fd(),
                   static_cast<off_t>(offset - skipped_));
    if (data_ == MAP_FAILED) {
        data_ = nullptr;
        throw IoError::fromErrno(file_.path(), errno);
    }
}

MappedFile::~MappedFile() {
    if (data_ != nullptr) {
        ::munmap(data_, skipped_ + size_);
    }
}

void removeAbandonedReplacements(const std::string& path) {
    const std::string target = linkTarget(path);
    const std::string prefix = nameOf(temporaryPrefix(target));
    struct CloseDir {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::unique_ptr<DIR, CloseDir> dir(::opendir(folderOf(target).c_str()));
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + kTemporaryLetters && name.starts_with(prefix) &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)); })) {
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
        }
    }
}

int lockedDescriptor(const std::string& path, int openFlags, int operation) {
    int fd = ::open(path.c_str(), openFlags | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw IoError::fromErrno(path, errno);
    }
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) {
            return -1;
        }
        throw IoError::fromErrno(path, err);
    }
    return fd;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void syncFile(const std::string& path) {
    LockedFile(path, O_RDONLY, LockedFile::Lock::Shared).sync();
}

void syncFolder(const std::string& folder) {
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace kelvarn
