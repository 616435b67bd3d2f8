#include "import/Base_Read_Edit.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "catalogue/styles.h"
#include "import/Avtor_Edit_List.h"
#include "mainwindow/window_util.h"

namespace kelvarn {

TGetInetList::TGetInetList(const AppContext& context, Windows& windows, QWidget* parent)
    : QWidget(parent), context_(context), windows_(windows), settings_(context.folder) {
    setUpSecondaryWindow(this, QStringLiteral("Проверить DuzuRedu"), true, 230);
    auto* group = new QGroupBox(QStringLiteral("Отобрать"), this);
    group->setStyleSheet(QStringLiteral("QGroupBox { color: silver; }"));
    Check_Styles = new QCheckBox(QStringLiteral("Отбор по стилю"), group);
    CheckListBox1 = new QListWidget(group);
    for (int code = 0; code < kImportStyleCount; ++code) {
        auto* item = new QListWidgetItem(fromCp1251(StyleName(static_cast<std::uint8_t>(code))),
                                         CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    CheckListBox1->setStyleSheet(
        QStringLiteral("QListWidget { background: black; color: white; }"));
    Check_Avtor = new QCheckBox(QStringLiteral("Отбор по автору"), group);
    Edit1 = new QLineEdit(group);
    Edit1->setReadOnly(true);
    List_Avtors_Edit = new QPushButton(QStringLiteral("Список"), group);
    Add_down = new QCheckBox(QStringLiteral("Добавить на закачку"), group);
    Add_down->setStyleSheet(QStringLiteral("color: lime;"));
    for (QCheckBox* box : {Check_Styles, Check_Avtor}) {
        box->setStyleSheet(QStringLiteral("color: white;"));
    }

    auto* inner = new QVBoxLayout(group);
    for (QWidget* w : std::initializer_list<QWidget*>{Check_Styles, CheckListBox1, Check_Avtor,
                                                      Edit1, List_Avtors_Edit, Add_down}) {
        inner->addWidget(w);
    }
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(group);
    connect(List_Avtors_Edit, &QPushButton::clicked, this,
            [this] { showCentredOver(windows_.Avtor_List, this); });
    FormCreate();
}

void TGetInetList::FormCreate() {
    Check_Styles->setChecked(settings_.read(keys::CheckStyle));
    Check_Avtor->setChecked(settings_.read(keys::CheckAvtor));
    Add_down->setChecked(settings_.read(keys::AddCheck));
    StyleChecks checks = checkedStyles();
    decodeCheckListStyle(settings_.read(keys::CheckListStyle), checks);
    for (int i = 0; i < kImportStyleCount; ++i) {
        CheckListBox1->item(i)->setCheckState(checks[static_cast<std::size_t>(i)] ? Qt::Checked
                                                                                  : Qt::Unchecked);
    }
}

StyleChecks TGetInetList::checkedStyles() const {
    StyleChecks checks{};
    for (int i = 0; i < kImportStyleCount; ++i) {
        checks[static_cast<std::size_t>(i)] = CheckListBox1->item(i)->checkState() == Qt::Checked;
    }
    return checks;
}

}  // namespace kelvarn
