// SPDX-License-Identifier: GPL-3.0-or-later
// What the program settles before its windows are made.
#pragma once

#include <string>

namespace kelvarn {

// Chooses the program folder as kelvarn-cli does. A --data-dir that names no folder is said once,
// with the choice to lay a new data folder out there, as a first start does, or to quit; any other
// failure is shown in an error box. False when the program is to end.
bool chooseDataFolder(const std::string& dataDir);

}  // namespace kelvarn
