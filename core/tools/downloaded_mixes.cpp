// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tools/downloaded_mixes.h"

#include <sys/stat.h>

#include "core/catalogue/queue_file.h"
#include "core/downloader/download_names.h"

namespace kelvarn {
namespace {

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

SaveFolder saveFolderOf(const Settings& settings) {
    return {settings.downloadPath(), settings.read(keys::FullNames)};
}

std::optional<std::string> downloadedFile(const SaveFolder& folder, std::string_view id,
                                          std::string_view author, std::string_view title) {
    const std::string track = trackText(author, title);
    for (bool fullNames : {folder.fullNames, !folder.fullNames}) {
        std::string path = downloadFileName(folder.path, id, track, fullNames);
        if (isFile(path)) {
            return path;
        }
    }
    return std::nullopt;
}

}  // namespace kelvarn
