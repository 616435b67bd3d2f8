#include "gui/info/help_window.h"

#include <QHBoxLayout>

#include "gui/common/memo_file.h"
#include "gui/common/window_util.h"

namespace kelvarn {

HelpWindow::HelpWindow(const AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    // The memo covers the whole window, so the shared black background never shows.
    setUpSecondaryWindow(this, QStringLiteral("Помощь"), true, 255, true);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setFixedSize(520, 440);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memo = Memo1->palette();
    memo.setColor(QPalette::Base, QColor(192, 192, 192));
    memo.setColor(QPalette::Text, Qt::black);
    Memo1->setPalette(memo);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
}

void HelpWindow::FormCreate() {
    LoadMemoFile(Memo1, context_.file("Help"));
}

}  // namespace kelvarn
