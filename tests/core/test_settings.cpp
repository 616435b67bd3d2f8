// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/import/selection.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "core/storage/settings.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::readBytes;
using test::TempFolder;
using test::writeBytes;

TEST(Settings, MissingFileReadsDefaultsAndTheFirstWriteCreatesIt) {
    TempFolder folder;
    Settings settings(folder.path());
    EXPECT_TRUE(settings.read(keys::News));
    EXPECT_FALSE(settings.read(keys::FullNames));
    EXPECT_EQ(settings.read(keys::Day), 0);
    EXPECT_EQ(settings.read(keys::LoadDelay), 10);
    EXPECT_EQ(settings.read(keys::CheckListStyle), "text");
    EXPECT_FALSE(fileExists(folder.file("Setting.ini")));

    settings.write(keys::Zip, false);
    EXPECT_EQ(readBytes(folder.file("Setting.ini")), "[Main]\r\nZip=0\r\n");
    settings.write(keys::Day, 5);
    settings.write(keys::AddCheck, true);
    EXPECT_EQ(readBytes(folder.file("Setting.ini")),
              "[Main]\r\nZip=0\r\nday=5\r\n[GetLoopsList]\r\nAddCheck=1\r\n");
}

TEST(Settings, SectionAndKeyNamesIgnoreCaseAndTheFileKeepsItsSpelling) {
    TempFolder folder;
    writeBytes(folder.file("Setting.ini"), "[MAIN]\r\nDay=3\r\n");
    Settings settings(folder.path());
    EXPECT_EQ(settings.read(keys::Day), 3);
    settings.write(keys::Day, 5);
    EXPECT_EQ(readBytes(folder.file("Setting.ini")), "[MAIN]\r\nDay=5\r\n");
    EXPECT_EQ(settings.read(keys::Day), 5);
}

TEST(Settings, TwoObjectsOnOneFileNeverDisagree) {
    TempFolder folder;
    Settings window(folder.path());
    Settings other(folder.path());
    window.write(keys::Day, 4);
    EXPECT_EQ(other.read(keys::Day), 4);
    other.write(keys::Day, 6);
    EXPECT_EQ(window.read(keys::Day), 6);
}

TEST(Settings, BooleansAreIntegersAndGarbageReadsAsTheDefault) {
    TempFolder folder;
    writeBytes(folder.file("Setting.ini"),
               "[Main]\nnews=2\nZip = 0 \nday=abc\nLoadDelay=$10\n[Downloader]\nFullNames=-1\n");
    Settings settings(folder.path());
    EXPECT_TRUE(settings.read(keys::News));
    EXPECT_FALSE(settings.read(keys::Zip));
    EXPECT_EQ(settings.read(keys::Day), 0);
    EXPECT_EQ(settings.read(keys::LoadDelay), 16);
    EXPECT_TRUE(settings.read(keys::FullNames));
}

TEST(Settings, AFileOfRandomBytesReadsDefaults) {
    TempFolder folder;
    std::string junk;
    std::uint32_t state = 7;
    for (int i = 0; i < 5000; ++i) {
        state = state * 1103515245u + 12345u;
        junk.push_back(static_cast<char>(state >> 23));
    }
    writeBytes(folder.file("Setting.ini"), junk);
    Settings settings(folder.path());
    EXPECT_TRUE(settings.read(keys::News));
    EXPECT_EQ(settings.read(keys::Day), 0);
    EXPECT_EQ(settings.read(keys::CheckListStyle), "text");
    settings.write(keys::Day, 2);
    EXPECT_EQ(settings.read(keys::Day), 2);
    EXPECT_EQ(readBytes(folder.file("Setting.ini")).substr(0, junk.size()), junk);
}

TEST(Settings, FirstOfDuplicateSectionsAndKeysCounts) {
    TempFolder folder;
    writeBytes(folder.file("Setting.ini"),
               "[Main]\r\nday=1\r\nday=2\r\n[Main]\r\nday=3\r\nnews=0\r\n");
    Settings settings(folder.path());
    EXPECT_EQ(settings.read(keys::Day), 1);
    EXPECT_TRUE(settings.read(keys::News));  // only in the second [Main]
    settings.write(keys::News, false);
    EXPECT_EQ(readBytes(folder.file("Setting.ini")),
              "[Main]\r\nday=1\r\nday=2\r\nnews=0\r\n[Main]\r\nday=3\r\nnews=0\r\n");
}

TEST(Settings, AWriteChangesOnlyItsOwnLine) {
    TempFolder folder;
    const std::string before =
        "; kept comment\r\n[Main]\r\nnews=1\r\n\r\n[Downloader]\r\nPath=/music/\r\nFullNames=1\r\n"
        "odd line\r\n\r\n[Other]\nx=y\n";
    writeBytes(folder.file("Setting.ini"), before);
    Settings settings(folder.path());
    settings.write(keys::Path, "/data/zip/");
    settings.write(keys::Zip, true);
    EXPECT_EQ(readBytes(folder.file("Setting.ini")),
              "; kept comment\r\n[Main]\r\nnews=1\r\nZip=1\r\n\r\n[Downloader]\r\n"
              "Path=/data/zip/\r\nFullNames=1\r\nodd line\r\n\r\n[Other]\nx=y\n");
}

TEST(Settings, DownloadPathFallsBackToTheZipFolder) {
    TempFolder folder;
    Settings settings(folder.path());
    EXPECT_EQ(settings.downloadPath(), folder.path() + "ZIP/");
    writeBytes(folder.file("Setting.ini"), "[Downloader]\r\nPath=\r\n");
    EXPECT_EQ(settings.downloadPath(), folder.path() + "ZIP/");
    settings.write(keys::Path, "/srv/mixes/");
    EXPECT_EQ(settings.downloadPath(), "/srv/mixes/");
}

TEST(Settings, SiteAddressDropsOneTrailingSlash) {
    TempFolder folder;
    Settings settings(folder.path());
    EXPECT_EQ(settings.siteAddress(), "http://www.zentrova.ru");
    settings.write(keys::Site, "http://127.0.0.1:8080/");
    EXPECT_EQ(settings.siteAddress(), "http://127.0.0.1:8080");
}

// A refused write raises "Unable to write to" with the full path and leaves the file as it was.
TEST(Settings, RefusedWritesNameTheFileAndChangeNothing) {
    TempFolder folder;
    const std::string path = folder.file("Setting.ini");
    writeBytes(path, "[Main]\r\nday=3\r\n");

    chmod(path.c_str(), 0444);
    Settings settings(folder.path());
    try {
        settings.write(keys::Day, 5);
        FAIL() << "write to a read-only file succeeded";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(readBytes(path), "[Main]\r\nday=3\r\n");

    // A read-only folder refuses too, even to a process that could override permissions.
    chmod(path.c_str(), 0644);
    chmod(folder.path().c_str(), 0555);
    int status = test::runUnprivileged([&] {
        Settings unprivileged(folder.path());
        try {
            unprivileged.write(keys::Day, 5);
        } catch (const IoError& e) {
            return std::string(e.what()) == "Unable to write to " + path ? 0 : 2;
        }
        return 1;
    });
    chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readBytes(path), "[Main]\r\nday=3\r\n");
}

TEST(CheckListStyle, WritesEachCheckedItemFollowedByAComma) {
    StyleChecks checks{};
    EXPECT_EQ(encodeCheckListStyle(checks), "");
    checks[0] = checks[3] = checks[13] = true;
    EXPECT_EQ(encodeCheckListStyle(checks), "0,3,13,");
}

TEST(CheckListStyle, ReadsEntriesClosedByCommas) {
    auto decoded = [](std::string_view text) {
        StyleChecks checks{};
        decodeCheckListStyle(text, checks);
        std::string on;
        for (int i = 0; i < kImportStyleCount; ++i) {
            if (checks[i]) {
                on += std::to_string(i) + " ";
            }
        }
        return on;
    };
    EXPECT_EQ(decoded("text"), "");
    EXPECT_EQ(decoded(""), "");
    EXPECT_EQ(decoded("13,0,"), "0 13 ");
    EXPECT_EQ(decoded("1,2"), "1 ");          // the final entry lacks its comma
    EXPECT_EQ(decoded("123,5,"), "5 12 ");    // an entry keeps its first two characters
    EXPECT_EQ(decoded("ab,14,-1,7,"), "7 ");  // entries that name no item are passed over

    StyleChecks kept{};
    kept[9] = true;
    decodeCheckListStyle("2,", kept);
    EXPECT_TRUE(kept[9]);
    EXPECT_TRUE(kept[2]);
}

}  // namespace
}  // namespace kelvarn
