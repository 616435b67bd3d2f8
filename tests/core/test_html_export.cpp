// SPDX-License-Identifier: GPL-3.0-or-later
// "В HTML": the page line by line, and the files an export leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/catalogue/html_export.h"
#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;
using test::TempFolder;
using test::writeBytes;

std::vector<std::string> crLfLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

TEST(HtmlExport, TwoRecordsMakeTwentyEightLinesWithEveryRecordTextEscaped) {
    MixRecord seven = test::sampleRecord("345", 1);
    seven.Author = "A & <B>";
    seven.Title = "T \"1\"";
    seven.Email = "m@m";
    MixRecord nine = test::sampleRecord("3<6", 1);
    nine.Author = "";
    RecordGrid grid;
    SetGridHeaders(grid);
    grid.setRow(1, RecordToRow(7, seven));
    grid.appendRow(RecordToRow(9, nine));

    std::string page = htmlPage(grid, "http://site");
    std::vector<std::string> lines = crLfLines(page);
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(page.substr(page.size() - 2), "\r\n");
    EXPECT_EQ(lines[2], "<TITLE>База миксов</TITLE>"_cp);
    EXPECT_EQ(lines[5],
              "<BODY BGCOLOR=\"#213535\" BACKGROUND=\"files/BackGround.jpg\" TEXT=\"#FFFF00\" "
              "Link=\"#DFAB00\" >");
    EXPECT_EQ(lines[8], "<TD ALIGN=CENTER>Номер ID(открыть)</TD>"_cp);
    EXPECT_EQ(lines[14],
              "<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"http://site/fruityloops/"
              "loops_list/pafiledb.php?action=file&id=345\" >345</A></TD>");
    EXPECT_EQ(
        lines[15],
        "<TD ALIGN=CENTER><a href=\"mailto:m@m\">A &amp; &lt;B&gt; - T &quot;1&quot;</A></TD>");
    EXPECT_EQ(lines[16], "<TD ALIGN=CENTER>House</TD>");
    EXPECT_EQ(lines[17],
              "<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"http://site/fruityloops/"
              "loops_list/pafiledb.php?action=download&id=345\" >" +
                  std::string("Скачать"_cp) + "</A></TD>");
    EXPECT_EQ(lines[20],
              "<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"http://site/fruityloops/"
              "loops_list/pafiledb.php?action=file&id=3%3C6\" >3&lt;6</A></TD>");
    EXPECT_EQ(lines[21],
              "<TD ALIGN=CENTER><a href=\"mailto:3&lt;6@mail.ru\"> - Title 3&lt;6</A></TD>");
    EXPECT_EQ(lines[25], "</TABLE>");
    EXPECT_EQ(lines[27], "</HTML>");

    // A grid of its placeholder row alone is one row of empty texts.
    RecordGrid empty;
    SetGridHeaders(empty);
    std::vector<std::string> placeholder = crLfLines(htmlPage(empty, "http://site"));
    ASSERT_EQ(placeholder.size(), 22u);
    EXPECT_EQ(placeholder[15], "<TD ALIGN=CENTER><a href=\"mailto:\"> - </A></TD>");
}

TEST(HtmlExport, StoredReferencesShowAsTheyStandControlBytesAsSpacesAndTheRestIsLeftOut) {
    MixRecord record = test::sampleRecord("345", 1);
    record.Author = std::string("Drum &amp; Bass &copy; &#151;&#x2014; a\0b\tc\r\nd\x7F\x98", 48);
    record.Title = "R&B &#0; &#xD800; &bogus &amp &#; &1x; &#65x;";
    record.Email = "\x1F<m>";
    RecordGrid grid;
    SetGridHeaders(grid);
    grid.setRow(1, RecordToRow(7, record));
    std::vector<std::string> lines = crLfLines(htmlPage(grid, "http://site"));
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[15],
              "<TD ALIGN=CENTER><a href=\"mailto: &lt;m&gt;\">Drum &amp; Bass &copy; "
              "&#151;&#x2014; a b c  d - R&amp;B &amp;#0; &amp;#xD800; &amp;bogus &amp;amp "
              "&amp;#; &amp;1x; &amp;#65x;</A></TD>");
}

TEST(HtmlExport, ThePageAndTheBackgroundLandBesideEachOtherAndTheCommandLineWritesThem) {
    TempFolder program, target;
    writeBytes(program.file("BackGround.jpg"), "jpeg");
    test::writeCatalogue(program.file("Base.vlt"),
                         {test::sampleRecord("111111"), test::sampleRecord("222222")});
    writeBytes(program.file("Setting.ini"), "[Main]\r\nnews=0\r\nZip=0\r\n");
    test::CommandResult r = test::runCli({"--data-dir", program.path(), "--site", "http://s",
                                          "export-html", target.file("page.html")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(crLfLines(readBytes(target.file("page.html"))).size(), 28u);
    EXPECT_EQ(readBytes(target.file("files/BackGround.jpg")), "jpeg");

    // Again: the page and the picture are replaced; without a picture the page still goes out.
    writeBytes(program.file("BackGround.jpg"), "newer");
    EXPECT_EQ(test::runCli({"--data-dir", program.path(), "export-html", target.file("page.html"),
                            "recycle"})
                  .status,
              0);
    EXPECT_EQ(crLfLines(readBytes(target.file("page.html"))).size(), 22u);
    EXPECT_EQ(readBytes(target.file("files/BackGround.jpg")), "newer");
    std::filesystem::remove(program.file("BackGround.jpg"));
    EXPECT_NO_THROW(
        exportHtml(RecordGrid(), "http://s", target.file("other.html"), program.path()));

    EXPECT_THROW(
        exportHtml(RecordGrid(), "http://s", target.file("no/such/folder/p.html"), program.path()),
        IoError);
    EXPECT_EQ(test::runCli({"--data-dir", program.path(), "export-html"}).status, 2);
}

}  // namespace
}  // namespace kelvarn
