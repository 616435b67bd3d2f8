// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <httplib.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/storage/cp1251.h"
#include "demo_site/demo_site.h"

namespace kelvarn {
namespace {

const std::string kListPath = "/fruityloops/loops.php";
const std::string kFileQuery = "/fruityloops/loops_list/pafiledb.php?action=file&id=";
const std::string kDownloadQuery = "/fruityloops/loops_list/pafiledb.php?action=download&id=";
const std::string kMailMarker = "<a href=\"mailto:";

std::string fileMarker(const std::string& base) {
    return "<a target=\"_blank\" href=\"" + base + kFileQuery;
}

std::vector<std::string> crLfLines(const std::string& page) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = page.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(page.substr(start, end - start));
    }
    lines.push_back(page.substr(start));
    return lines;
}

std::size_t nextNonEmpty(const std::vector<std::string>& lines, std::size_t at) {
    while (at < lines.size() && lines[at].empty()) {
        ++at;
    }
    return at;
}

// The rules the importer reads the page by, written out independently of the site's code.
std::vector<DemoMix> parseListPage(const std::string& page, const std::string& base) {
    const std::string marker = fileMarker(base);
    std::vector<std::string> lines = crLfLines(page);
    std::vector<DemoMix> found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.starts_with(marker)) {
            continue;
        }
        std::size_t idEnd = line.find('"', marker.size());
        if (idEnd == std::string::npos || idEnd + 1 >= line.size() || line[idEnd + 1] != '>') {
            continue;
        }
        std::size_t titleEnd = line.find('<', idEnd + 2);
        std::size_t m = nextNonEmpty(lines, i + 1);
        if (titleEnd == std::string::npos || m == lines.size() ||
            !lines[m].starts_with(kMailMarker)) {
            continue;
        }
        const std::string& mail = lines[m];
        std::size_t emailEnd = mail.find("\">", kMailMarker.size());
        if (emailEnd == std::string::npos) {
            continue;
        }
        std::size_t authorEnd = mail.find('<', emailEnd + 2);
        std::size_t category = mail.find("category&id=", authorEnd);
        if (authorEnd == std::string::npos || category == std::string::npos) {
            continue;
        }
        std::size_t categoryEnd = mail.find('"', category + 12);
        if (categoryEnd == std::string::npos) {
            continue;
        }
        DemoMix mix;
        const char* first = mail.data() + category + 12;
        const char* last = mail.data() + categoryEnd;
        auto [end, error] = std::from_chars(first, last, mix.category);
        if (error != std::errc() || end != last) {
            mix.category = 0;  // no number: an unknown style, as 0 is
        }
        mix.id = line.substr(marker.size(), idEnd - marker.size());
        mix.title = line.substr(idEnd + 2, titleEnd - idEnd - 2);
        mix.email = mail.substr(kMailMarker.size(), emailEnd - kMailMarker.size());
        mix.author = mail.substr(emailEnd + 2, authorEnd - emailEnd - 2);
        found.push_back(mix);
        i = m;
    }
    return found;
}

// Latin and Cyrillic letters, Ё included.
std::string foldCase(std::string text) {
    for (char& ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF)) {
            ch = static_cast<char>(c + 32);
        } else if (c == 0xA8) {
            ch = static_cast<char>(0xB8);
        }
    }
    return text;
}

class DemoSiteTest : public ::testing::Test {
protected:
    void SetUp() override { site.start(); }

    httplib::Client client() {
        httplib::Client c(site.baseAddress());
        c.set_connection_timeout(2);
        c.set_read_timeout(5);
        return c;
    }

    const DemoMix& firstMix(bool (*wanted)(const DemoMix&)) {
        auto it = std::find_if(site.mixes().begin(), site.mixes().end(), wanted);
        if (it == site.mixes().end()) {
            throw std::logic_error("no such mix");
        }
        return *it;
    }

    const DemoMix& mixOfSize(std::int64_t bytes) {
        for (const DemoMix& mix : site.mixes()) {
            if (mix.bytes == bytes) {
                return mix;
            }
        }
        throw std::logic_error("no mix of that size");
    }

    DemoSite site{DemoSiteOptions{}};
};

TEST_F(DemoSiteTest, ListPageIsServedWholeWithItsLengthAndCharset) {
    auto res = client().Get(kListPath, {{"Accept-Encoding", "gzip, deflate"}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=windows-1251");
    EXPECT_FALSE(res->has_header("Content-Encoding"));
    EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(res->body.size()));
    EXPECT_EQ(res->body, site.listPage());
    EXPECT_GT(res->body.size(), 300u * site.mixes().size());
}

TEST_F(DemoSiteTest, EveryMixHasItsMarkerLineThenItsMailLine) {
    std::vector<std::string> lines = crLfLines(site.listPage());
    const std::string marker = fileMarker(site.baseAddress());
    ASSERT_EQ(site.mixes().size(), 300u);
    std::size_t at = 0;
    for (const DemoMix& mix : site.mixes()) {
        std::string expected = marker + mix.id + "\">" + mix.title + "<";
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& l) { return l.starts_with(expected); }),
                  1)
            << mix.id;
        // In page order: each mix is found after the one before it.
        auto line = std::find_if(lines.begin() + static_cast<std::ptrdiff_t>(at), lines.end(),
                                 [&](const std::string& l) { return l.starts_with(expected); });
        ASSERT_NE(line, lines.end()) << mix.id;
        at = nextNonEmpty(lines, (line - lines.begin()) + 1);
        ASSERT_LT(at, lines.size());
        EXPECT_TRUE(lines[at].starts_with(kMailMarker + mix.email + "\">" + mix.author + "<"))
            << lines[at];
        std::string category =
            mix.id == site.trickyIds().badCategory ? "abc" : std::to_string(mix.category);
        EXPECT_NE(lines[at].find("category&id=" + category + "\""), std::string::npos) << lines[at];
    }
}

TEST_F(DemoSiteTest, AParserFollowingTheRulesReadsExactlyTheMixes) {
    std::vector<DemoMix> parsed = parseListPage(site.listPage(), site.baseAddress());
    ASSERT_EQ(parsed.size(), site.mixes().size());
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const DemoMix& mix = site.mixes()[i];
        EXPECT_EQ(parsed[i].id, mix.id);
        EXPECT_EQ(parsed[i].title, mix.title);
        EXPECT_EQ(parsed[i].author, mix.author);
        EXPECT_EQ(parsed[i].email, mix.email);
        EXPECT_EQ(parsed[i].category, mix.category);
    }
}

TEST_F(DemoSiteTest, PageIsWindows1251WithCrLfLines) {
    const std::string page = site.listPage();
    EXPECT_EQ(page.find('\x98'), std::string::npos);  // the one byte with no character
    EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(page)), page);
    auto cyrillic = std::count_if(page.begin(), page.end(),
                                  [](char ch) { return static_cast<unsigned char>(ch) >= 0xC0; });
    EXPECT_GT(cyrillic, 1000);
    EXPECT_NE(page.find("Ё"_cp), std::string::npos);
    EXPECT_NE(page.find("ё"_cp), std::string::npos);
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\n') {
            ASSERT_TRUE(i > 0 && page[i - 1] == '\r') << "bare LF at " << i;
        } else if (page[i] == '\r') {
            ASSERT_TRUE(i + 1 < page.size() && page[i + 1] == '\n') << "bare CR at " << i;
        }
    }
    EXPECT_TRUE(page.ends_with("</html>\r\n"));
}

TEST_F(DemoSiteTest, MixesCoverWhatTheCatalogueMustCopeWith) {
    const auto& mixes = site.mixes();
    std::set<int> categories;
    std::set<std::string> ids;
    std::size_t longestTitle = 0, longestEmail = 0;
    bool foldedTwins = false;
    std::set<std::string> authors;
    for (std::size_t i = 0; i < mixes.size(); ++i) {
        const DemoMix& mix = mixes[i];
        ASSERT_EQ(mix.id.size(), 6u);
        EXPECT_TRUE(std::all_of(mix.id.begin(), mix.id.end(), [](char ch) {
            return ch >= '0' && ch <= '9';
        })) << mix.id;
        if (i > 0) {
            EXPECT_LT(mix.id, mixes[i - 1].id);
        }
        ids.insert(mix.id);
        categories.insert(mix.category);
        longestTitle = std::max(longestTitle, mix.title.size());
        longestEmail = std::max(longestEmail, mix.email.size());
        for (const std::string* text : {&mix.title, &mix.author, &mix.email}) {
            EXPECT_FALSE(text->empty()) << mix.id;
            EXPECT_EQ(text->find_first_of("<\"\r\n"), std::string::npos) << *text;
        }
        for (const std::string& other : authors) {
            foldedTwins |= other != mix.author && foldCase(other) == foldCase(mix.author);
        }
        authors.insert(mix.author);
        if (i >= 10) {
            EXPECT_GE(mix.bytes, 1000) << mix.id;
            EXPECT_LE(mix.bytes, 300000) << mix.id;
        }
    }
    EXPECT_EQ(ids.size(), mixes.size());
    EXPECT_EQ(categories,
              (std::set<int>{2, 3, 4, 5, 6, 7, 8, 9, 19, 20, 22, 23, 24, 25, 21, 1, -1, 0}));
    EXPECT_GT(longestTitle, 50u);
    EXPECT_LE(longestTitle, 70u);
    EXPECT_GT(longestEmail, 30u);
    EXPECT_LE(longestEmail, 35u);
    EXPECT_TRUE(foldedTwins);
    EXPECT_TRUE(authors.count("DJ Vasya") && authors.count("dj vasya") &&
                authors.count("DJ VASYA"));

    std::set<std::int64_t> firstSizes;
    bool chunked = false, missing = false;
    for (std::size_t i = 0; i < 10; ++i) {
        firstSizes.insert(mixes[i].bytes);
        chunked |= !mixes[i].hasLength;
        missing |= mixes[i].status == 404;
    }
    EXPECT_TRUE(firstSizes.count(1023) && firstSizes.count(2048) && firstSizes.count(0));
    EXPECT_TRUE(chunked);
    EXPECT_TRUE(missing);
}

TEST_F(DemoSiteTest, TrickyLinesComeAfterTheTenthMixAsDescribed) {
    const DemoTrickyIds& tricky = site.trickyIds();
    const std::string page = site.listPage();
    const std::string marker = fileMarker(site.baseAddress());
    std::size_t tenth = page.find(marker + site.mixes()[9].id + "\"");
    ASSERT_NE(tenth, std::string::npos);

    std::size_t indented = page.find("\r\n " + marker + tricky.indented + "\">");
    EXPECT_NE(indented, std::string::npos);
    EXPECT_GT(indented, tenth);

    std::size_t unclosed = page.find("\r\n" + marker + tricky.unclosed + ">");
    ASSERT_NE(unclosed, std::string::npos);
    std::size_t unclosedEnd = page.find("\r\n", unclosed + 2);
    EXPECT_EQ(page.substr(unclosed, unclosedEnd - unclosed).find('"', marker.size() + 2),
              std::string::npos);

    std::vector<std::string> lines = crLfLines(page);
    auto lineOf = [&](const std::string& id) {
        auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.starts_with(marker + id + "\"");
        });
        return static_cast<std::size_t>(it - lines.begin());
    };
    std::size_t bad = lineOf(tricky.badCategory);
    ASSERT_LT(bad + 1, lines.size());
    EXPECT_NE(lines[bad + 1].find("category&id=abc\""), std::string::npos);

    std::size_t spaced = lineOf(tricky.emptyLines);
    ASSERT_LT(spaced + 3, lines.size());
    EXPECT_EQ(lines[spaced + 1], "");
    EXPECT_EQ(lines[spaced + 2], "");
    EXPECT_TRUE(lines[spaced + 3].starts_with(kMailMarker));

    auto entity = std::find_if(site.mixes().begin(), site.mixes().end(),
                               [&](const DemoMix& m) { return m.id == tricky.entityTitle; });
    ASSERT_NE(entity, site.mixes().end());
    EXPECT_NE(entity->title.find("&amp;"), std::string::npos);
    EXPECT_NE(page.find(marker + entity->id + "\">" + entity->title + "<"), std::string::npos);
    for (const std::string& id : {tricky.emptyLines, tricky.badCategory}) {
        EXPECT_NE(std::find_if(site.mixes().begin(), site.mixes().end(),
                               [&](const DemoMix& m) { return m.id == id; }),
                  site.mixes().end());
    }

    auto c = client();
    for (const std::string& id : {tricky.indented, tricky.unclosed}) {
        auto it = std::find_if(site.mixes().begin(), site.mixes().end(),
                               [&](const DemoMix& m) { return m.id == id; });
        EXPECT_EQ(it, site.mixes().end()) << id;
        auto download = c.Get(kDownloadQuery + id);
        ASSERT_TRUE(download);
        EXPECT_EQ(download->status, 404) << id;
        auto record = c.Get(kFileQuery + id);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->status, 404) << id;
    }
}

TEST(DemoSite, WithoutTrickyLinesEveryMarkerLineIsARegularMix) {
    DemoSite site(DemoSiteOptions{.mixes = 40, .seed = 3, .trickyLines = false});
    site.start();
    const std::string page = site.listPage();
    std::vector<std::string> lines = crLfLines(page);
    auto markers = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("<a target=") != std::string::npos;
    });
    EXPECT_EQ(markers, 40);
    EXPECT_EQ(page.find("\r\n "), std::string::npos);
    EXPECT_EQ(page.find("&amp;"), std::string::npos);
    EXPECT_EQ(page.find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(page.find("category&id=abc"), std::string::npos);
    EXPECT_TRUE(site.trickyIds().indented.empty());
    EXPECT_TRUE(site.trickyIds().emptyLines.empty());
    EXPECT_EQ(parseListPage(page, site.baseAddress()).size(), 40u);
}

TEST(DemoSite, AFewMixesStillGetTheTrickyLinesThatAreNoMixes) {
    DemoContent content = makeDemoContent(3, 1, true);
    std::string page = renderListPage("http://127.0.0.1:1", content);
    EXPECT_EQ(content.mixes.size(), 3u);
    EXPECT_EQ(content.entries.size(), 5u);
    EXPECT_FALSE(content.tricky.unclosed.empty());
    EXPECT_TRUE(content.tricky.entityTitle.empty());
    EXPECT_EQ(parseListPage(page, "http://127.0.0.1:1").size(), 3u);
    EXPECT_THROW(makeDemoContent(-1, 1, true), std::invalid_argument);
    EXPECT_THROW(makeDemoContent(800001, 1, true), std::invalid_argument);
}

TEST_F(DemoSiteTest, TheSameSeedMakesTheSamePage) {
    EXPECT_EQ(makeListPage(site.baseAddress(), 300, 1), site.listPage());
    EXPECT_NE(makeListPage(site.baseAddress(), 300, 2), site.listPage());
}

TEST_F(DemoSiteTest, DownloadsHaveTheirExactLengthAndBytes) {
    auto c = client();
    for (std::int64_t bytes : {1023, 2048}) {
        const DemoMix& mix = mixOfSize(bytes);
        auto res = c.Get(kDownloadQuery + mix.id);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/zip");
        EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(bytes));
        EXPECT_EQ(res->body.size(), static_cast<std::size_t>(bytes));
        EXPECT_EQ(res->body, site.archive(mix));
        // A real archive: every entry reads back whole, its CRC-32 checked on the way.
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source =
            zip_source_buffer_create(res->body.data(), res->body.size(), 0, &error);
        zip_t* archive = zip_open_from_source(source, ZIP_CHECKCONS | ZIP_RDONLY, &error);
        ASSERT_NE(archive, nullptr) << zip_error_strerror(&error);
        ASSERT_EQ(zip_get_num_entries(archive, 0), 2);
        EXPECT_STREQ(zip_get_name(archive, 1, 0), "readme.txt");
        for (zip_uint64_t i = 0; i < 2; ++i) {
            zip_stat_t stat;
            zip_stat_index(archive, i, 0, &stat);
            std::string content(stat.size, '\0');
            zip_file_t* file = zip_fopen_index(archive, i, 0);
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(zip_fread(file, content.data(), content.size()),
                      static_cast<zip_int64_t>(stat.size));
            EXPECT_EQ(zip_fclose(file), 0);
        }
        zip_close(archive);
    }
    EXPECT_NE(site.archive(mixOfSize(1023)), site.archive(mixOfSize(2048)).substr(0, 1023));

    auto empty = c.Get(kDownloadQuery + mixOfSize(0).id);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, 200);
    EXPECT_EQ(empty->get_header_value("Content-Length"), "0");
    EXPECT_TRUE(empty->body.empty());
}

TEST_F(DemoSiteTest, AChunkedMixHasNoContentLength) {
    const DemoMix& mix =
        firstMix([](const DemoMix& m) { return !m.hasLength && m.status == 200 && m.bytes > 0; });
    auto res = client().Get(kDownloadQuery + mix.id);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_FALSE(res->has_header("Content-Length"));
    EXPECT_EQ(res->get_header_value("Transfer-Encoding"), "chunked");
    EXPECT_EQ(res->body, site.archive(mix));
}

TEST_F(DemoSiteTest, AMissingDownloadAndAnUnknownIdAnswer404) {
    auto c = client();
    const DemoMix& missing = firstMix([](const DemoMix& m) { return m.status == 404; });
    auto res = c.Get(kDownloadQuery + missing.id);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    auto page = c.Get(kFileQuery + missing.id);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);  // the site still lists it

    for (const std::string& path :
         {kDownloadQuery + "000000", kFileQuery + "000000",
          std::string("/fruityloops/loops_list/pafiledb.php?id=") + site.mixes()[0].id}) {
        auto unknown = c.Get(path);
        ASSERT_TRUE(unknown);
        EXPECT_EQ(unknown->status, 404) << path;
    }
}

TEST_F(DemoSiteTest, APercentEncodedIdIsDecoded) {
    const DemoMix& mix = mixOfSize(1023);
    std::string encoded;
    for (char digit : mix.id) {
        encoded += "%3";
        encoded += digit;
    }
    auto res = client().Get(kDownloadQuery + encoded);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, site.archive(mix));
}

TEST_F(DemoSiteTest, RecordPageShowsTheMixAndLinksItsDownload) {
    const DemoMix& mix = site.mixes()[0];
    auto res = client().Get(kFileQuery + mix.id);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=windows-1251");
    EXPECT_NE(res->body.find("<h1>" + mix.title + "</h1>"), std::string::npos);
    EXPECT_NE(res->body.find(">" + mix.author + "</a>"), std::string::npos);
    EXPECT_NE(res->body.find("href=\"" + site.baseAddress() + kDownloadQuery + mix.id + "\""),
              std::string::npos);
}

TEST_F(DemoSiteTest, CountersCountEachKindOfRequest) {
    auto c = client();
    const std::string id = mixOfSize(2048).id;
    ASSERT_TRUE(c.Get(kListPath));
    ASSERT_TRUE(c.Get(kListPath));
    ASSERT_TRUE(c.Head(kListPath));
    ASSERT_TRUE(c.Get(kFileQuery + id));
    ASSERT_TRUE(c.Get(kDownloadQuery + id));
    ASSERT_TRUE(c.Get(kDownloadQuery + id));
    ASSERT_TRUE(c.Get(kDownloadQuery + "000000"));
    auto head = c.Head(kDownloadQuery + id);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->get_header_value("Content-Length"), "2048");
    EXPECT_TRUE(head->body.empty());

    EXPECT_EQ(site.listRequests(), 2);
    EXPECT_EQ(site.pageRequests(), 1);
    EXPECT_EQ(site.downloadRequests(), 3);
    EXPECT_EQ(site.sizeRequests(), 1);
}

TEST_F(DemoSiteTest, ListStatusSimulatesAFailingFetch) {
    auto c = client();
    site.setListStatus(500);
    auto failed = c.Get(kListPath);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 500);
    EXPECT_NE(failed->body, site.listPage());

    site.setListStatus(302);
    auto moved = c.Get(kListPath);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 302);
    EXPECT_TRUE(moved->get_header_value("Location").starts_with(site.baseAddress() + "/"));

    site.setListStatus(200);
    auto served = c.Get(kListPath);
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, 200);
    EXPECT_EQ(served->body, site.listPage());
}

TEST_F(DemoSiteTest, ListDelayHoldsTheAnswerAndStopCutsItShort) {
    using Clock = std::chrono::steady_clock;
    site.setListDelayMs(150);
    auto started = Clock::now();
    ASSERT_TRUE(client().Get(kListPath));
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(150));

    site.setListDelayMs(20000);
    std::thread waiting([c = client()]() mutable { c.Get(kListPath); });
    while (site.listRequests() < 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    started = Clock::now();
    site.stop();
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(3));
    waiting.join();
}

TEST_F(DemoSiteTest, AfterStopNothingAnswersUntilStartedAgain) {
    int port = site.port();
    site.stop();
    auto refused = client().Get(kListPath);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error(), httplib::Error::Connection);

    site.start(port);
    auto served = client().Get(kListPath);
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, 200);
}

TEST_F(DemoSiteTest, StartingOnATakenPortOrTwiceThrows) {
    DemoSite other(DemoSiteOptions{.mixes = 5});
    EXPECT_THROW(other.start(site.port()), std::runtime_error);
    EXPECT_THROW(site.start(), std::logic_error);
}

}  // namespace
}  // namespace kelvarn
