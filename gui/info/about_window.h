// "About": a letter from the author; the program folder's About file, when there is one, replaces
// the built-in text.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include "gui/common/app_context.h"

namespace kelvarn {

class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(const AppContext& context, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;

private:
    void FormCreate();

    AppContext context_;
};

}  // namespace kelvarn
