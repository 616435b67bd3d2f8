// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/import/import_run.h"
#include "core/import/selection.h"
#include "core/import/site_list_parser.h"
#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

using namespace std::literals;

const std::string kSite = "http://site.test";

std::string markerLine(const std::string& id, const std::string& title) {
    return fileLinkMarker(kSite) + id + "\">" + title + "</a></td>";
}

std::string mailLine(const std::string& email, const std::string& author,
                     const std::string& category) {
    return "<a href=\"mailto:" + email + "\">" + author +
           "</a> | <a href=\"pafiledb.php?action=category&id=" + category + "\">x</a>";
}

// Candidates point into the pairs text, so the parse keeps it.
struct ParsedPage {
    std::string lines;
    MarkerPairs pairs;
    std::vector<SiteCandidate> candidates;
};

ParsedPage parsePage(const std::string& page) {
    std::string marker = fileLinkMarker(kSite);
    ParsedPage parsed{pageToLines(page), {}, {}};
    parsed.pairs = findMarkerPairs(parsed.lines, marker);
    parsed.candidates = parsePairs(parsed.pairs, marker.size());
    return parsed;
}

TEST(SiteListParser, PageToLinesKeepsNonEmptyLinesWithCrLf) {
    EXPECT_EQ(pageToLines("a\r\n\r\nb\n\n  \nc\rd\r\n\r\r\ne"), "a\r\nb\r\n  \r\ncd\r\ne\r\n");
    EXPECT_EQ(pageToLines(""), "");
}

TEST(SiteListParser, APageAlreadyInLineFormIsUsedWithoutACopy) {
    for (std::string page :
         {"a\r\nb\r\n", "a\nb\r\n", "a\r\n\r\nb\r\n", "a\rx\r\nb\r\n", "a\r\nb", "", "\r\n"}) {
        std::string storage;
        std::string_view lines = pageLines(page, storage);
        EXPECT_EQ(lines, pageToLines(page)) << page;
        bool asIs = page == "a\r\nb\r\n" || page.empty();
        EXPECT_EQ(lines.data() == page.data(), asIs) << page;
    }
}

TEST(SiteListParser, ExtractsIdTitleEmailAuthorAndCategory) {
    std::string page = "<html>\r\n" + markerLine("123456", "Night &amp; Day") + "\r\n" +
                       mailLine("dj@mail.ru", "DJ Вася"_cp.data(), "3") + "\r\n</html>\r\n";
    ParsedPage parsed = parsePage(page);
    const auto& candidates = parsed.candidates;
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].id, "123456");
    EXPECT_EQ(candidates[0].title, "Night &amp; Day");  // references stay as the page has them
    EXPECT_EQ(candidates[0].email, "dj@mail.ru");
    EXPECT_EQ(candidates[0].author, std::string("DJ Вася"_cp));
    EXPECT_EQ(candidates[0].category, "3");
}

TEST(SiteListParser, MarkerLinesAndTheirPartners) {
    std::string page = " " + markerLine("111111", "indented") + "\n" + mailLine("a@a", "A", "2") +
                       "\n" + markerLine("222222", "gap") + "\n\n\r\n\n" +
                       mailLine("b@b", "B", "2") + "\n" + markerLine("333333", "between") +
                       "\nsome other line\n" + mailLine("c@c", "C", "2") + "\n" +
                       markerLine("444444", "last");
    std::string marker = fileLinkMarker(kSite);
    std::string lines = pageToLines(page);
    MarkerPairs pairs = findMarkerPairs(lines, marker);
    EXPECT_EQ(pairs.pairs, 3);
    auto candidates = parsePairs(pairs, marker.size());

    // The working file holds the pairs as CR LF lines and parses to the same candidates.
    std::string fileText;
    for (std::string_view piece : pairs.fileText()) {
        fileText.append(piece);
    }
    EXPECT_EQ(fileText.substr(0, marker.size() + 8), marker + "222222\">");
    auto fromFile = parsePairs(fileText, marker.size());
    ASSERT_EQ(fromFile.size(), candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        EXPECT_EQ(fromFile[i].id, candidates[i].id);
        EXPECT_EQ(fromFile[i].author, candidates[i].author);
        EXPECT_EQ(fromFile[i].email, candidates[i].email);
    }
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0].id, "222222");
    EXPECT_EQ(candidates[0].author, "B");  // empty lines never reach the pairs
    EXPECT_EQ(candidates[1].id, "333333");
    EXPECT_EQ(candidates[1].author, "");  // the line in between became the partner
    EXPECT_EQ(candidates[1].category, "");
    EXPECT_EQ(candidates[2].id, "444444");  // the page ended: an empty partner
    EXPECT_EQ(candidates[2].email, "");
}

TEST(SiteListParser, MarkerOfAnotherSiteIsNoMarker) {
    std::string page = fileLinkMarker("http://other.test") + "1\">t<\n" + mailLine("e", "a", "2");
    EXPECT_TRUE(parsePage(page).candidates.empty());
}

TEST(SiteListParser, MissingDelimitersTakeTheRestOfTheLineAndAnUnclosedIdIsNoMix) {
    std::string marker = fileLinkMarker(kSite);
    const std::string noQuoteLine = marker + "123456";
    SiteCandidate noQuote = parsePair(noQuoteLine, "<a href=\"mailto:e@e", marker.size());
    EXPECT_FALSE(noQuote.isMix());
    EXPECT_EQ(noQuote.id, "123456");
    EXPECT_EQ(noQuote.title, "");
    EXPECT_EQ(noQuote.email, "e@e");
    EXPECT_EQ(noQuote.author, "");
    EXPECT_EQ(noQuote.category, "");

    const std::string noLessLine = marker + "7\">Title without end";
    SiteCandidate noLess = parsePair(noLessLine, "short", marker.size());
    EXPECT_EQ(noLess.title, "Title without end");
    EXPECT_EQ(noLess.email, "");

    const std::string shortLine = marker + "8\">t<";
    SiteCandidate noQuoteAfterCategory =
        parsePair(shortLine, "<a href=\"mailto:m\">a< category&id=19", marker.size());
    EXPECT_EQ(noQuoteAfterCategory.category, "19");
    EXPECT_TRUE(noQuoteAfterCategory.isMix());

    // An ID the ID list could not hold as one line is no mix either.
    for (std::string_view id : {""sv,
                                "12\0"
                                "34"sv,
                                "12\r34"sv}) {
        const std::string line = marker + std::string(id) + "\">t<";
        EXPECT_FALSE(parsePair(line, "", marker.size()).isMix()) << line;
    }
}

TEST(SiteListParser, CategoryMap) {
    const std::pair<const char*, int> known[] = {
        {"2", 0},  {"3", 1},   {"4", 4},           {"5", 2},   {"6", 3},   {"7", 7},
        {"8", 6},  {"9", 13},  {"19", 8},          {"20", 9},  {"22", 10}, {"23", 11},
        {"24", 5}, {"25", 12}, {"21", 14},         {"-3", 14}, {"1", 14},  {"abc", 14},
        {"", 14},  {"3x", 14}, {"99999999999", 14}};
    for (const auto& [text, code] : known) {
        EXPECT_EQ(categoryCode(text), code) << text;
    }
}

SelectionControls controls(bool byStyle, bool byAuthor, std::vector<int> styles,
                           std::vector<std::string> names) {
    SelectionControls c;
    c.byStyle = byStyle;
    c.byAuthor = byAuthor;
    for (int s : styles) {
        c.styles[static_cast<std::size_t>(s)] = true;
    }
    c.names = std::move(names);
    return c;
}

TEST(Selection, BothTestsOffTakeNothing) {
    EXPECT_FALSE(passesSelection(controls(false, false, {0, 1}, {"dj"}), 0, "dj", "dj"));
}

TEST(Selection, TickedStylePassesAndOthersNeedTheAuthorTest) {
    auto c = controls(true, true, {0, 1}, {"vasya"});
    EXPECT_TRUE(passesSelection(c, 1, "Nobody", "x"));     // House, site category 3
    EXPECT_FALSE(passesSelection(c, 13, "Nobody", "x"));   // Другое
    EXPECT_TRUE(passesSelection(c, 13, "DJ VASYA", "x"));  // through the author
    EXPECT_FALSE(passesSelection(c, 14, "Nobody", "x"));   // no item for Неизвестный
    EXPECT_FALSE(passesSelection(controls(true, true, {13}, {}), 1, "vasya", "vasya"));
    EXPECT_FALSE(passesSelection(controls(false, true, {1}, {"vasya"}), 1, "Petya", "Mix"));
}

TEST(Selection, AuthorMatchFoldsLatinAndCyrillicCapitalsButNotYo) {
    std::vector<std::string> latin = {"vasya"};
    EXPECT_TRUE(authorMatch("VASYA", "t", latin));
    EXPECT_TRUE(authorMatch("DJ Vasya Pupkin", "t", latin));
    EXPECT_TRUE(authorMatch("Someone", "Remix for VaSyA", latin));
    EXPECT_FALSE(authorMatch("Vas ya", "t", latin));

    std::vector<std::string> cyrillic = {std::string("ёжик"_cp)};
    EXPECT_TRUE(authorMatch("ёЖИК"_cp.data(), "t", cyrillic));
    EXPECT_FALSE(authorMatch("Ёжик"_cp.data(), "t", cyrillic));
    EXPECT_TRUE(authorMatch("ПЕТЯ"_cp.data(), "t", {std::string("петя"_cp)}));

    // An empty chosen name matches only an empty author.
    EXPECT_TRUE(authorMatch("", "t", {""}));
    EXPECT_FALSE(authorMatch("a", "t", {""}));

    // A name written with the page's references still matches; so does a decoded name that
    // itself reads "&amp;".
    EXPECT_TRUE(authorMatch("Drum & Bass", "t", {"drum &amp; bass"}));
    EXPECT_TRUE(authorMatch("JD&amp;ampDJ", "t", {"JD&amp;ampDJ"}));
}

TEST(Discard, KnownIdsAndRepeatsAreMarked) {
    std::vector<ImportRow> rows(5);
    const char* ids[] = {"111111", "222222", "111111", "333333", "1234567"};
    for (int i = 0; i < 5; ++i) {
        rows[static_cast<std::size_t>(i)].id = ids[i];
    }
    // The ID list holds the first six characters of its lines.
    markKnownRows(rows, {"333333", "123456"});
    EXPECT_EQ(rows[0].idx, "1");  // repeated further down
    EXPECT_EQ(rows[1].idx, "0");
    EXPECT_EQ(rows[2].idx, "0");  // the last of the repeats stays new
    EXPECT_EQ(rows[3].idx, "1");  // known
    EXPECT_EQ(rows[4].idx, "1");  // stored as "123456", which the list holds

    markKnownRows(rows, {});
    EXPECT_EQ(rows[1].idx, "0");
    EXPECT_EQ(rows[3].idx, "0");
}

}  // namespace
}  // namespace kelvarn
