// Whether a downloaded file is the archive it claims to be.
#pragma once

#include <optional>
#include <string>

namespace kelvarn {

// What is wrong with the ZIP archive at `path`: not an archive at all (an error page served as
// a file), a damaged directory, or an entry whose bytes do not match its CRC-32 (a cut body).
// Nothing when every entry reads back whole.
std::optional<std::string> archiveDefect(const std::string& path);

}  // namespace kelvarn
