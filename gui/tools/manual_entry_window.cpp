// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/tools/manual_entry_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QRegularExpressionValidator>

#include "core/storage/io_error.h"
#include "core/storage/ole_date.h"
#include "core/tools/manual_entry.h"
#include "gui/common/message_box.h"
#include "gui/common/window_fade.h"
#include "gui/common/window_util.h"

namespace kelvarn {
namespace {

// The fade of the main window takes ten steps of 25 from its opacity at rest down to 0, and back.
constexpr int kFadeStep = 25;
constexpr int kFadeSteps = kMainWindowOpacity / kFadeStep;

const QString kFadeOut = QStringLiteral("<");
const QString kFadeIn = QStringLiteral(">");

int opacityOf(const QWidget* window) {
    return qRound(window->windowOpacity() * 255);
}

}  // namespace

ManualEntryWindow::ManualEntryWindow(const AppContext& context, QWidget* mainWindow,
                                     QWidget* parent)
    : SecondaryWindow(parent), context_(context), mainWindow_(mainWindow) {
    setUpSecondaryWindow(this, QStringLiteral("Добавить запись"), true, 215);
    auto* layout = new QGridLayout(this);
    int row = 0;
    auto addCaption = [this, layout, &row](const QString& text) {
        auto* caption = new QLabel(text, this);
        caption->setStyleSheet(QStringLiteral("color: gray; font-weight: bold;"));
        layout->addWidget(caption, row++, 0);
    };
    auto addBox = [this, layout, &row, &addCaption](const QString& caption, const char* name) {
        addCaption(caption);
        auto* box = named(new QLineEdit(this), name);
        setUpDarkEditBox(box);
        layout->addWidget(box, row++, 0);
        return box;
    };
    idBox_ = addBox(QStringLiteral("ID микса"), "idBox");
    // Six digits: the record keeps six, and the ID list must name the record it stands for.
    idBox_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), idBox_));
    authorBox_ = addBox(QStringLiteral("Автор"), "authorBox");
    titleBox_ = addBox(QStringLiteral("Название"), "titleBox");
    emailBox_ = addBox(QStringLiteral("E-mail"), "emailBox");

    addCaption(QStringLiteral("Стиль"));
    styleBox_ = named(styleList(this), "styleBox");
    layout->addWidget(styleBox_, row++, 0);

    fileBox_ = named(new QCheckBox(QStringLiteral("Файл"), this), "fileBox");
    queueBox_ = named(new QCheckBox(QStringLiteral("Добавить на закачку"), this), "queueBox");
    for (QCheckBox* box : {fileBox_, queueBox_}) {
        box->setStyleSheet(QStringLiteral("color: lime;"));
        layout->addWidget(box, row++, 0);
    }
    addButton_ = named(new QPushButton(QStringLiteral("Добавить"), this), "addButton");
    layout->addWidget(addButton_, row++, 0);

    fadeButton_ = named(new QPushButton(kFadeOut, this), "fadeButton");
    fadeButton_->setToolTip(QStringLiteral("Показать/скрыть главное окно"));
    fadeButton_->setFixedWidth(17);
    fadeButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    layout->addWidget(fadeButton_, 0, 1, row, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    clearAll();
    move(-1, 113);

    connect(addButton_, &QPushButton::clicked, this, &ManualEntryWindow::add);
    connect(fileBox_, &QCheckBox::toggled, this, [this](bool ticked) {
        // A record whose file is there needs no download; unticking leaves the queue box alone.
        if (ticked) {
            queueBox_->setChecked(false);
        }
    });
    connect(fadeButton_, &QPushButton::clicked, this, &ManualEntryWindow::toggleMainWindow);
}

void ManualEntryWindow::open(QWidget*) {
    show();
    raise();
    activateWindow();
}

void ManualEntryWindow::clearAll() {
    for (QLineEdit* box : {idBox_, authorBox_, titleBox_, emailBox_}) {
        box->clear();
    }
    styleBox_->setCurrentIndex(kUnknownStyle);
    fileBox_->setChecked(false);
    queueBox_->setChecked(true);
}

void ManualEntryWindow::add() {
    ManualEntry entry;
    entry.id = toCp1251(idBox_->text());
    entry.author = toCp1251(authorBox_->text());
    entry.title = toCp1251(titleBox_->text());
    entry.email = toCp1251(emailBox_->text());
    entry.style = static_cast<std::uint8_t>(styleBox_->currentIndex());
    entry.hasFile = fileBox_->isChecked();
    entry.queue = queueBox_->isChecked();
    ManualEntryResult result;
    try {
        result = addManualEntry(context_.folder, entry,
                                context_.today ? context_.today() : oleToday(), oleTimeNow());
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return;
    }
    switch (result.outcome) {
        case ManualEntryResult::Outcome::NoName:
        case ManualEntryResult::Outcome::NoId:
            MessageBox::beep();
            MessageBox::error(this, fromCp1251(result.message));
            return;
        case ManualEntryResult::Outcome::Exists:
            // The typed values stay for a corrected ID.
            MessageBox::beep();
            MessageBox::information(this, fromCp1251(result.message));
            break;
        case ManualEntryResult::Outcome::Added:
            emit recordAdded(result.number, result.record);
            clearAll();
            break;
    }
    context_.PlaySoundFile("add.wav");
}

void ManualEntryWindow::toggleMainWindow() {
    mainFaded_ = !mainFaded_;
    fadeButton_->setText(mainFaded_ ? kFadeIn : kFadeOut);
    fadeWindow(mainWindow_, context_, mainFaded_ ? -kFadeStep : kFadeStep, kFadeSteps);
    context_.PlaySoundFile("rest.wav");
}

void ManualEntryWindow::closeEvent(QCloseEvent* event) {
    if (opacityOf(mainWindow_) != kMainWindowOpacity) {
        mainWindow_->setWindowOpacity(kMainWindowOpacity / 255.0);
    }
    mainFaded_ = false;
    fadeButton_->setText(kFadeOut);
    event->accept();
}

}  // namespace kelvarn
