// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tools/statistics.h"

#include "core/storage/cp1251.h"

namespace kelvarn {

Statistics countStatistics(const CatalogueFile& file) {
    Statistics counts;
    file.forEach(nullptr, [&counts](std::uint32_t, const MixRecordView& record) {
        if (record.Style < kStyleCount) {
            ++counts.styles[record.Style];
        }
        ++(record.HasFile != 0 ? counts.downloaded : counts.notDownloaded);
        ++counts.total;
    });
    return counts;
}

const std::array<std::string_view, 2>& StatisticsHeaders() {
    static constexpr std::array<std::string_view, 2> headers = {"Записи"_cp, "Кол-во"_cp};
    return headers;
}

StatisticsGrid statisticsGrid(const Statistics& statistics) {
    StatisticsGrid grid;
    grid[0] = {std::string(StatisticsHeaders()[0]), std::string(StatisticsHeaders()[1])};
    for (std::size_t code = 0; code < statistics.styles.size(); ++code) {
        grid[code + 1] = {std::string(StyleName(static_cast<std::uint8_t>(code))),
                          std::to_string(statistics.styles[code])};
    }
    grid[kStatisticsBlankRow + 1] = {std::string("Скаченных"_cp),
                                     std::to_string(statistics.downloaded)};
    grid[kStatisticsBlankRow + 2] = {std::string("Нескаченных"_cp),
                                     std::to_string(statistics.notDownloaded)};
    grid[kStatisticsBlankRow + 3] = {std::string("Всего"_cp), std::to_string(statistics.total)};
    return grid;
}

}  // namespace kelvarn
