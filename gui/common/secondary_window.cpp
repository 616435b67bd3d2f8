#include "gui/common/secondary_window.h"

#include "gui/common/window_util.h"

namespace kelvarn {

void SecondaryWindow::open(QWidget* owner) {
    showCentredOver(this, owner);
}

}  // namespace kelvarn
