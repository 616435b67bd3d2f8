// SPDX-License-Identifier: GPL-3.0-or-later
// The name a downloaded mix is saved under: the download gives it, and the tools find the file by
// it.
#pragma once

#include <string>
#include <string_view>

namespace kelvarn {

// `text` with each character a file name may not hold replaced by one that looks like it.
std::string safeFileChars(std::string_view text);

// The save folder (a "/" added when it lacks one) + the ID (+ "-" + the track with fullNames) +
// ".zip", as a UTF-8 path. The ID goes through safeFileChars like the track, so no name leaves the
// save folder and every byte of it counts.
std::string downloadFileName(const std::string& savePath, std::string_view id,
                             std::string_view track, bool fullNames);

}  // namespace kelvarn
