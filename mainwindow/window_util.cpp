#include "mainwindow/window_util.h"

#include <QWidget>
#include <array>

#include "catalogue/cp1251.h"

namespace kelvarn {

void showCentredOver(QWidget* window, const QWidget* owner) {
    if (!window->isVisible() && owner != nullptr) {
        window->adjustSize();
        QRect frame = owner->frameGeometry();
        window->move(frame.center() - window->rect().center());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

QString fromCp1251(std::string_view bytes) {
    static const std::array<QChar, 256> table = [] {
        std::array<QChar, 256> t{};
        for (int b = 0; b < 256; ++b) {
            t[b] = QChar(static_cast<char16_t>(cp1251ToUnicode(static_cast<unsigned char>(b))));
        }
        return t;
    }();
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        *out++ = table[static_cast<unsigned char>(c)];
    }
    return text;
}

std::string toCp1251(const QString& text) {
    return utf8ToCp1251(text.toStdString()).value_or(std::string());
}

}  // namespace kelvarn
