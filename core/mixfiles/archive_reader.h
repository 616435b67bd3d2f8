// SPDX-License-Identifier: GPL-3.0-or-later
// The files of a downloaded mix and what each project among them says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/mixfiles/project_reader.h"

namespace kelvarn {

struct MixFile {
    std::string name;  // UTF-8, control characters as spaces
    std::uint64_t bytes = 0;
};

struct MixProject {
    std::string name;
    ProjectFacts facts;
};

struct MixContents {
    std::vector<MixFile> files;
    std::vector<MixProject> projects;  // the ".flp" files among them, in the same order
};

// A project read is cut here (and flagged damaged): no project comes near it.
inline constexpr std::size_t kProjectLimit = 64 << 20;

// A ZIP archive's files as its directory lists them, each ".flp" entry read; a bare project file
// (the download keeps what the site sent) is read directly. Throws IoError naming the file when it
// cannot be read, or is neither.
MixContents readMixContents(const std::string& path);

// "file", TAB, name, TAB, bytes for each file; then for each project "project", TAB, its name and
// its factLines.
std::vector<std::string> contentLines(const MixContents& contents);

}  // namespace kelvarn
