// The author list window "Редактирование списка авторов": the catalogue's author names on the
// left, the names the import filters by on the right, kept in AvtLst.lst.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <mutex>
#include <string>
#include <vector>

#include "gui/common/app_context.h"
#include "gui/common/window_set.h"

namespace kelvarn {

class AuthorListWindow : public QWidget {
    Q_OBJECT
public:
    AuthorListWindow(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QLabel* Label1;
    QListWidget* List_Name_Base;
    QLabel* Label2;
    QListWidget* List_Check_Name;
    QPushButton* Add_But;
    QPushButton* Refr_But;
    QLabel* Label3;
    QLineEdit* Edit1;
    QLineEdit* Name_Avt;
    QPushButton* ManualADD_But;
    QPushButton* Del_Name_But;

    // The chosen names in Windows-1251, in the list's order. Safe to call from any thread.
    std::vector<std::string> chosenNames() const;

    // Loads AvtLst.lst into the chosen list and shows it in the import window.
    void FormCreate();
    // Saves the chosen list; false, with the error shown, when it could not be written.
    bool FormCloseQuery();

    void Refr_ButClick();
    void Add_ButClick();
    void Edit1Change();
    void List_Name_BaseClick(QListWidgetItem* item);
    void Name_AvtChange();
    void ManualADD_ButClick();
    void Del_Name_ButClick();

signals:
    // The chosen names were loaded, added to or removed from.
    void chosenNamesChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void chosenListChanged();
    void showChosenListInImport();

    const AppContext& context_;
    Windows& windows_;
    mutable std::mutex chosenGuard_;
    std::vector<std::string> chosen_;
};

}  // namespace kelvarn
