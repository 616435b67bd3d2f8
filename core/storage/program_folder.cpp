#include "core/storage/program_folder.h"

#include <filesystem>
#include <system_error>

namespace kelvarn {
namespace {

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

}  // namespace

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

}  // namespace kelvarn
