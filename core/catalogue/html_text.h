// SPDX-License-Identifier: GPL-3.0-or-later
// Text as a web page holds it: the site's list page and the exported page are HTML in
// Windows-1251, where "&amp;" stands for "&".
#pragma once

#include <string>
#include <string_view>

namespace kelvarn {

// The page's text as a browser shows it: "&amp;", "&lt;", "&gt;", "&quot;", "&nbsp;" and the
// numeric references ("&#39;", "&#x2014;") become their Windows-1251 byte. A reference to a
// character Windows-1251 lacks ("&#9733;"), or to none, stays as the page wrote it, as do other
// named references: the character is not lost to a "?", and the export still shows it.
std::string decodeCharacterReferences(std::string_view text);

// A stored text for a page: "<", ">", '"', and a "&" that does not begin a character reference,
// escaped (texts stored by earlier imports hold references as the site wrote them); a control
// byte shown as a space, as kelvarn-cli prints it, and 0x98, which has no character, left out.
std::string escapeForPage(std::string_view text);
// The same appended to `out`.
void appendForPage(std::string& out, std::string_view text);

}  // namespace kelvarn
