// SPDX-License-Identifier: GPL-3.0-or-later
// "Кол-во дней": how many days back a record still counts as new in the "Только новинки" view.
#pragma once

#include <QComboBox>

#include "core/storage/settings.h"
#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class NewDaysWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit NewDaysWindow(const AppContext& context, QWidget* parent = nullptr);

    // Shows the stored number of days anew, then the window.
    void open(QWidget* owner) override;

protected:
    // Stores the chosen number (0 when none is chosen); the window closes even if that fails.
    void closeEvent(QCloseEvent* event) override;

private:
    // A value outside 1..7 leaves the list without a choice.
    void showStoredDays();

    Settings settings_;
    QComboBox* daysBox_ = nullptr;
};

}  // namespace kelvarn
