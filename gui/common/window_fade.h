// SPDX-License-Identifier: GPL-3.0-or-later
// The windows' fixed waits and fades: the load's pacing, the good-bye picture, the main window's
// fade-out at the close and its fade from the manual entry window.
#pragma once

#include "gui/common/app_context.h"

class QWidget;

namespace kelvarn {

// The main window's opacity at rest, out of 255.
inline constexpr int kMainWindowOpacity = 250;
// The wait between two steps of a fade.
inline constexpr int kFadeStepMilliseconds = 10;

// Waits `milliseconds` with the windows painted but taking no input; the context's `sleep`, when
// set (tests), waits instead.
void pauseWindows(const AppContext& context, int milliseconds);

// Changes `window`'s opacity by `step` (out of 255) `steps` times, from what it is now, each step
// painted and followed by a pause.
void fadeWindow(QWidget* window, const AppContext& context, int step, int steps);

}  // namespace kelvarn
