// SPDX-License-Identifier: GPL-3.0-or-later
// "Разработчики": the two contributors, with a pair of level-meter strips jumping between them
// while the window is open.
#pragma once

#include <QLabel>
#include <QTimer>
#include <random>

#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class CreditsWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit CreditsWindow(const AppContext& context, QWidget* parent = nullptr);

    // Starts the strips, then shows the window.
    void open(QWidget* owner) override;
    // Replaces the clock seed, so a run of ticks can be repeated.
    void setRandomSeed(unsigned seed) { random_.seed(seed); }

public slots:
    // A tick of the strips: each shows as much of the meter as its new width, the lower one
    // never more than the upper one.
    void moveMeters();

protected:
    // Stops the strips; closing is always allowed.
    void closeEvent(QCloseEvent* event) override;

private:
    int random(int range);

    QLabel* upperMeter_ = nullptr;
    QLabel* lowerMeter_ = nullptr;
    QTimer* meterTimer_ = nullptr;
    std::mt19937 random_;
};

}  // namespace kelvarn
