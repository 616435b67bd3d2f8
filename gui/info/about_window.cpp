#include "gui/info/about_window.h"

#include <QHBoxLayout>

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

AboutWindow::AboutWindow(const AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setUpSecondaryWindow(this, QStringLiteral("About"), true, 255, true);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Memo1 = new QPlainTextEdit(QString::fromUtf8(kLetter), this);
    Memo1->setReadOnly(true);
    Memo1->setFixedSize(500, 440);
    QPalette memo = Memo1->palette();
    memo.setColor(QPalette::Base, Qt::black);
    memo.setColor(QPalette::Text, Qt::white);
    Memo1->setPalette(memo);
    QTextOption centred = Memo1->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    Memo1->document()->setDefaultTextOption(centred);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
}

void AboutWindow::FormCreate() {
    LoadMemoFile(Memo1, context_.file("About"));
}

}  // namespace kelvarn
