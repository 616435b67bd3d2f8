// SPDX-License-Identifier: GPL-3.0-or-later
// Which file a path named when a window read it. A restore or a compaction puts a new file in the
// old one's place by a rename; a window that compares identities knows its rows came from a file
// that is no longer there.
#pragma once

#include <string>

namespace kelvarn {

class FileIdentity {
public:
    FileIdentity() = default;
    // The file `path` names now; a missing file is an identity too (nothing there).
    explicit FileIdentity(const std::string& path);
    ~FileIdentity();
    FileIdentity(FileIdentity&& other) noexcept;
    FileIdentity& operator=(FileIdentity&& other) noexcept;
    FileIdentity(const FileIdentity&) = delete;
    FileIdentity& operator=(const FileIdentity&) = delete;

    // Whether `path` still names the file it named when this identity was taken. The file is
    // kept open meanwhile, so its inode cannot be given to a new file and pass for it.
    bool stillNamedBy(const std::string& path) const;

private:
    int fd_ = -1;
};

}  // namespace kelvarn
