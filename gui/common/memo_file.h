// SPDX-License-Identifier: GPL-3.0-or-later
// The About and Help windows show a text file of the program folder in their memo.
#pragma once

#include <QPlainTextEdit>
#include <string>

namespace kelvarn {

// Replaces the memo's text with the lines of a Windows-1251 file, split by splitTextLines. When the
// file cannot be read the error box says why and the memo keeps its text.
void LoadMemoFile(QPlainTextEdit* memo, const std::string& path);

}  // namespace kelvarn
