// SPDX-License-Identifier: GPL-3.0-or-later
// Addresses on the music site built from a mix's ID.
#pragma once

#include <string>
#include <string_view>

namespace kelvarn {

// The base address as given, less one trailing "/".
std::string normalizeSiteAddress(std::string_view base);

// base + "/fruityloops/loops_list/pafiledb.php?action=file&id=" + ID
std::string recordPageAddress(std::string_view base, std::string_view id);
// base + "/fruityloops/loops_list/pafiledb.php?action=download&id=" + ID
std::string downloadAddress(std::string_view base, std::string_view id);
// base + "/fruityloops/loops.php"
std::string listPageAddress(std::string_view base);

// An ID from the site is never trusted: anything but unreserved URL characters is
// percent-encoded before it enters an address.
std::string percentEncode(std::string_view text);

}  // namespace kelvarn
