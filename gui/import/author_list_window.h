// SPDX-License-Identifier: GPL-3.0-or-later
// The author list window "Редактирование списка авторов": the catalogue's author names on the
// left, the names the import filters by on the right, kept in AvtLst.lst.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <string>
#include <vector>

#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class AuthorListWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit AuthorListWindow(const AppContext& context, QWidget* parent = nullptr);

    // The chosen names in Windows-1251, in the list's order.
    std::vector<std::string> chosenNames() const;

    // Loads AvtLst.lst into the chosen list; made a step of its own so that the start-up load
    // reaches the windows connected to the signals below.
    void loadChosenNames();

signals:
    // The chosen names were loaded, added to or removed from.
    void chosenNamesChanged(const std::vector<std::string>& names);
    // The chosen names as the import window's box shows them ("a;b;", or that the list is
    // empty); empty while they are being saved.
    void summaryChanged(const QString& summary);

protected:
    // Saves the chosen list; on failure the error is shown and the window stays open.
    void closeEvent(QCloseEvent* event) override;

private:
    bool saveChosenNames();
    void refreshBaseNames();
    void addTickedBaseNames();
    void addTypedName();
    void deleteTickedNames();
    void chosenListChanged();
    void showSummary();

    const AppContext& context_;
    QListWidget* baseNames_ = nullptr;
    QListWidget* chosenList_ = nullptr;
    QLineEdit* findBox_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
};

}  // namespace kelvarn
