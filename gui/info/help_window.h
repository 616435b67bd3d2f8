// "Помощь": the program folder's Help file.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include "gui/common/app_context.h"

namespace kelvarn {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(const AppContext& context, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;

private:
    void FormCreate();

    AppContext context_;
};

}  // namespace kelvarn
