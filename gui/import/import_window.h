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
#include <QWidget>
#include <atomic>
#include <thread>

#include "core/import/import_run.h"
#include "core/import/selection.h"
#include "core/storage/settings.h"
#include "gui/common/app_context.h"
#include "gui/common/window_set.h"

namespace kelvarn {

class ImportGridModel;

class ImportWindow : public QWidget {
    Q_OBJECT
public:
    ImportWindow(const AppContext& context, Windows& windows, QWidget* parent = nullptr);
    ~ImportWindow() override;

    QPushButton* Button1;
    QCheckBox* Check_Styles;
    QListWidget* CheckListBox1;
    QCheckBox* Check_Avtor;
    QLineEdit* Edit1;
    QPushButton* List_Avtors_Edit;
    QCheckBox* Add_down;
    QTableView* Table;
    QWidget* Panel1;
    QLabel* Load;
    QProgressBar* LoadBar;
    QLabel* Image1;

    // The ticks of the style check list, items 0..13.
    StyleChecks checkedStyles() const;

    // "Начать": starts a run on the worker unless one is under way.
    void Button1Click();
    bool running() const { return worker_.joinable() && !finished_; }
    // Stops a run under way and waits for the worker; the program calls it before it ends.
    void stopRun();

    // The grid's rows as the last run left them.
    const std::vector<ImportRow>& gridRows() const;

    // Copies the controls (and the author window's chosen names) for the worker to read.
    void selectionChanged();
    // What the worker reads.
    const LiveSelection& selection() const { return selection_; }

signals:
    void runFinished(const kelvarn::ImportResult& result);

private:
    void FormCreate();
    void finishRun(const ImportResult& result);

    const AppContext& context_;
    Windows& windows_;
    Settings settings_;
    ImportGridModel* model_;
    LiveSelection selection_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    bool finished_ = true;
};

}  // namespace kelvarn
