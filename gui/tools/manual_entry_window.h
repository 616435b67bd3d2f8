// SPDX-License-Identifier: GPL-3.0-or-later
// The manual entry window "Добавить запись": one record typed in by hand, added to the catalogue,
// the ID list and, when asked, the download queue; it stays open for the next one. Its "<" button
// fades the main window out of the way and back.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>

#include "core/catalogue/mix_record.h"
#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class ManualEntryWindow : public SecondaryWindow {
    Q_OBJECT
public:
    // `mainWindow` is the window the "<" button fades.
    ManualEntryWindow(const AppContext& context, QWidget* mainWindow, QWidget* parent = nullptr);

    // Shown where it was left: at first at the screen's left edge, beside the main window rather
    // than over it.
    void open(QWidget* owner) override;

signals:
    // A record appended to the catalogue, with its number.
    void recordAdded(std::uint32_t number, const kelvarn::MixRecord& record);

protected:
    // A faded main window comes back at once: nothing else could bring it back.
    void closeEvent(QCloseEvent* event) override;

private:
    // "Добавить".
    void add();
    // The boxes as at start: empty, "Неизвестный", "Файл" unticked, "Добавить на закачку" ticked.
    void clearAll();
    // "<" fades the main window out, ">" back in.
    void toggleMainWindow();

    const AppContext& context_;
    QWidget* mainWindow_ = nullptr;
    QLineEdit* idBox_ = nullptr;
    QLineEdit* authorBox_ = nullptr;
    QLineEdit* titleBox_ = nullptr;
    QLineEdit* emailBox_ = nullptr;
    QComboBox* styleBox_ = nullptr;
    QCheckBox* fileBox_ = nullptr;
    QCheckBox* queueBox_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* fadeButton_ = nullptr;
    bool mainFaded_ = false;
};

}  // namespace kelvarn
