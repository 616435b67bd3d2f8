// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/catalogue_file.h"
#include "core/storage/data_files.h"
#include "core/tools/statistics.h"

namespace kelvarn::cli {

int runStats(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    requireNoArguments(args);
    StatisticsGrid grid =
        statisticsGrid(countStatistics(CatalogueFile(context.folder + kCatalogueFileName)));
    for (int r = 0; r < kStatisticsRows; ++r) {
        if (r != kStatisticsBlankRow) {
            out.row(grid[static_cast<std::size_t>(r)]);
        }
    }
    return kExitDone;
}

}  // namespace kelvarn::cli
