// SPDX-License-Identifier: GPL-3.0-or-later
// "Помощь": the program folder's Help file.
#pragma once

#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class HelpWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit HelpWindow(const AppContext& context, QWidget* parent = nullptr);
};

}  // namespace kelvarn
