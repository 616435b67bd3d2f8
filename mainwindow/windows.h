// The program's thirteen windows, one of each, created at start-up and kept to the end. Every
// window reaches the others through this one set of references.
#pragma once

namespace kelvarn {

struct AppContext;
class TForm1;
class TChangeFrm;
class TDownloader;
class TChange_Fold;
class TGetInetList;
class TSearch_Form;
class TSet_days;
class TInfo_form;
class TAdd_mix_man;
class TAbout;
class TO_nas;
class THelp;
class TAvtor_List;

struct Windows {
    TForm1* Form1 = nullptr;
    TChangeFrm* ChangeFrm = nullptr;
    TDownloader* Downloader = nullptr;
    TChange_Fold* Change_Fold = nullptr;
    TGetInetList* GetInetList = nullptr;
    TSearch_Form* Search_Form = nullptr;
    TSet_days* Set_days = nullptr;
    TInfo_form* Info_form = nullptr;
    TAdd_mix_man* Add_mix_man = nullptr;
    TAbout* About = nullptr;
    TO_nas* O_nas = nullptr;
    THelp* Help = nullptr;
    TAvtor_List* Avtor_List = nullptr;
};

// Creates the windows in start-up order, the main window first; each runs its creation handler
// as it is made.
void createWindows(const AppContext& context, Windows& windows);

// Deletes them, the main window last.
void destroyWindows(Windows& windows);

}  // namespace kelvarn
