// SPDX-License-Identifier: GPL-3.0-or-later
// The record grids' context-menu commands and "В HTML".
#include "gui/main_window/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QUrl>

#include "core/catalogue/html_export.h"
#include "core/catalogue/record_edit.h"
#include "core/storage/data_files.h"
#include "core/storage/io_error.h"
#include "core/tools/downloaded_mixes.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/main_window/record_editor.h"
#include "gui/tools/mix_contents_window.h"

namespace kelvarn {

void MainWindow::recordChangedOnDisk(std::uint32_t number) {
    MessageBox::message(
        this, QStringLiteral("Запись %1 изменилась на диске: база перечитана.").arg(number));
    reloadKeepingPlace();
}

void MainWindow::recordCommand(VisibleGrid which, RecordCommand command) {
    const RecordGrid& grid = *view(which).rows;
    const int row = menuRow_;
    // A row gone since the menu opened (a load, another command) names nothing to act on.
    if (!grid.isRecordRow(row)) {
        return;
    }
    try {
        switch (command) {
            case RecordCommand::OpenUrl:
                QDesktopServices::openUrl(
                    QUrl(fromCp1251(copiedAddress(siteAddress(), grid, row))));
                break;
            case RecordCommand::CopyUrl:
                QApplication::clipboard()->setText(
                    fromCp1251(copiedAddress(siteAddress(), grid, row)));
                break;
            case RecordCommand::CopyEmail:
                QApplication::clipboard()->setText(fromCp1251(grid.cell(kColEmail, row)));
                break;
            case RecordCommand::CopyName:
                QApplication::clipboard()->setText(fromCp1251(copiedName(grid, row)));
                break;
            case RecordCommand::Queue:
                queueRows(grid, row);
                break;
            case RecordCommand::QueueAll:
                queueRows(grid, std::nullopt);
                break;
            case RecordCommand::Edit:
                editRecord(which, row);
                break;
            case RecordCommand::Recycle:
                moveRecord(which,
                           which == VisibleGrid::Table ? RecordMove::Recycle
                                                       : RecordMove::RecycleFavourite,
                           row, "del.wav");
                break;
            case RecordCommand::Favourite:
                moveRecord(which, RecordMove::Favourite, row, "fav.wav");
                break;
            case RecordCommand::Unfavourite:
                moveRecord(which, RecordMove::Unfavourite, row, "rest.wav");
                break;
            case RecordCommand::Restore:
                moveRecord(which, RecordMove::Restore, row, "rest.wav");
                break;
            case RecordCommand::Inspect:
                if (std::optional<std::string> file = downloadedFileOf(grid, row)) {
                    windows_.mixContentsWindow->showFile(this, *file);
                }
                break;
        }
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

std::optional<std::string> MainWindow::downloadedFileOf(const RecordGrid& grid, int row) const {
    return downloadedFile(saveFolderOf(settings_), grid.cell(kColId, row),
                          grid.cell(kColAuthor, row), grid.cell(kColTitle, row));
}

void MainWindow::enableContentsItem(QMenu* menu, VisibleGrid which) {
    QAction* item = menu->findChild<QAction*>(QStringLiteral("inspect"));
    if (item == nullptr || !item->isEnabled()) {
        return;
    }
    try {
        item->setEnabled(downloadedFileOf(*view(which).rows, menuRow_).has_value());
    } catch (const IoError&) {
        item->setEnabled(false);
    }
}

void MainWindow::queueRows(const RecordGrid& grid, std::optional<int> row) {
    QueueOutcome outcome;
    CatalogueFile catalogue(context_.file(kCatalogueFileName));
    QueueFile queue(context_.file(kQueueFileName));
    if (row) {
        outcome = queueRow(catalogue, queue, grid, *row);
    } else {
        MessageBox::beep();
        const bool everyRow =
            MessageBox::question(this, QStringLiteral("Information"),
                                 QStringLiteral("Хотите перекачать все заново?"),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        outcome = queueAll(catalogue, queue, grid, everyRow);
    }
    if (!outcome.changed.empty()) {
        recordChangedOnDisk(outcome.changed.front().number);
        return;
    }
    context_.PlaySoundFile("add.wav");
}

void MainWindow::moveRecord(VisibleGrid which, RecordMove move, int row, const char* sound) {
    CatalogueFile catalogue(context_.file(kCatalogueFileName));
    const MoveOutcome outcome = kelvarn::moveRecord(catalogue, views_, move, row);
    if (outcome.write != CheckedWrite::Written) {
        recordChangedOnDisk(recordRefOf(*view(which).rows, row).number);
        return;
    }
    gridsChanged();
    if (outcome.highlight) {
        QTableView* grid = view(which).grid;
        grid->setCurrentIndex(grid->model()->index(*outcome.highlight - 1, kColAuthor));
    }
    context_.PlaySoundFile(sound);
}

void MainWindow::editRecord(VisibleGrid which, int row) {
    const RecordRef ref = recordRefOf(*view(which).rows, row);
    std::optional<MixRecord> record;
    try {
        record = CatalogueFile(context_.file(kCatalogueFileName)).readIfHolding(ref);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return;
    }
    if (!record) {
        recordChangedOnDisk(ref.number);
        return;
    }
    windows_.recordEditor->edit(
        this, ref.number, *record,
        [this, which, ref](const RecordEdit& edit) { return saveEdit(which, ref, edit); });
}

bool MainWindow::saveEdit(VisibleGrid which, const RecordRef& ref, const RecordEdit& edit) {
    CheckedWrite write = CheckedWrite::Declined;
    try {
        CatalogueFile catalogue(context_.file(kCatalogueFileName));
        write = saveRecordEdit(catalogue, ref, edit);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return false;
    }
    if (write == CheckedWrite::Replaced) {
        recordChangedOnDisk(ref.number);
        return true;
    }
    // The rows that show the record now, found by its number and ID: rows may have moved
    // meanwhile.
    auto applyTo = [&](RecordGrid& grid) {
        for (int r = 1; r < grid.rowCount(); ++r) {
            const RecordRef shown = recordRefOf(grid, r);
            if (shown.number == ref.number && shown.id == ref.id) {
                applyRecordEdit(grid, r, edit);
                return;
            }
        }
    };
    if (which == VisibleGrid::Table) {
        applyTo(views_.Swap);
    }
    applyTo(rowsOf(which));
    gridsChanged();
    return true;
}

void MainWindow::exportVisibleGrid() {
    const QString path = FileDialog::saveFileName(this, QStringLiteral("HTML файлы (*.html)"));
    if (path.isEmpty()) {
        return;
    }
    try {
        exportHtml(*visibleView().rows, siteAddress(), path.toStdString(), context_.folder);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

}  // namespace kelvarn
