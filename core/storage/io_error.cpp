// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storage/io_error.h"

#include <cerrno>
#include <cstring>

namespace kelvarn {

std::string ioCodeText(int code) {
    switch (code) {
        case kFileNotFound:
            return "File not found";
        case kInvalidFilename:
            return "Invalid filename";
        case kTooManyOpenFiles:
            return "Too many open files";
        case kFileAccessDenied:
            return "File access denied";
        case kReadBeyondEnd:
            return "Read beyond end of file";
        case kDiskFull:
            return "Disk full";
        case kInvalidNumericInput:
            return "Invalid numeric input";
        default:
            return "I/O error " + std::to_string(code);
    }
}

IoError::IoError(std::string path, int code, std::string message, const std::string& full)
    : std::runtime_error(full), path_(std::move(path)), code_(code), message_(std::move(message)) {}

IoError::IoError(const std::string& path, int code)
    : IoError(path, code, ioCodeText(code), ioCodeText(code) + ": " + path) {}

IoError IoError::fromErrno(std::string path, int err) {
    int code = 0;
    switch (err) {
        case ENOENT:
            code = kFileNotFound;
            break;
        case ENAMETOOLONG:
        case ENOTDIR:
        case EISDIR:
        case EINVAL:
        case ELOOP:
            code = kInvalidFilename;
            break;
        case EMFILE:
        case ENFILE:
            code = kTooManyOpenFiles;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            code = kFileAccessDenied;
            break;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            code = kDiskFull;
            break;
        default: {
            // Codes of the system's own: its message says more than a bare number.
            std::string text = "I/O error " + std::to_string(err) + " (" + std::strerror(err) + ")";
            std::string full = text + ": " + path;
            return IoError(std::move(path), err, std::move(text), full);
        }
    }
    return IoError(path, code);
}

IoError IoError::unableToWrite(std::string path) {
    std::string text = "Unable to write to " + path;
    return IoError(std::move(path), kFileAccessDenied, text, text);
}

IoError IoError::tooManyRecords(std::string path) {
    std::string text = "More records than the catalogue can number";
    std::string full = text + ": " + path;
    return IoError(std::move(path), kInvalidNumericInput, text, full);
}

IoError IoError::damaged(std::string path) {
    std::string text = "Damaged file";
    std::string full = text + ": " + path;
    return IoError(std::move(path), kInvalidNumericInput, text, full);
}

IoError IoError::unreadable(std::string path, const std::string& why) {
    std::string full = why + ": " + path;
    return IoError(std::move(path), kInvalidNumericInput, why, full);
}

}  // namespace kelvarn
