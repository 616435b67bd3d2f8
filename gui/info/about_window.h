// SPDX-License-Identifier: GPL-3.0-or-later
// "About": a letter from the author; the program folder's About file, when there is one, replaces
// the built-in text.
#pragma once

#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class AboutWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit AboutWindow(const AppContext& context, QWidget* parent = nullptr);
};

}  // namespace kelvarn
