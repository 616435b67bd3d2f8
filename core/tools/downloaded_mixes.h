// SPDX-License-Identifier: GPL-3.0-or-later
// The files downloads left in the save folder, found by the rule that named them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/storage/settings.h"

namespace kelvarn {

// Where downloads go and how they are named, as the settings say now.
struct SaveFolder {
    std::string path;
    bool fullNames = false;
};
SaveFolder saveFolderOf(const Settings& settings);

// The record's downloaded file (Windows-1251 texts): the name the naming setting gives it now,
// else the other one (the setting may have changed since the download), when a file is there.
std::optional<std::string> downloadedFile(const SaveFolder& folder, std::string_view id,
                                          std::string_view author, std::string_view title);

}  // namespace kelvarn
