#include <QApplication>

#include "catalogue/Set_days_ch.h"
#include "downloader/Change_menu.h"
#include "downloader/Download.h"
#include "import/Avtor_Edit_List.h"
#include "import/Base_Read_Edit.h"
#include "info/About_prog.h"
#include "info/Help_prog.h"
#include "info/O_mne.h"
#include "mainwindow/ChangeForm.h"
#include "mainwindow/Unit1.h"
#include "mainwindow/window_util.h"
#include "mainwindow/windows.h"
#include "tools/Add_man_mix.h"
#include "tools/Info_base.h"
#include "tools/Searcher.h"

namespace kelvarn {

void createWindows(const AppContext& context, Windows& w) {
    QApplication::setFont(programFont());
    w.Form1 = new TForm1(context, w);
    w.ChangeFrm = new TChangeFrm(context, w);
    w.Downloader = new TDownloader(context, w);
    w.Change_Fold = new TChange_Fold(context, w);
    w.GetInetList = new TGetInetList(context, w);
    w.Search_Form = new TSearch_Form(context, w);
    w.Set_days = new TSet_days(context);
    w.Info_form = new TInfo_form(context);
    w.Add_mix_man = new TAdd_mix_man(context, w);
    w.About = new TAbout(context);
    w.O_nas = new TO_nas(context);
    w.Help = new THelp(context);
    w.Avtor_List = new TAvtor_List(context, w);
    // The import reads the chosen names as they stand, edits made during a run included.
    QObject::connect(w.Avtor_List, &TAvtor_List::chosenNamesChanged, w.GetInetList,
                     &TGetInetList::selectionChanged);
    w.GetInetList->selectionChanged();
}

void destroyWindows(Windows& w) {
    delete w.Avtor_List;
    delete w.Help;
    delete w.O_nas;
    delete w.About;
    delete w.Add_mix_man;
    delete w.Info_form;
    delete w.Set_days;
    delete w.Search_Form;
    delete w.GetInetList;
    delete w.Change_Fold;
    delete w.Downloader;
    delete w.ChangeFrm;
    delete w.Form1;
    w = Windows{};
}

}  // namespace kelvarn
