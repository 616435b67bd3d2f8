#include "gui/main_window/record_editor.h"

#include "gui/common/window_util.h"

namespace kelvarn {

RecordEditor::RecordEditor(QWidget* parent) : SecondaryWindow(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Mix номер: "), true, 230);
}

}  // namespace kelvarn
