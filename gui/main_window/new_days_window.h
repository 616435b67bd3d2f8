// "Кол-во дней": how many days back a record still counts as new in the "Только новинки" view.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QWidget>
#include <optional>

#include "core/storage/settings.h"
#include "gui/common/app_context.h"

namespace kelvarn {

class NewDaysWindow : public QWidget {
    Q_OBJECT
public:
    explicit NewDaysWindow(const AppContext& context, QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* Days;
    QLabel* Label2;

    // Shows the stored number of days; a value outside 1..7 leaves the list without a choice.
    void Refresh_Date();
    // Stores the chosen number (0 when none is chosen); the window closes even if that fails.
    bool FormCloseQuery();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();

    AppContext context_;
    std::optional<Settings> settings_;
};

}  // namespace kelvarn
