// SPDX-License-Identifier: GPL-3.0-or-later
// "Информация о базах": how many records the catalogue holds of each style, downloaded or not.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/styles.h"

namespace kelvarn {

struct Statistics {
    std::array<std::uint32_t, kStyleCount> styles{};  // by style code
    std::uint32_t downloaded = 0;
    std::uint32_t notDownloaded = 0;
    std::uint32_t total = 0;
};

// Counts every record of the file, recycled and favourite ones included; a record whose style
// code is unknown counts in the three totals only. Throws IoError.
Statistics countStatistics(const CatalogueFile& file);

// The statistics grid, two Windows-1251 cells a row: the headers, one row per style, a blank
// row, then downloaded, not downloaded and all records.
inline constexpr int kStatisticsRows = 20;
inline constexpr int kStatisticsBlankRow = 16;

using StatisticsRow = std::array<std::string, 2>;
using StatisticsGrid = std::array<StatisticsRow, kStatisticsRows>;

const std::array<std::string_view, 2>& StatisticsHeaders();

StatisticsGrid statisticsGrid(const Statistics& statistics);

}  // namespace kelvarn
