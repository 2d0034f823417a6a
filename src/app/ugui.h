#pragma once
// The looks editor: every image of the looks with its name and size on the transport bar's
// colour, a click replaces one from a picture file of the same size, and the set is opened,
// saved and restored to the built-in images. Made on first use from the transport bar's
// "GUI..." entry, shown not modal, always on top.

#include "gui/scroll.h"
#include "platform/forms/combobox.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/form.h"
#include "platform/forms/label.h"
#include "platform/forms/scrollbar.h"
#include "platform/menus/commdlg.h"
#include "platform/menus/menus.h"

#include <memory>
#include <string>
#include <vector>

// One listed image: its name and its index in the looks.
struct TGuiItem {
    std::string Name;
    int Index = -1;
};

class TfmGui : public platform::TForm {
public:
    explicit TfmGui(platform::TComponent* AOwner);
    ~TfmGui() override;
    std::string_view ClassName() const override { return "TfmGui"; }

    platform::TLabel* Label2;
    platform::TComboBox* comboCategory;
    platform::TPanel* Panel1;
    TScroll* surface;
    platform::TScrollBar* scrolly;
    std::unique_ptr<platform::TMainMenu> MainMenu1;
    platform::TOpenPictureDialog OpenPictureDialog1;
    platform::TOpenDialog OpenDialog1;
    platform::TSaveDialog SaveDialog1;
    // Fixed when the form is made: one per entry of the looks then, in set order.
    std::vector<TGuiItem> Items;

    // The list's height: the images' heights plus 8 each.
    int ListHeight() const;
    // Where item i starts in the list.
    int ItemTop(int I) const;

    void FormShow();
    void surfacePaint(platform::TCanvas& C);
    void surfaceMouseDown(int X, int Y);
    void scrollyChange();
    void MouseWheel(int Delta);
    void Open1Click();
    void Save1Click();
    void Saveas1Click();
    void Restore1Click();
    void Close1Click();

    // "Tolvern GUI - " and the looks file's name, or "Default".
    void UpdateCaption();
    // The list and the transport bar's buttons painted again, the scroll range set anew.
    void Changed();

    platform::LRESULT WndProc(platform::UINT Msg, platform::WPARAM W,
                              platform::LPARAM L) override;

protected:
    void DoShow() override;

private:
    void UpdateScrollRange();
};

extern TfmGui* fmGui;

// The transport bar's "GUI...": the looks editor, made on first use, shown.
void ShowLooksEditor();
