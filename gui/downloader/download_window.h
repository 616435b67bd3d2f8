// SPDX-License-Identifier: GPL-3.0-or-later
// The download window "Downloader v1.0": the queue grid, the save folder, and the download run on
// a worker thread that reports back in order.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <atomic>
#include <thread>

#include "core/downloader/download_run.h"
#include "core/storage/file_identity.h"
#include "core/storage/settings.h"
#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class DownloadQueueModel;

class DownloadWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit DownloadWindow(const AppContext& context, QWidget* parent = nullptr);
    ~DownloadWindow() override;

    // Shows the window; the first opening since the last close loads the queue anew.
    void open(QWidget* owner) override;

    // The save folder, ending in "/".
    QString savePath() const;

public slots:
    void setSavePath(const QString& path);

signals:
    void runFinished(const kelvarn::DownloadResult& result);
    // The folder button: the save folder is to be chosen.
    void folderChoiceRequested();

protected:
    // Stops a run under way, writes the folder settings and compacts the queue.
    void closeEvent(QCloseEvent* event) override;
    // On activation an idle window shows a List.dnl that a restore or a compaction replaced.
    bool event(QEvent* event) override;

private:
    class Observer;
    struct Job;

    void buildControls();
    void connectControls();
    // Empties the grid and loads the queue's waiting entries.
    void loadQueue();
    // Loads the queue again when List.dnl is no longer the file the grid was read from and no
    // run works from the grid's entries; returns whether it did.
    bool reloadReplacedQueue();
    // Row 0 is the first entry; the placeholder row of an empty queue is no row.
    void selectRow(int row);
    bool running() const { return worker_.joinable() && !finished_; }
    // Stops a run under way and waits for the worker.
    void stopRun();
    void deleteSelected();
    void deleteAll();
    void start(bool batch);
    void togglePause();
    void abortRun();
    void setRunning(bool running);
    // `batch`: the run was "Закачать все", which ends with a sound of its own when it got through.
    void finishRun(int run, const DownloadResult& result, bool batch);
    void showIdleAndPlay(const std::string& sound);
    int statusColumnWidth() const;
    // The worker's report that a row's status has changed: it is the row being processed.
    void showRowStatus(int row);
    void refreshCaption();
    DownloadSettings runSettings() const;

    const AppContext& context_;
    Settings settings_;
    DownloadRows rows_;
    DownloadQueueModel* model_ = nullptr;
    QTableView* queueGrid_ = nullptr;
    QProgressBar* queueLoadBar_ = nullptr;
    QLabel* receivedLabel_ = nullptr;
    QProgressBar* transferBar_ = nullptr;
    QLineEdit* folderBox_ = nullptr;
    QPushButton* folderButton_ = nullptr;
    QCheckBox* fullNamesBox_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* deleteAllButton_ = nullptr;
    QPushButton* downloadAllButton_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* abortButton_ = nullptr;
    QMenu* rowMenu_ = nullptr;
    QAction* downloadRowAction_ = nullptr;
    QAction* deleteRowAction_ = nullptr;
    QTimer* captionTimer_ = nullptr;
    // The List.dnl the grid was loaded from.
    FileIdentity queueIdentity_;
    // Whether the grid was loaded since the window was last opened.
    bool queueLoaded_ = false;
    int selectedRow_ = 0;
    int currentRow_ = -1;
    // Reports of a run the window has let go are dropped.
    int run_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    std::thread worker_;
    bool finished_ = true;
};

}  // namespace kelvarn
