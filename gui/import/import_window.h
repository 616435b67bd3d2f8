// SPDX-License-Identifier: GPL-3.0-or-later
// The site import window "Проверить DuzuRedu": the selection controls, the grid of the last
// run's candidates, and the run itself on a worker thread that reports back in order.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/import/import_run.h"
#include "core/import/selection.h"
#include "core/storage/settings.h"
#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class ImportGridModel;

class ImportWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit ImportWindow(const AppContext& context, QWidget* parent = nullptr);
    ~ImportWindow() override;

    bool running() const { return worker_.joinable() && !finished_; }
    // Stops a run under way and waits for the worker; the program calls it before it ends.
    void stopRun();
    // Writes the four selection settings; an IoError goes to the caller.
    void saveSettings();

    // The grid's rows as the last run left them.
    const std::vector<ImportRow>& gridRows() const;
    // What the worker reads.
    const LiveSelection& selection() const { return selection_; }

public slots:
    // The author window's chosen names, which the author selection filters by.
    void setChosenNames(const std::vector<std::string>& names);
    // The chosen names as the box under "Отбор по автору" shows them.
    void showChosenNames(const QString& summary);

signals:
    void runFinished(const kelvarn::ImportResult& result);
    // A record the run appended to the catalogue, with its number.
    void recordSaved(std::uint32_t number, const kelvarn::MixRecord& record);
    // "Список": the author list is to be edited.
    void authorListRequested();

private:
    class Observer;

    QWidget* buildSelection();
    void buildGrid();
    void buildProgressPanel();
    void readSettings();
    // "Начать": starts a run on the worker unless one is under way.
    void startImport();
    // Copies the controls and the chosen names for the worker to read.
    void selectionChanged();
    // The ticks of the style check list, items 0..13.
    StyleChecks checkedStyles() const;
    void finishRun(const ImportResult& result);

    const AppContext& context_;
    Settings settings_;
    ImportGridModel* model_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QCheckBox* byStyleBox_ = nullptr;
    QListWidget* styleList_ = nullptr;
    QCheckBox* byAuthorBox_ = nullptr;
    QLineEdit* chosenNamesBox_ = nullptr;
    QCheckBox* addToQueueBox_ = nullptr;
    QTableView* grid_ = nullptr;
    QWidget* progressPanel_ = nullptr;
    QLabel* stageLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    std::vector<std::string> chosenNames_;
    LiveSelection selection_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    bool finished_ = true;
};

}  // namespace kelvarn
