// SPDX-License-Identifier: GPL-3.0-or-later
// Every operation on a data file runs as a unit: a mutex per file inside the process and an
// advisory flock across processes, so the window, its workers and a kelvarn-cli started on the
// same folder never interleave their reads and writes. The mutex is the file's (its device and
// inode), however its path is spelled.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelvarn {

class LockedFile {
public:
    enum class Lock { Shared, Exclusive };

    // Opens `path` with the open(2) flags given and locks it; throws IoError when it cannot be
    // opened, or when this thread holds the file already (it would wait for itself for ever). A
    // file replaced by a rename while we waited for the lock is opened again, so the lock always
    // guards the file that the path names.
    LockedFile(std::string path, int flags, Lock lock, mode_t mode = 0644);
    ~LockedFile();

    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

    std::uint64_t size() const;
    // Reads exactly `length` bytes; a short read is "Read beyond end of file".
    void readAt(void* buffer, std::size_t length, std::uint64_t offset) const;
    // Reads up to `length` bytes and returns how many there were.
    std::size_t readUpTo(void* buffer, std::size_t length, std::uint64_t offset) const;
    std::string readAll() const;
    void writeAt(const void* buffer, std::size_t length, std::uint64_t offset);
    void truncate(std::uint64_t length);
    // Waits until what was written is on the disk.
    void sync();

private:
    [[noreturn]] void fail(int err) const;
    // This process's turn on the open file, or an IoError naming the path.
    void takeTurn();
    void endTurn();

    std::string path_;
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// Everything the program makes for itself beside the user's files (temporaries, working folders,
// a damaged file set aside) has this marker in its name, and a clean-up removes only names that
// have it: a file the user named is never taken for one of ours, whatever its shape.
inline constexpr std::string_view kOwnMarker = ".kelvarn-";

// `name` with the marker and what the thing is for: ownName("List.dnl", "tmp") is
// "List.dnl.kelvarn-tmp".
std::string ownName(std::string_view name, std::string_view role);

// The file that `path` names: a symbolic link followed to its target (a user may keep a data
// file on another disk), `path` itself otherwise.
std::string linkTarget(const std::string& path);

// Replaces the file at `path` with `contents` as one step: a temporary file in the target's
// folder is written, synced and renamed over the target, so a crash leaves either the old or the
// new file. A link is followed: the file it points to is replaced, and the link stays. The
// caller holds the target's LockedFile. Throws IoError naming `path`. A working file that lives
// only for a run needs no sync to disk.
enum class Durability { Synced, WorkingFile };
void replaceFileContents(const std::string& path, std::string_view contents,
                         Durability durability = Durability::Synced);
// The same with the contents given as pieces, written one after another.
void replaceFileContents(const std::string& path, std::span<const std::string_view> pieces,
                         Durability durability = Durability::Synced);

// Removes what replacements of `path` killed half-way left behind: the temporaries beside its
// target, named for it with the marker and six letters or digits. Only for files that nobody else
// can be replacing at the moment.
void removeAbandonedReplacements(const std::string& path);

// A whole file read in place, mapped into memory under a shared lock: a large file is read
// without a copy. The bytes are valid while the object lives.
class MappedFile {
public:
    explicit MappedFile(const std::string& path);
    // Only bytes `offset` to `offset + length`, which the file must hold ("Read beyond end of
    // file" otherwise). Pages come in as they are read and leave with the object, so a pass in
    // such parts keeps little of a large file resident.
    MappedFile(const std::string& path, std::uint64_t offset, std::size_t length);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view bytes() const {
        return {static_cast<const char*>(data_) + skipped_, data_ != nullptr ? size_ : 0};
    }

private:
    void map(std::uint64_t offset, int flags);

    LockedFile file_;
    std::size_t size_;
    std::size_t skipped_ = 0;  // from the page the mapping starts on to the offset asked for
    void* data_ = nullptr;
};

// Opens `path` and flocks it (`operation`: LOCK_SH or LOCK_EX, with LOCK_NB or without): a
// descriptor of its own, since LockedFile's mutex would make a second holder in this process wait
// rather than share or be refused. -1 when a non-blocking `operation` finds the lock taken;
// throws IoError when the file cannot be opened or locked.
int lockedDescriptor(const std::string& path, int openFlags, int operation);

bool fileExists(const std::string& path);

// Waits until what was written to the file is on the disk; the caller must not hold its lock.
void syncFile(const std::string& path);

// Makes the renames and removals made in the folder durable, as far as the system lets it.
void syncFolder(const std::string& folder);

}  // namespace kelvarn
