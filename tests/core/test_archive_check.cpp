// SPDX-License-Identifier: GPL-3.0-or-later
// The archive check summed as the bytes arrive, against the check of the file at rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/downloader/archive_check.h"
#include "demo_site/demo_site.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::deflatedArchive;
using test::writeBytes;

std::string flipped(std::string bytes, std::size_t at) {
    bytes.at(at) = static_cast<char>(bytes.at(at) ^ 0x20);
    return bytes;
}

// A byte of the directory's last entry: its CRC-32.
std::size_t directoryByte(const std::string& archive) {
    return archive.rfind(std::string("PK\1\2", 4)) + 16;
}

ArchiveSums summedInPieces(const std::string& bytes, std::size_t piece) {
    ArchiveSums sums;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        sums.feed(std::string_view(bytes).substr(at, piece));
    }
    return sums;
}

struct Archives {
    std::string stored;
    std::string deflated;
};

Archives sampleArchives() {
    DemoMix mix;
    mix.id = "424242";
    mix.bytes = 300000;
    std::string text;
    for (int i = 0; text.size() < 200000; ++i) {
        text += "pattern " + std::to_string(i * i % 977) + " step\n";
    }
    return {makeArchive(mix, 3), deflatedArchive({{"mix.flp", text}, {"readme.txt", "Hi"}})};
}

TEST(ArchiveSums, SummedInAnyPiecesTheVerdictIsTheCheckAtRestsOwn) {
    const Archives a = sampleArchives();
    const struct {
        const char* what;
        std::string bytes;
        bool whole;
    } cases[] = {
        {"stored", a.stored, true},
        {"deflated", a.deflated, true},
        {"cut", a.stored.substr(0, a.stored.size() * 2 / 3), false},
        {"a byte of stored data", flipped(a.stored, 1000), false},
        {"a byte of deflated data", flipped(a.deflated, a.deflated.size() / 3), false},
        {"a byte of the directory", flipped(a.stored, directoryByte(a.stored)), false},
        {"a local header's size", flipped(a.stored, 19), false},
        {"no archive", "<html>Error: the file is on holiday</html>", false},
    };
    test::TempFolder folder;
    const std::string path = folder.file("a.zip");
    for (const auto& c : cases) {
        writeBytes(path, c.bytes);
        const std::optional<std::string> atRest = archiveDefect(path);
        EXPECT_EQ(!atRest, c.whole) << c.what << ": " << atRest.value_or("");
        for (std::size_t piece :
             {std::size_t{1}, std::size_t{7}, std::size_t{4093}, c.bytes.size()}) {
            EXPECT_EQ(archiveDefect(path, summedInPieces(c.bytes, piece)), atRest)
                << c.what << " in pieces of " << piece;
        }
    }
}

TEST(ArchiveSums, AWholeArchiveSummedOnArrivalIsNotReadAgainButItsDirectoryIs) {
    const Archives a = sampleArchives();
    test::TempFolder folder;
    const std::string path = folder.file("a.zip");
    for (const std::string& archive : {a.stored, a.deflated}) {
        const ArchiveSums sums = summedInPieces(archive, 1000);
        // The entries' bytes change on the disk after they arrived: only the sums are asked.
        writeBytes(path, flipped(archive, archive.size() / 3));
        EXPECT_TRUE(archiveDefect(path));
        EXPECT_EQ(archiveDefect(path, sums), std::nullopt);
        writeBytes(path, flipped(archive, directoryByte(archive)));
        EXPECT_EQ(archiveDefect(path, sums), archiveDefect(path));
        EXPECT_TRUE(archiveDefect(path));
    }
}

}  // namespace
}  // namespace kelvarn
