// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/storage/file_lock.h"

namespace kelvarn::fuzz {

FuzzFolder::FuzzFolder(std::string_view name) {
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("kelvarn-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    path_ = folder.string() + "/";
}

FuzzFolder::~FuzzFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string FuzzFolder::write(std::string_view name, std::string_view bytes) const {
    std::string path = file(name);
    replaceFileContents(path, bytes, Durability::WorkingFile);
    return path;
}

std::string readFile(const std::string& path) {
    return LockedFile(path, O_RDONLY, LockedFile::Lock::Shared).readAll();
}

void check(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", promise);
        std::abort();
    }
}

}  // namespace kelvarn::fuzz
