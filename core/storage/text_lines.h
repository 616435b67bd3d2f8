// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of a text file as the program's own files and the ones users edit by hand hold them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvarn {

// CR LF, a lone CR and a lone LF each end a line; a last line without an end is still a line, and
// an end at the very end of the text starts no further line. A NUL ends the text, as it would for
// a reader that takes the file as one C string.
std::vector<std::string> splitTextLines(std::string_view text);

}  // namespace kelvarn
