// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storage/program_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/storage/data_files.h"
#include "core/storage/file_lock.h"

namespace kelvarn {
namespace {

namespace fs = std::filesystem;

std::string& folderSlot() {
    static std::string folder = executableFolder();
    return folder;
}

std::string withTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

std::string userDataFolder() {
    // A relative XDG_DATA_HOME is to be ignored, as every other program does.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return withTrailingSlash(xdg) + "kelvarn/";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        throw std::runtime_error(
            "no data folder: neither XDG_DATA_HOME nor HOME is set (name one with --data-dir)");
    }
    return withTrailingSlash(home) + ".local/share/kelvarn/";
}

[[noreturn]] void layOutFailed(const fs::path& path, std::error_code ec) {
    throw std::runtime_error("cannot lay out the data folder at " + path.string() + ": " +
                             ec.message());
}

void makeFolder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec && !fs::is_directory(folder, ec)) {
        ec = std::make_error_code(std::errc::not_a_directory);
    }
    if (ec) {
        layOutFailed(folder, ec);
    }
}

// The copy is made under a name of its own and linked into place: the link fails when the file
// exists, so a start of the other executable at the same moment never loses what this one, or
// the user, has written meanwhile.
void copyUnlessPresent(const fs::path& from, const fs::path& to) {
    if (fs::exists(fs::symlink_status(to))) {
        return;
    }
    const fs::path part = ownName(to.string(), "new." + std::to_string(::getpid()));
    std::error_code ec;
    fs::copy_file(from, part, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        // The user's copy is the user's to write, however the templates were installed.
        fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                        ec);
    }
    if (!ec && ::link(part.c_str(), to.c_str()) != 0 && errno != EEXIST) {
        ec = std::error_code(errno, std::generic_category());
    }
    std::error_code ignored;
    fs::remove(part, ignored);
    if (ec) {
        layOutFailed(to, ec);
    }
}

void layOutFromTemplates(const fs::path& templates, const fs::path& folder) {
    makeFolder(folder);
    std::error_code ec;
    if (!fs::is_directory(templates, ec)) {
        return;
    }
    for (const auto& entry : fs::recursive_directory_iterator(templates)) {
        fs::path name = entry.path().lexically_relative(templates);
        if (entry.is_directory()) {
            makeFolder(folder / name);
        } else if (name != kIdListFileName || !fileExists(folder / kIdListOldFileName)) {
            copyUnlessPresent(entry.path(), folder / name);
        }
    }
}

void makeEmptyUnlessPresent(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) {
        layOutFailed(file, std::error_code(errno, std::generic_category()));
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

// A program folder's own files, without its executables and with its data files empty.
void layOutFromProgramFolder(const fs::path& own, const fs::path& folder) {
    makeFolder(folder);
    makeFolder(folder / "ZIP");
    makeFolder(folder / "sound");
    for (const char* name : {"About", "Help", "BackGround.jpg"}) {
        if (fileExists(own / name)) {
            copyUnlessPresent(own / name, folder / name);
        }
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(own / "sound", ec)) {
        copyUnlessPresent(entry.path(), folder / "sound" / entry.path().filename());
    }
    for (const char* name :
         {kCatalogueFileName, kIdListFileName, kQueueFileName, kAuthorListFileName}) {
        makeEmptyUnlessPresent(folder / name);
    }
}

fs::path installedTemplates(const std::string& own) {
    return fs::path(own + "../../share/kelvarn").lexically_normal();
}

}  // namespace

NoDataFolder::NoDataFolder(const std::string& folder)
    : std::runtime_error("no data folder at " + folder), folder_(folder) {}

const std::string& ProgramFolder() {
    return folderSlot();
}

void setProgramFolder(const std::string& folder) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(folder, ec);
    folderSlot() = withTrailingSlash(ec ? folder : absolute.lexically_normal().string());
}

std::string executableFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return withTrailingSlash(std::filesystem::current_path(ec).string());
    }
    return withTrailingSlash(exe.parent_path().string());
}

void chooseProgramFolder(const std::string& dataDir) {
    if (!dataDir.empty()) {
        std::error_code ec;
        if (!fs::is_directory(dataDir, ec)) {
            throw NoDataFolder(dataDir);
        }
        setProgramFolder(dataDir);
        return;
    }
    std::string own = executableFolder();
    if (fileExists(own + kCatalogueFileName)) {
        setProgramFolder(own);
        return;
    }
    std::string data = userDataFolder();
    layOutFromTemplates(installedTemplates(own), data);
    setProgramFolder(data);
}

void layOutNewDataFolder(const std::string& folder) {
    const std::string own = executableFolder();
    const fs::path templates = installedTemplates(own);
    std::error_code ec;
    if (fs::is_directory(templates, ec)) {
        layOutFromTemplates(templates, folder);
    } else {
        layOutFromProgramFolder(own, folder);
    }
    setProgramFolder(folder);
}

}  // namespace kelvarn
