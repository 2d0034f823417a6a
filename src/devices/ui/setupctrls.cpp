#include "devices/ui/setupctrls.h"

#include "app/dialogs.h"
#include "app/main.h"
#include "song/song.h"

using namespace platform;

TLabel* AddSetupLabel(TWinControl* Parent, const std::string& Caption, int X, int Y) {
    auto* l = new TLabel(Parent);
    l->Parent = Parent;
    l->SetBounds(X, Y, 10, 10);
    l->Transparent = true;
    l->Caption = Caption;
    return l;
}

TLabel* AddLinkLabel(TWinControl* Parent, const std::string& Caption, int X, int Y) {
    TLabel* l = AddSetupLabel(Parent, Caption, X, Y);
    TFont f = l->Font.Get();
    f.Color = 0xC05A1E; // a link's blue (0xBBGGRR)
    f.Style = fsUnderline;
    l->Font = f;
    l->Cursor = crHandPoint;
    return l;
}

TEdit* AddFolderEdit(TWinControl* Parent, int X, int Y, int Width) {
    auto* e = new TEdit(Parent);
    e->Parent = Parent;
    e->SetBounds(X, Y, Width, 23);
    e->ReadOnly = true;
    e->Color = clBtnFace;
    return e;
}

TFolderRow AddFolderRow(TWinControl* Parent, const std::string& Caption, int X, int Y, int Width) {
    AddSetupLabel(Parent, Caption, X, Y);
    TFolderRow r;
    r.Edit = AddFolderEdit(Parent, X, Y + 16, Width);
    r.Browse = AddLinkLabel(Parent, "Browse", X, Y + 42);
    r.UseDefault = AddLinkLabel(Parent, "Use default", X + r.Browse->Width + 12, Y + 42);
    return r;
}

std::string StoredFolder(std::string Folder) {
    if (Folder.empty() || (Folder.back() != '\\' && Folder.back() != '/')) Folder += '\\';
    return Folder;
}

bool BrowsePluginFolder(bool Effect, TEdit* Edit) {
    TfmDirectory* d = MakeForm(fmDirectory);
    if (d->ShowModal() != mrOk) return false;
    const std::string folder = StoredFolder(d->DirectoryListBox1->Directory());
    Edit->Text = folder;
    if (Song) (Effect ? Song->FxPath : Song->SynthPath) = folder;
    if (!Effect && fmMdi) fmMdi->BuildSynthMenu();
    return true;
}

void UseDefaultPluginFolder(bool Effect, TEdit* Edit) {
    if (Song) (Effect ? Song->FxPath : Song->SynthPath).clear();
    Edit->Text = "";
    if (!Effect && fmMdi) fmMdi->BuildSynthMenu();
}
