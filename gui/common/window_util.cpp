// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/common/window_util.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QTranslator>
#include <QWidget>
#include <algorithm>
#include <array>

#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"

namespace kelvarn {

QFont programFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QSize frameExtra(const QWidget* window) {
    QSize extra = window->frameGeometry().size() - window->size();
    if (extra.height() <= 0) {
        extra.setHeight(window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window));
    }
    return extra;
}

void moveOnScreen(QWidget* window, QPoint centre, const QScreen* screen) {
    QSize frame = window->size() + frameExtra(window);
    QPoint at = centre - QPoint(frame.width() / 2, frame.height() / 2);
    if (screen != nullptr) {
        QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(),
                           std::max(room.left(), room.x() + room.width() - frame.width())));
        at.setY(std::clamp(at.y(), room.top(),
                           std::max(room.top(), room.y() + room.height() - frame.height())));
    }
    window->move(at);
}

void showCentredOver(QWidget* window, const QWidget* owner) {
    if (!window->isVisible() && owner != nullptr) {
        window->adjustSize();
        moveOnScreen(window, owner->frameGeometry().center(), owner->screen());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

QString plainToolTip(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

void loadQtTranslations() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

QString fromCp1251(std::string_view bytes) {
    static const std::array<QChar, 256> table = [] {
        std::array<QChar, 256> t{};
        for (std::size_t b = 0; b < t.size(); ++b) {
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

void setUpDarkCheckList(QListWidget* list) {
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, Qt::black);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Text, Qt::white);
    }
    // The style draws a tick box's frame in a darker shade of the window colour.
    palette.setColor(QPalette::Window, Qt::lightGray);
    list->setPalette(palette);
}

void setUpDarkEditBox(QLineEdit* box) {
    box->setStyleSheet(
        QStringLiteral("QLineEdit { background: black; color: white; border: 1px solid gray; }"
                       "QLineEdit:focus { border-color: white; }"));
}

void setUpGridView(QTableView* grid) {
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(16);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void setUpSecondaryWindow(QWidget* window, const QString& caption, bool stayOnTop, int opacity,
                          bool minimizeButton) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (minimizeButton) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (stayOnTop) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    window->setWindowFlags(flags);
    window->setWindowTitle(caption);
    window->setWindowOpacity(opacity / 255.0);
    // Closing the main window ends the program; a secondary window's close only hides it.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void keepAboveProgramWindows(QWidget* dialog) {
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
}

void useSmallFont(QWidget* window) {
    QFont small = window->font();
    small.setPointSize(8);
    window->setFont(small);
}

void setTextColours(QWidget* view, const QColor& base, const QColor& text) {
    QPalette palette = view->palette();
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, text);
    view->setPalette(palette);
}

void setUpSingleViewWindow(QWidget* window, const QString& caption, bool minimizeButton,
                           QWidget* view) {
    setUpSecondaryWindow(window, caption, true, 255, minimizeButton);
    useSmallFont(window);
    auto* layout = new QHBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QComboBox* styleList(QWidget* parent) {
    auto* list = new QComboBox(parent);
    for (int code = 0; code < kStyleCount; ++code) {
        list->addItem(fromCp1251(StyleName(static_cast<std::uint8_t>(code))));
    }
    QFont font = list->font();
    font.setBold(true);
    font.setItalic(true);
    list->setFont(font);
    return list;
}

}  // namespace kelvarn
