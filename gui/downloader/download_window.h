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
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

#include "core/downloader/download_run.h"
#include "core/storage/settings.h"
#include "gui/common/app_context.h"
#include "gui/common/window_set.h"

namespace kelvarn {

class DownloadQueueModel;

class DownloadWindow : public QWidget {
    Q_OBJECT
public:
    DownloadWindow(const AppContext& context, Windows& windows, QWidget* parent = nullptr);
    ~DownloadWindow() override;

    QTableView* List;
    QLineEdit* Path;
    QCheckBox* ADD_FullName;
    QLabel* recive;
    QProgressBar* Status_Down;
    QPushButton* DelBut;
    QPushButton* Dell_All;
    QPushButton* Button1;
    QPushButton* Pause_but;
    QPushButton* Button2;
    QAction* Down_Cont;
    QAction* Del_cont;

    // Whether the grid was loaded since the window was last opened.
    bool ListLoaded = false;
    // Empties the grid and loads the queue's waiting entries.
    void Refresh_List();
    bool FormCloseQuery();

    // The save folder, ending in "/"; the folder chooser reads and sets it.
    QString savePath() const;
    void setSavePath(const QString& path);

    // The rows as the grid shows them.
    const DownloadRows& rows() const { return rows_; }
    // Row 0 is the first entry; the placeholder row of an empty queue is no row.
    void selectRow(int row);
    bool running() const { return worker_.joinable() && !finished_; }
    // Stops a run under way and waits for the worker; closing and the program's end call it.
    void stopRun();

    void deleteSelected();
    void deleteAll();
    void startBatch();
    void startSingle();
    void togglePause();
    void abortRun();

    // The worker's report that a row's status has changed: it is the row being processed.
    void showRowStatus(int row);

signals:
    void runFinished(const kelvarn::DownloadResult& result);

private:
    void FormCreate();
    void start(bool batch);
    void setRunning(bool running);
    void finishRun(int run, const DownloadResult& result);
    void refreshCaption();
    DownloadSettings runSettings() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    const AppContext& context_;
    Windows& windows_;
    Settings settings_;
    DownloadRows rows_;
    DownloadQueueModel* model_;
    QProgressBar* LoadBar_list;
    QTimer* Timer;
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
