// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program is put together: the one file that knows every window.
#pragma once

#include "gui/common/windows.h"

namespace kelvarn {

struct AppContext;

// Creates the windows in start-up order, the main window first; each reads what it shows as it
// is made, but the author list, which loads its names once the import window listens.
void createWindows(const AppContext& context, Windows& windows);

// Deletes them, the main window last.
void destroyWindows(Windows& windows);

}  // namespace kelvarn
