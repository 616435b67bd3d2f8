#include "gui/main_window/record_editor.h"

#include "gui/common/window_util.h"

namespace kelvarn {

RecordEditor::RecordEditor(const AppContext&, Windows&, QWidget* parent) : QWidget(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Mix номер: "), true, 230);
}

}  // namespace kelvarn
