// SPDX-License-Identifier: GPL-3.0-or-later
// A catalogue loaded into its views, as the main window holds it.
#pragma once

#include <gtest/gtest.h>

#include "core/catalogue/record_commands.h"
#include "core/storage/cp1251.h"
#include "tests/support/test_support.h"

namespace kelvarn::test {

class RecordCommandsTest : public ::testing::Test {
protected:
    void load(const std::vector<MixRecord>& records) {
        test::writeCatalogue(folder.file("Base.vlt"), records);
        views = CatalogueViews();
        loadViews(catalogue, ViewFilter{false, false, 0, 46000}, views);
        copyTableToSwap(views);
    }
    TempFolder folder;
    CatalogueFile catalogue{folder.file("Base.vlt")};
    CatalogueViews views;
};

}  // namespace kelvarn::test
