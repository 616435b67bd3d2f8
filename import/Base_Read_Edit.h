// The site import window "Проверить DuzuRedu": its selection controls, read from the settings at
// creation (the main window writes them back when the program closes).
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include "catalogue/settings.h"
#include "mainwindow/app_context.h"
#include "mainwindow/windows.h"

namespace kelvarn {

class TGetInetList : public QWidget {
    Q_OBJECT
public:
    TGetInetList(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QCheckBox* Check_Styles;
    QListWidget* CheckListBox1;
    QCheckBox* Check_Avtor;
    QLineEdit* Edit1;
    QPushButton* List_Avtors_Edit;
    QCheckBox* Add_down;

    // The ticks of the style check list, items 0..13.
    StyleChecks checkedStyles() const;

private:
    void FormCreate();

    const AppContext& context_;
    Windows& windows_;
    Settings settings_;
};

}  // namespace kelvarn
