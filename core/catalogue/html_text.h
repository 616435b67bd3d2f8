// Text as a web page holds it: the site's list page and the exported page are HTML in
// Windows-1251, where "&amp;" stands for "&".
#pragma once

#include <string>
#include <string_view>

namespace kelvarn {

// The page's text as a browser shows it: "&amp;", "&lt;", "&gt;", "&quot;", "&nbsp;" and the
// numeric references ("&#39;", "&#x2014;") become their Windows-1251 byte, "?" where it has none;
// other named references stay as they stand.
std::string decodeCharacterReferences(std::string_view text);

// A stored text for a page: "<", ">", '"', and a "&" that does not begin a character reference,
// escaped (texts stored by earlier imports hold references as the site wrote them); control bytes
// and 0x98, which has no character, left out.
std::string escapeForPage(std::string_view text);

}  // namespace kelvarn
