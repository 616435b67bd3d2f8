#include "downloader/Download.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "catalogue/io_error.h"
#include "mainwindow/message_box.h"
#include "mainwindow/window_util.h"

namespace kelvarn {

TDownloader::TDownloader(const AppContext& context, Windows& windows, QWidget* parent)
    : QWidget(parent), context_(context), windows_(windows), settings_(context.folder) {
    setUpSecondaryWindow(this, QStringLiteral("Downloader v1.0"), true, 230, true);
    List = new QTableWidget(1, 4, this);
    List->setHorizontalHeaderLabels({QStringLiteral("№"), QStringLiteral("ID микса"),
                                     QStringLiteral("Трек"), QStringLiteral("Размер Kb")});
    List->verticalHeader()->hide();
    List->verticalHeader()->setDefaultSectionSize(16);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setStyleSheet(QStringLiteral("QTableWidget { background: black; color: white; }"));
    List->setMinimumSize(480, 240);
    auto* Label2 = new QLabel(QStringLiteral("Путь для сохранения"), this);
    Label2->setStyleSheet(QStringLiteral("color: silver;"));
    Path = new QLineEdit(this);
    Path->setReadOnly(true);
    Path->setStyleSheet(QStringLiteral("background: black; color: white;"));
    ADD_FullName = new QCheckBox(QStringLiteral("Полное название микса"), this);
    ADD_FullName->setStyleSheet(QStringLiteral("color: red;"));
    auto* layout = new QVBoxLayout(this);
    for (QWidget* w : std::initializer_list<QWidget*>{List, Label2, Path, ADD_FullName}) {
        layout->addWidget(w);
    }
    FormCreate();
}

void TDownloader::FormCreate() {
    Path->setText(QString::fromStdString(settings_.downloadPath()));
    ADD_FullName->setChecked(settings_.read(keys::FullNames));
}

void TDownloader::Refresh_List() {
    List->clearContents();
    List->setRowCount(1);
}

bool TDownloader::FormCloseQuery() {
    ListLoaded = false;
    try {
        settings_.write(keys::Path, Path->text().toStdString());
        settings_.write(keys::FullNames, ADD_FullName->isChecked());
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    return true;
}

void TDownloader::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
}

}  // namespace kelvarn
