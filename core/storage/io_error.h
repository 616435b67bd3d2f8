// SPDX-License-Identifier: GPL-3.0-or-later
// The one error type of every data-file operation: the file it concerns and what went wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace kelvarn {

// Run-time input/output codes, as the catalogue's users know them from its error box.
enum IoCode : int {
    kFileNotFound = 2,
    kInvalidFilename = 3,
    kTooManyOpenFiles = 4,
    kFileAccessDenied = 5,
    kReadBeyondEnd = 100,
    kDiskFull = 101,
    kInvalidNumericInput = 106,
};

class IoError : public std::runtime_error {
public:
    // An error with one of the codes above ("File not found", ...), or "I/O error N" for others.
    IoError(const std::string& path, int code);

    // Maps a system errno to the code and its text.
    static IoError fromErrno(std::string path, int err);

    // A settings write that the system refused.
    static IoError unableToWrite(std::string path);

    // A catalogue longer than its record numbers reach.
    static IoError tooManyRecords(std::string path);

    // A file of ours whose bytes are not in its format.
    static IoError damaged(std::string path);

    // A file of someone else's that a library could not read, in the library's words.
    static IoError unreadable(std::string path, const std::string& why);

    const std::string& path() const { return path_; }
    int code() const { return code_; }
    // The error text without the file name, e.g. "File not found".
    const std::string& message() const { return message_; }

private:
    IoError(std::string path, int code, std::string message, const std::string& full);

    std::string path_;
    int code_;
    std::string message_;
};

std::string ioCodeText(int code);

}  // namespace kelvarn
