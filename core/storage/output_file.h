// SPDX-License-Identifier: GPL-3.0-or-later
// A file written piece by piece as it arrives, and the few questions asked of such a file on disk:
// its size, its first bytes read back, whether a folder is one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelvarn {

// A file open while a transfer writes it. Every failure is an IoError naming the file.
class OutputFile {
public:
    // Opens the file to write it anew, or to add to what it holds.
    OutputFile(std::string path, bool append);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes);
    void close();
    // Drops what the file holds: the server sends the whole file after all.
    void empty();
    // Closes the file and removes what it holds.
    void discard();
    // Closes the file, kept for a later try to go on from when `keep` and it holds anything.
    void leave(bool keep);

private:
    std::string path_;
    int fd_ = -1;
};

// Hands the first `bytes` of the file at `path` to `piece`, a megabyte at most at a time, and
// fewer when the file is shorter.
void readFileStart(const std::string& path, std::int64_t bytes,
                   const std::function<void(std::string_view)>& piece);

// The size of the file at `path`, 0 when there is none.
std::int64_t fileSizeOr0(const std::string& path);

// Throws unless `path` names a folder.
void requireFolder(const std::string& path);

}  // namespace kelvarn
