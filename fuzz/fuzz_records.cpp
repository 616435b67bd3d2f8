// SPDX-License-Identifier: GPL-3.0-or-later
// Base.vlt may hold anything a crash, a disk or another program left in it. Every record is
// read, the catalogue is loaded into its views and each style node selected, the statistics are
// counted, and an update that changes nothing rewrites only the length bytes that stood above
// their field's capacity.
#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/record_grid.h"
#include "core/catalogue/styles.h"
#include "core/tools/statistics.h"
#include "fuzz/fuzz_support.h"

namespace kelvarn {
namespace {

using fuzz::check;

// Where each short string's length byte stands in a record, and its capacity.
constexpr std::array<std::pair<std::size_t, std::size_t>, 4> kLengthBytes{
    {{0, kIdCapacity}, {7, kAuthorCapacity}, {58, kTitleCapacity}, {109, kEmailCapacity}}};

std::string afterNoChange(std::string bytes, std::uint32_t records) {
    for (std::uint32_t n = 0; n < records; ++n) {
        for (auto [at, capacity] : kLengthBytes) {
            auto& length = reinterpret_cast<unsigned char&>(bytes[n * kRecordSize + at]);
            length = static_cast<unsigned char>(std::min<std::size_t>(length, capacity));
        }
    }
    return bytes;
}

struct Expected {
    std::array<int, kStyleCount> byStyle{};  // catalogue view only
    int catalogue = 0;
    int favourites = 0;
    int recycled = 0;
    std::uint32_t downloaded = 0;
};

// The load puts a record in exactly one view; a grid shows its header and a placeholder row
// when it has no records.
int shownRows(int records) {
    return records + (records == 0 ? 2 : 1);
}

void checkViews(const CatalogueFile& file, const Expected& expected) {
    CatalogueViews views;
    // Neither filter ticked: the catalogue view keeps every record in it.
    reloadViews(file, ViewFilter{false, false, 0, 0}, views);
    check(views.Table.rowCount() == shownRows(expected.catalogue), "catalogue rows");
    check(views.Favourites.rowCount() == shownRows(expected.favourites), "favourite rows");
    check(views.RecycleBin.rowCount() == shownRows(expected.recycled), "recycle bin rows");
    for (int code = 0; code < kStyleCount; ++code) {
        std::string_view name = StyleName(static_cast<std::uint8_t>(code));
        check(selectStyleNode(views, code) == VisibleGrid::Table, "a style shows Table");
        check(views.Table.rowCount() == shownRows(expected.byStyle[code]), "rows of a style");
        for (int r = 1; r <= expected.byStyle[code]; ++r) {
            check(views.Table.cell(kColStyle, r) == name, "a style node's rows are its style");
        }
    }
    check(selectStyleNode(views, kKeyAllStyles) == VisibleGrid::Table, "all styles");
    check(views.Table.rowCount() == shownRows(expected.catalogue), "all styles rows");
    check(selectStyleNode(views, kKeyRecycleBin) == VisibleGrid::RecycleBin, "recycle bin");
    check(selectStyleNode(views, kKeyFavourites) == VisibleGrid::Favourites, "favourites");

    // Both filters ticked: of the catalogue view, only records not downloaded stay.
    reloadViews(file, ViewFilter{true, true, 0, 0}, views);
    check(views.Table.rowCount() <= shownRows(expected.catalogue), "filtered rows");
    for (int r = 1; views.Table.isRecordRow(r); ++r) {
        check(views.Table.cell(kColFile, r) == FileFlagText(0), "a filtered row is not downloaded");
    }
    check(views.Favourites.rowCount() == shownRows(expected.favourites), "favourites unfiltered");
    check(views.RecycleBin.rowCount() == shownRows(expected.recycled), "recycle bin unfiltered");
}

}  // namespace
}  // namespace kelvarn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarn;
    static const fuzz::FuzzFolder folder("records");
    CatalogueFile file(folder.write("Base.vlt", data, size));
    const std::uint32_t records = file.count();
    check(records == size / kRecordSize, "the count is the whole records");

    Expected expected;
    for (std::uint32_t n = 1; n <= records; ++n) {
        MixRecord record = file.read(n);
        RecordBytes once = encodeRecord(record);
        check(encodeRecord(decodeRecord(once.data())) == once, "a record reads back as written");
        check(RecordToRow(n, record).cell(kColNumber) == std::to_string(n),
              "a row shows its record's number");
        if (record.InRecycleBin != 0) {
            ++expected.recycled;
        } else if (record.IsFavourite != 0) {
            ++expected.favourites;
        } else {
            ++expected.catalogue;
            if (record.Style < kStyleCount) {
                ++expected.byStyle[record.Style];
            }
        }
        expected.downloaded += record.HasFile != 0 ? 1 : 0;
    }
    checkViews(file, expected);

    Statistics statistics = countStatistics(file);
    check(statistics.total == records, "statistics count every record");
    check(statistics.downloaded == expected.downloaded, "downloaded records");
    check(statistics.downloaded + statistics.notDownloaded == records, "downloaded or not");
    StatisticsGrid grid = statisticsGrid(statistics);
    check(grid[kStatisticsRows - 1][1] == std::to_string(records), "the total row");

    const std::string before = fuzz::readFile(file.path());
    for (std::uint32_t n = 1; n <= records; ++n) {
        file.update(n, [](MixRecord&) {});
    }
    check(fuzz::readFile(file.path()) == afterNoChange(before, records),
          "an update keeps the bytes a record does not use");
    return 0;
}
