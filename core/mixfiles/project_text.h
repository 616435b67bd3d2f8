// SPDX-License-Identifier: GPL-3.0-or-later
// A project file's texts as UTF-8, each in the encoding its version or its plugin wrote, up to a
// NUL and kTextLimit characters; a byte that reads as no character is U+FFFD, a control a space.
#pragma once

#include <string>
#include <string_view>

namespace kelvarn {

// UTF-16LE up to its NUL; an unpaired surrogate reads as U+FFFD.
std::string fromUtf16(std::string_view bytes);
// The single-byte code page of the versions before UTF-16.
std::string fromCp1252(std::string_view bytes);
// UTF-8 as a wrapped plugin stores its names, up to a NUL; a byte that does not fit reads as
// U+FFFD.
std::string fromUtf8(std::string_view bytes);

}  // namespace kelvarn
