// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/info/about_window.h"

#include <QPlainTextEdit>

#include "gui/common/memo_file.h"
#include "gui/common/window_util.h"

namespace kelvarn {
namespace {

const char* const kLetter =
    "Здравствуйте, дорогой пользователь!\n"
    "\n"
    "Эту программу я написал для себя, а потом понял,\n"
    "что она пригодится и вам. Скачанные миксы копятся\n"
    "в папке, а ссылки на их страницы, полные названия,\n"
    "авторы и прочие данные со временем теряются.\n"
    "Kelvarn хранит всё это в одном месте.\n"
    "\n"
    "Записи можно вводить вручную или находить новые\n"
    "миксы, проверяя список на сайте. В каждой записи\n"
    "хранятся название, ID, стиль и e-mail автора.\n"
    "Список закачки собирается без подключения к сети,\n"
    "а скачанные файлы могут получать полное имя микса.\n"
    "Вид «новинки» показывает записи за выбранное\n"
    "число дней. Страница микса открывается одним\n"
    "щелчком. Можно скачать все миксы нужного стиля,\n"
    "искать записи сразу по нескольким полям и отмечать\n"
    "миксы как избранные, чтобы следить за комментариями.\n"
    "\n"
    "Обо всём этом подробнее рассказано в помощи.\n"
    "\n"
    "Приятного прослушивания!\n"
    "\n"
    "Kelvarn 4.0";

}  // namespace

AboutWindow::AboutWindow(const AppContext& context, QWidget* parent) : SecondaryWindow(parent) {
    auto* letter = named(new QPlainTextEdit(QString::fromUtf8(kLetter), this), "letter");
    letter->setReadOnly(true);
    letter->setFixedSize(500, 440);
    setTextColours(letter, Qt::black, Qt::white);
    QTextOption centred = letter->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    letter->document()->setDefaultTextOption(centred);
    setUpSingleViewWindow(this, QStringLiteral("About"), true, letter);
    LoadMemoFile(letter, context.file("About"));
}

}  // namespace kelvarn
