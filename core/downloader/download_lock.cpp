// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/downloader/download_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "core/storage/backups.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

// An open-file-description lock: held per descriptor, so two runs of one process exclude each
// other as two processes do; closing the descriptor drops it.
bool lockRecordByte(int fd, std::int32_t recordNumber, short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<std::uint32_t>(recordNumber);  // every number a byte of its own
    range.l_len = 1;
    int rc;
    do {
        rc = ::fcntl(fd, F_OFD_SETLK, &range);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

}  // namespace

DownloadUnderWay::DownloadUnderWay(const std::string& folder) {
    try {
        // Written never, but open for writing: a mix's claim is a write lock.
        fd_ = lockedDescriptor(downloadLockPath(folder), O_RDWR | O_CREAT, LOCK_SH);
    } catch (const IoError&) {
        // A folder where the file cannot be made is one no restore can write either.
    }
}

DownloadUnderWay::~DownloadUnderWay() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool DownloadUnderWay::claimMix(std::int32_t recordNumber) {
    // Without the lock file there is no run to share with either.
    return fd_ < 0 || lockRecordByte(fd_, recordNumber, F_WRLCK);
}

void DownloadUnderWay::releaseMix(std::int32_t recordNumber) {
    if (fd_ >= 0) {
        lockRecordByte(fd_, recordNumber, F_UNLCK);
    }
}

}  // namespace kelvarn
