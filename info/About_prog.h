// "About": a letter from the author; the program folder's About file, when there is one, replaces
// the built-in text.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include "mainwindow/app_context.h"

namespace kelvarn {

class TAbout : public QWidget {
    Q_OBJECT
public:
    explicit TAbout(const AppContext& context, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;

private:
    void FormCreate();

    AppContext context_;
};

}  // namespace kelvarn
