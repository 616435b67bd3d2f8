// SPDX-License-Identifier: GPL-3.0-or-later
// The record editor "Mix номер: N": six fields of one record, saved by the main window on "ОК".
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <cstdint>
#include <functional>

#include "core/catalogue/mix_record.h"
#include "core/catalogue/record_edit.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class RecordEditor : public SecondaryWindow {
    Q_OBJECT
public:
    explicit RecordEditor(QWidget* parent = nullptr);

    // What "ОК" does with the values; false keeps the editor open (the save failed).
    using Save = std::function<bool(const RecordEdit& edit)>;

    // Shows record `number` as the file holds it; a second call replaces what is shown. "ОК" hands
    // `save` only the fields the user changed, and closes without it when there are none.
    void edit(QWidget* owner, std::uint32_t number, const MixRecord& record, Save save);

private:
    // What the editor's boxes hold.
    struct Values {
        QString author;
        QString title;
        QString email;
        int style = -1;
        int rating = -1;
        bool hasFile = false;
    };

    Values shownValues() const;
    void confirm();

    QLineEdit* author_ = nullptr;
    QLineEdit* title_ = nullptr;
    QLineEdit* email_ = nullptr;
    QComboBox* style_ = nullptr;
    QComboBox* rating_ = nullptr;
    QCheckBox* hasFile_ = nullptr;
    Save save_;
    Values opened_;
};

}  // namespace kelvarn
