// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's catalogue loads (the first, with what a killed run left to finish; the menu's
// reload; the reload when the files changed underneath) and its closing sequence.
#include "gui/main_window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <cstdio>
#include <utility>

#include "core/import/save_journal.h"
#include "core/storage/backups.h"
#include "core/storage/data_files.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "core/storage/ole_date.h"
#include "gui/common/message_box.h"
#include "gui/common/record_grid_model.h"
#include "gui/common/secondary_window.h"
#include "gui/common/window_fade.h"
#include "gui/import/author_list_window.h"
#include "gui/import/import_window.h"

namespace kelvarn {

namespace {

// How long the good-bye picture shows before the window fades out, and by how much of 255 each
// step of the fade takes the opacity down.
constexpr qint64 kGoodbyeMilliseconds = 1000;
constexpr int kClosingFadeStep = 10;

// The splash progress bar of the catalogue load, repainted as it moves and paced by the
// "LoadDelay" setting.
class SplashLoad final : public LoadObserver {
public:
    SplashLoad(QWidget* splash, QProgressBar* bar, int delay, std::function<void(int)> pause)
        : splash_(splash), bar_(bar), delay_(delay), pause_(std::move(pause)) {}

    std::uint32_t count() const { return count_; }

    void loadStarted(std::uint32_t count) override {
        count_ = count;
        bar_->setMaximum(static_cast<int>(count));
        bar_->setValue(0);
        step_ = std::max<std::uint32_t>(1, count / static_cast<std::uint32_t>(bar_->width()));
        splash_->repaint();
    }

    void recordLoaded(std::uint32_t number) override {
        // Repaint only when the bar can have grown by a pixel: a million repaints would cost
        // more than the load.
        if (number % step_ == 0 || number == static_cast<std::uint32_t>(bar_->maximum())) {
            bar_->setValue(static_cast<int>(number));
            bar_->repaint();
        }
        if (delay_ > 0) {
            pause_(delay_);
        }
    }

    void loadFinished() override {
        if (delay_ > 0) {
            pause_(250);
        }
    }

private:
    QWidget* splash_;
    QProgressBar* bar_;
    int delay_;
    std::function<void(int)> pause_;
    std::uint32_t step_ = 1;
    std::uint32_t count_ = 0;
};

}  // namespace

void MainWindow::loadCatalogue(bool reload, bool paced) {
    CatalogueFile file(context_.file(kCatalogueFileName));
    // Taken before the read: a file put in its place meanwhile shows at the next check.
    catalogueIdentity_ = FileIdentity(file.path());
    loadedFilter_ = viewFilterFor(onlyNewAction_->isChecked(), notDownloadedAction_->isChecked(),
                                  settings_, context_.today ? context_.today() : oleToday());
    // Once a close is asked for, the rest loads at full speed.
    SplashLoad splash(splash_, loadBar_, paced ? std::max(0, settings_.read(keys::LoadDelay)) : 0,
                      [this](int ms) {
                          if (!closeAfterLoad_) {
                              pauseWindows(context_, ms);
                          }
                      });
    splash_->show();
    splash_->raise();
    splash_->repaint();
    QString failure;
    try {
        if (reload) {
            reloadViews(file, loadedFilter_, views_, &splash);
        } else {
            loadViews(file, loadedFilter_, views_, &splash);
            copyTableToSwap(views_);
        }
    } catch (const IoError& e) {
        failure = QString::fromStdString(e.what());
    }
    knownRecords_ = splash.count();
    splash_->hide();
    loadBar_->setValue(0);
    gridsChanged();
    if (!failure.isEmpty()) {
        MessageBox::error(this, failure);
    }
}

void MainWindow::runLoad(bool reload, bool paced) {
    loading_ = true;
    loadCatalogue(reload, paced);
    loading_ = false;
    // Records the import saved while the load ran; the load may have read some of them.
    for (const auto& [number, record] : std::exchange(savedDuringLoad_, {})) {
        appendToSwap(number, record);
    }
    if (closeAfterLoad_) {
        close();
    }
}

void MainWindow::firstLoad() {
    // Off before the load: a load that fails is shown once, not retried at every tick.
    loadTimer_->stop();
    if (loadTried_) {
        return;
    }
    loadTried_ = true;
    // A restore killed half-way, or an import killed in its save stage: the files are whole
    // before the catalogue is read.
    try {
        finishInterruptedRestore(context_.folder);
        completeInterruptedSave(context_.folder);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    runLoad(false, true);
}

void MainWindow::reloadCatalogue(bool paced) {
    for (const View& v : viewTable_) {
        v.grid->setEnabled(false);
    }
    runLoad(true, paced);
    for (const View& v : viewTable_) {
        v.grid->setEnabled(true);
    }
}

bool MainWindow::catalogueReplaced() const {
    const std::string path = context_.file(kCatalogueFileName);
    return !catalogueIdentity_.stillNamedBy(path) ||
           (fileExists(path) && CatalogueFile(path).count() < knownRecords_);
}

void MainWindow::reloadKeepingPlace() {
    const View& shown = visibleView();
    const QModelIndex current = shown.grid->currentIndex();
    const std::string number =
        current.isValid()
            ? std::string(shown.rows->cell(kColNumber, RecordGridModel::gridRow(current.row())))
            : std::string();
    reloadCatalogue(false);
    showStyleNode();
    const View& now = visibleView();
    for (int r = 1; !number.empty() && r < now.rows->rowCount(); ++r) {
        if (now.rows->cell(kColNumber, r) == number) {
            now.grid->setCurrentIndex(
                now.grid->model()->index(r - 1, std::max(current.column(), 0)));
            break;
        }
    }
}

void MainWindow::appendToSwap(std::uint32_t number, const MixRecord& record) {
    if (loading_) {
        // The load rebuilds Swap whole when it ends: the record waits until then.
        savedDuringLoad_.emplace_back(number, record);
    } else if (number == knownRecords_ + 1) {
        views_.Swap.appendRow(RecordToRow(number, record));
        knownRecords_ = number;
    }
    // Past a gap another process appended records in between: the next click reads them all from
    // the file, this one with them.
}

void MainWindow::readNewerRecords() {
    try {
        appendNewerToSwap(CatalogueFile(context_.file(kCatalogueFileName)), loadedFilter_,
                          views_.Swap, knownRecords_);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

void MainWindow::writeClosingSettings() {
    try {
        settings_.write(keys::News, onlyNewAction_->isChecked());
        settings_.write(keys::Zip, notDownloadedAction_->isChecked());
        windows_.importWindow->saveSettings();
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

void MainWindow::closingSequence() {
    // The good-bye picture answers the close at once, the other windows gone from the screen;
    // what has to end ends behind it.
    for (const auto& [name, window] : windowItems()) {
        window->hide();
    }
    windows_.authorListWindow->hide();
    goodbye_->show();
    goodbye_->raise();
    goodbye_->repaint();
    QElapsedTimer shown;
    shown.start();
    // A run under way ends before anything else closes; it never leaves a record half-written.
    windows_.importWindow->stopRun();
    // The windows of the menu, in its order, then the author list the import window opens.
    for (const auto& [name, window] : windowItems()) {
        window->close();
    }
    windows_.authorListWindow->close();
    writeClosingSettings();
    std::remove(context_.file(kListPageFileName).c_str());

    pauseWindows(context_,
                 static_cast<int>(std::max<qint64>(0, kGoodbyeMilliseconds - shown.elapsed())));
    fadeWindow(this, context_, -kClosingFadeStep, kMainWindowOpacity / kClosingFadeStep);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (loading_) {
        // The load owns the views until it ends; the close follows it.
        closeAfterLoad_ = true;
        event->ignore();
        return;
    }
    if (closing_) {
        // Asked again while the good-bye shows: the close under way ends it.
        event->ignore();
        return;
    }
    closing_ = true;
    closingSequence();
    event->accept();
    QApplication::quit();
}

}  // namespace kelvarn
