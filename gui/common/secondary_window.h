// SPDX-License-Identifier: GPL-3.0-or-later
// A window opened from another one through the main menu or a button.
#pragma once

#include <QWidget>

namespace kelvarn {

class SecondaryWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Shown centred over `owner` the first time, brought forward after that; a window with work
    // of its own at each opening does it here too.
    virtual void open(QWidget* owner);
};

}  // namespace kelvarn
