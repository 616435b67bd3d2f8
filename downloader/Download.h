// The download window "Downloader v1.0": the queue grid and the save folder.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QWidget>

#include "catalogue/settings.h"
#include "mainwindow/app_context.h"
#include "mainwindow/windows.h"

namespace kelvarn {

class TDownloader : public QWidget {
    Q_OBJECT
public:
    TDownloader(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QTableWidget* List;
    QLineEdit* Path;
    QCheckBox* ADD_FullName;

    // Whether the grid was loaded since the window was last opened.
    bool ListLoaded = false;
    void Refresh_List();
    bool FormCloseQuery();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();

    const AppContext& context_;
    Windows& windows_;
    Settings settings_;
};

}  // namespace kelvarn
