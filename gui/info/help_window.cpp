// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/info/help_window.h"

#include <QPlainTextEdit>

#include "gui/common/memo_file.h"
#include "gui/common/window_util.h"

namespace kelvarn {

HelpWindow::HelpWindow(const AppContext& context, QWidget* parent) : SecondaryWindow(parent) {
    // The text covers the whole window, so the shared black background never shows.
    auto* help = named(new QPlainTextEdit(this), "helpText");
    help->setReadOnly(true);
    help->setFixedSize(520, 440);
    help->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextColours(help, QColor(192, 192, 192), Qt::black);
    setUpSingleViewWindow(this, QStringLiteral("Помощь"), true, help);
    // The text lines its columns up with spaces, which only a fixed-pitch font keeps.
    QFont fixed = help->font();
    fixed.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono")});
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    help->setFont(fixed);
    LoadMemoFile(help, context.file("Help"));
}

}  // namespace kelvarn
