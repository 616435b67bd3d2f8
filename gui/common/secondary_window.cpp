// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/common/secondary_window.h"

#include "gui/common/window_util.h"

namespace kelvarn {

void SecondaryWindow::open(QWidget* owner) {
    showCentredOver(this, owner);
}

}  // namespace kelvarn
