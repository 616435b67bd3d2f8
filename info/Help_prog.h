// "Помощь": the program folder's Help file.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include "mainwindow/app_context.h"

namespace kelvarn {

class THelp : public QWidget {
    Q_OBJECT
public:
    explicit THelp(const AppContext& context, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;

private:
    void FormCreate();

    AppContext context_;
};

}  // namespace kelvarn
