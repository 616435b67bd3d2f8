// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/downloader/download_names.h"

#include "core/storage/cp1251.h"

namespace kelvarn {

std::string safeFileChars(std::string_view text) {
    // The characters no file system the save folder may be on takes, each for its look-alike, so
    // that a name still reads as the mix's.
    std::string safe(text);
    for (char& ch : safe) {
        switch (ch) {
            case '"':
                ch = '\'';
                break;
            case '*':
                ch = '#';
                break;
            case '/':
            case ':':
            case '\\':
                ch = '-';
                break;
            case '<':
                ch = '(';
                break;
            case '>':
                ch = ')';
                break;
            case '?':
                ch = '%';
                break;
            case '|':
                ch = '!';
                break;
            default:
                // A NUL would end the name early; a line break or a tab has no place in one.
                if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
                    ch = '_';
                }
                break;
        }
    }
    return safe;
}

std::string downloadFileName(const std::string& savePath, std::string_view id,
                             std::string_view track, bool fullNames) {
    std::string name = safeFileChars(id);
    if (fullNames) {
        name.append("-").append(safeFileChars(track));
    }
    const char* separator = savePath.empty() || savePath.back() == '/' ? "" : "/";
    return savePath + separator + cp1251ToUtf8(name) + ".zip";
}

}  // namespace kelvarn
