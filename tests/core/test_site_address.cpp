// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/net/site_address.h"

namespace kelvarn {
namespace {

TEST(SiteAddress, RecordAndDownloadAddressesEndInTheId) {
    EXPECT_EQ(recordPageAddress("http://site.test", "123456"),
              "http://site.test/fruityloops/loops_list/pafiledb.php?action=file&id=123456");
    EXPECT_EQ(downloadAddress("http://site.test", "000042"),
              "http://site.test/fruityloops/loops_list/pafiledb.php?action=download&id=000042");
    EXPECT_EQ(listPageAddress("http://site.test"), "http://site.test/fruityloops/loops.php");
}

TEST(SiteAddress, AnIdIsPercentEncodedWhereItHoldsAnythingButSafeCharacters) {
    EXPECT_EQ(downloadAddress("http://s", "1&x=2"),
              "http://s/fruityloops/loops_list/pafiledb.php?action=download&id=1%26x%3D2");
    EXPECT_EQ(percentEncode("a b/\xC0"), "a%20b%2F%C0");
    EXPECT_EQ(percentEncode("Az09-._~"), "Az09-._~");
}

TEST(SiteAddress, OneTrailingSlashIsDropped) {
    EXPECT_EQ(normalizeSiteAddress("http://h:8080/"), "http://h:8080");
    EXPECT_EQ(normalizeSiteAddress("http://h//"), "http://h/");
    EXPECT_EQ(normalizeSiteAddress("http://h"), "http://h");
}

}  // namespace
}  // namespace kelvarn
