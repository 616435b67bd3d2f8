// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/tools/mix_contents_window.h"

#include <QGridLayout>
#include <QHeaderView>

#include "core/storage/io_error.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"

namespace kelvarn {
namespace {

const QString kNone = QStringLiteral("—");

QString utf8(const std::string& text) {
    return QString::fromStdString(text);
}

QTableWidget* twoColumnTable(QWidget* parent, const char* name, const QString& first,
                             const QString& second) {
    auto* table = named(new QTableWidget(0, 2, parent), name);
    table->setHorizontalHeaderLabels({first, second});
    setUpGridView(table);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->setMinimumWidth(360);
    return table;
}

void setRow(QTableWidget* table, int row, const QString& first, const QString& second) {
    table->setItem(row, 0, new QTableWidgetItem(first));
    table->setItem(row, 1, new QTableWidgetItem(second));
}

}  // namespace

MixContentsWindow::MixContentsWindow(QWidget* parent) : SecondaryWindow(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Что внутри"), false, 255);
    auto* layout = new QGridLayout(this);
    int row = 0;
    auto addCaption = [this, layout, &row](const QString& caption) {
        auto* label = new QLabel(caption, this);
        label->setStyleSheet(QStringLiteral("color: gray; font-weight: bold;"));
        layout->addWidget(label, row, 0);
    };
    auto addFact = [this, layout, &row, &addCaption](const QString& caption, const char* name) {
        addCaption(caption);
        auto* value = named(new QLabel(this), name);
        value->setTextFormat(Qt::PlainText);
        layout->addWidget(value, row++, 1);
        return value;
    };
    addCaption(QStringLiteral("Проект"));
    projectList_ = named(new QComboBox(this), "projectList");
    layout->addWidget(projectList_, row++, 1);
    version_ = addFact(QStringLiteral("Версия FL"), "version");
    tempo_ = addFact(QStringLiteral("Темп"), "tempo");
    signature_ = addFact(QStringLiteral("Размер такта"), "signature");
    patterns_ = addFact(QStringLiteral("Паттерны"), "patterns");
    channelCount_ = addFact(QStringLiteral("Каналы"), "channelCount");
    channels_ = named(new QListWidget(this), "channels");
    layout->addWidget(channels_, row++, 0, 1, 2);
    auto addTable = [layout, &row, &addCaption](const QString& caption, QTableWidget* table) {
        addCaption(caption);
        layout->addWidget(table, ++row, 0, 1, 2);
        ++row;
        return table;
    };
    plugins_ = addTable(
        QStringLiteral("Плагины"),
        twoColumnTable(this, "plugins", QStringLiteral("Плагин"), QStringLiteral("Производитель")));
    files_ = addTable(QStringLiteral("Файлы"),
                      twoColumnTable(this, "files", QStringLiteral("Имя"), QStringLiteral("Байт")));
    damaged_ = named(new QLabel(QStringLiteral("Файл проекта повреждён: показано то, что "
                                               "прочитано до повреждения."),
                                this),
                     "damaged");
    damaged_->setStyleSheet(QStringLiteral("color: red;"));
    layout->addWidget(damaged_, row, 0, 1, 2);
    connect(projectList_, &QComboBox::currentIndexChanged, this, &MixContentsWindow::showProject);
}

void MixContentsWindow::showFile(QWidget* owner, const std::string& path) {
    try {
        contents_ = readMixContents(path);
    } catch (const IoError& e) {
        MessageBox::error(owner, utf8(e.what()));
        return;
    }
    setWindowTitle(QStringLiteral("Что внутри: ") + utf8(path.substr(path.find_last_of('/') + 1)));
    showFiles();
    QSignalBlocker quiet(projectList_);
    projectList_->clear();
    for (const MixProject& project : contents_.projects) {
        projectList_->addItem(utf8(project.name));
    }
    projectList_->setEnabled(contents_.projects.size() > 1);
    showProject(contents_.projects.empty() ? -1 : 0);
    open(owner);
}

void MixContentsWindow::showFiles() {
    files_->setRowCount(static_cast<int>(contents_.files.size()));
    for (int r = 0; r < files_->rowCount(); ++r) {
        const MixFile& file = contents_.files[static_cast<std::size_t>(r)];
        setRow(files_, r, utf8(file.name), QString::number(file.bytes));
    }
}

void MixContentsWindow::showProject(int index) {
    static const ProjectFacts kNoProject;
    const ProjectFacts& facts = index >= 0 && index < static_cast<int>(contents_.projects.size())
                                    ? contents_.projects[static_cast<std::size_t>(index)].facts
                                    : kNoProject;
    version_->setText(facts.version.empty() ? kNone : utf8(facts.version));
    tempo_->setText(facts.tempoMilli == 0 ? kNone : utf8(bpmText(facts.tempoMilli)));
    signature_->setText(
        facts.beats == 0 ? kNone : QStringLiteral("%1/%2").arg(facts.beats).arg(facts.beatUnit));
    patterns_->setText(QString::number(facts.patterns));
    channelCount_->setText(QString::number(facts.channels));
    channels_->clear();
    for (const std::string& name : facts.channelNames) {
        channels_->addItem(utf8(name));
    }
    plugins_->setRowCount(static_cast<int>(facts.plugins.size()));
    for (int r = 0; r < plugins_->rowCount(); ++r) {
        const ProjectPlugin& plugin = facts.plugins[static_cast<std::size_t>(r)];
        setRow(plugins_, r, utf8(plugin.name), utf8(plugin.vendor));
    }
    damaged_->setVisible(facts.damaged);
}

}  // namespace kelvarn
