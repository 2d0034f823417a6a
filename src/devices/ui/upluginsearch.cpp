#include "devices/ui/upluginsearch.h"

#include "app/dialogs.h"
#include "devices/ui/setupctrls.h"
#include "platform/core/ini.h"
#include "platform/gdi/graphics.h"
#include "song/song.h"

using namespace platform;

TfmPluginSearch* fmPluginSearch = nullptr;

TfmPluginSearch::TfmPluginSearch(TComponent* AOwner) : TForm(AOwner) {
    BorderStyle = bsDialog;
    Position = poScreenCenter;
    Caption = "Plug-ins";
    ClientWidth = 420;
    ClientHeight = 268;
    constexpr int left = 16, width = 388;

    labelInfo = AddSetupLabel(this, "", left, 14);
    {
        TFont f = labelInfo->Font.Get();
        f.Style = fsBold;
        labelInfo->Font = f;
    }
    auto wrapped = [this](const std::string& Text, int Y, int Height) {
        TLabel* l = AddSetupLabel(this, "", left, Y);
        l->AutoSize = false;
        l->WordWrap = true;
        l->SetBounds(left, Y, width, Height);
        l->Caption = Text;
        return l;
    };
    Label3 = wrapped("If you have changed your plug-ins folders, please change the folders below "
                     "to match your changes.",
                     40, 32);
    Label10 = wrapped("Leave blank to specify default Synth and Fx folders", 74, 16);

    TFolderRow synth = AddFolderRow(this, "Softsynths folder", left, 102, width);
    editSynthFolder = synth.Edit;
    Label12 = synth.Browse;
    Label11 = synth.UseDefault;
    TFolderRow fx = AddFolderRow(this, "Effects folder", left, 166, width);
    editFxFolder = fx.Edit;
    Label17 = fx.Browse;
    Label16 = fx.UseDefault;
    Button2 = new TButton(this);
    Button2->Parent = this;
    Button2->Caption = "&Cancel";
    Button2->Cancel = true;
    Button2->ModalResult = mrCancel;
    Button2->SetBounds(ClientWidth - 16 - 75, ClientHeight - 12 - 25, 75, 25);

    Label12->OnClick = [this](TObject*) { Label12Click(); };
    Label17->OnClick = [this](TObject*) { Label17Click(); };
    Label11->OnClick = [this](TObject*) { Label11Click(); };
    Label16->OnClick = [this](TObject*) { Label16Click(); };
}

void TfmPluginSearch::DoShow() {
    // A long path loses its leading folders ("...") until the line fits; the hint keeps it whole.
    TBitmap measure;
    measure.Canvas().Font = labelInfo->Font.Get();
    std::string name = PluginName;
    auto line = [&name] { return "'" + name + "' not found..."; };
    bool cut = false;
    while (measure.Canvas().TextWidth(line()) > ClientWidth() - 2 * labelInfo->Left()) {
        const std::size_t from = cut ? 4 : 0;
        const std::size_t sep = name.find_first_of("/\\", from);
        if (sep == std::string::npos) break;
        name = ".../" + name.substr(sep + 1);
        cut = true;
    }
    labelInfo->Caption = line();
    labelInfo->Hint = PluginName;
    labelInfo->ShowHint = cut;
    editSynthFolder->Text = Song ? Song->SynthPath : std::string();
    editFxFolder->Text = Song ? Song->FxPath : std::string();
    Invalidate(); // the window was made smaller than it shows: all of it is painted anew
    TForm::DoShow();
}

void TfmPluginSearch::Label12Click() {
    if (!BrowsePluginFolder(false, editSynthFolder)) return;
    TIniFile().WriteString("Folders", "Synth", editSynthFolder->Text());
    ModalResult = mrOk;
}

void TfmPluginSearch::Label17Click() {
    if (!BrowsePluginFolder(true, editFxFolder)) return;
    TIniFile().WriteString("Folders", "Fx", editFxFolder->Text());
    ModalResult = mrOk;
}

void TfmPluginSearch::Label11Click() {
    UseDefaultPluginFolder(false, editSynthFolder);
    TIniFile().DeleteKey("Folders", "Synth");
    ModalResult = mrOk;
}

void TfmPluginSearch::Label16Click() {
    UseDefaultPluginFolder(true, editFxFolder);
    TIniFile().DeleteKey("Folders", "Fx");
    ModalResult = mrOk;
}

bool SearchPluginDialog(const std::string& FileName) {
    TfmPluginSearch* d = MakeForm(fmPluginSearch);
    d->PluginName = FileName;
    return d->ShowModal() == mrOk;
}
