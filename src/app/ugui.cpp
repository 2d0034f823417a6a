#include "app/ugui.h"

#include "app/dialogs.h"
#include "app/main.h"
#include "app/transport.h"
#include "gui/looks.h"
#include "platform/core/dialogs.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "song/timebase.h"

#include <algorithm>

using namespace platform;

TfmGui* fmGui = nullptr;

namespace {

constexpr int kGap = 8;   // below each image
constexpr int kInset = 4; // the image's place in its row
constexpr int kWheelStep = 16;

// Repaints whatever the handler changed, also when it ends by an exception.
struct TRepaintOnExit {
    TfmGui* Form;
    ~TRepaintOnExit() { Form->Changed(); }
};

std::string LooksFolder() {
    std::string folder = FindInstallFile("gui");
    return folder.empty() ? ProgramFolder() + "gui" : folder;
}

} // namespace

void ShowLooksEditor() {
    MakeForm(fmGui)->Show();
}

TfmGui::TfmGui(TComponent* AOwner) : TForm(AOwner) {
    Caption = "Tolvern GUI - Default";
    BorderStyle = bsSingle;
    FormStyle = fsStayOnTop;
    Position = poScreenCenter;

    MainMenu1 = std::make_unique<TMainMenu>();
    auto* file = new TMenuItem("&File");
    MainMenu1->Items->Add(file);
    struct Entry {
        const char* caption;
        void (TfmGui::*handler)();
    } entries[] = {{"Open...", &TfmGui::Open1Click},     {"Save", &TfmGui::Save1Click},
                   {"Save as...", &TfmGui::Saveas1Click}, {"-", nullptr},
                   {"Restore...", &TfmGui::Restore1Click}, {"-", nullptr},
                   {"Close", &TfmGui::Close1Click}};
    for (const Entry& e : entries) {
        auto handler = e.handler;
        file->Add(new TMenuItem(e.caption, handler ? std::function<void(TMenuItem*)>(
                                                         [this, handler](TMenuItem*) {
                                                             (this->*handler)();
                                                         })
                                                   : std::function<void(TMenuItem*)>()));
    }
    SetMenu(MainMenu1.get());
    ClientWidth = 276;
    ClientHeight = 345;

    Label2 = new TLabel(this);
    Label2->Parent = this;
    Label2->SetBounds(8, 8, 120, 13);
    Label2->Caption = "Click image to replace";
    comboCategory = new TComboBox(this);
    comboCategory->Parent = this;
    comboCategory->Style = csDropDownList;
    comboCategory->SetBounds(8, 26, 260, 23);
    comboCategory->Items.Add("Transporter");
    comboCategory->ItemIndex = 0;

    Panel1 = new TPanel(this);
    Panel1->Parent = this;
    Panel1->BevelOuter = bvLowered;
    Panel1->Caption = "";
    Panel1->SetBounds(8, 56, 260, 281);
    scrolly = new TScrollBar(this);
    scrolly->Parent = Panel1;
    scrolly->Kind = sbVertical;
    scrolly->Width = 16;
    scrolly->Align = alRight;
    scrolly->SmallChange = kWheelStep;
    surface = new TScroll(this);
    surface->Parent = Panel1;
    surface->Align = alClient;
    surface->Cursor = crHandPoint;
    surface->Color = clBlack;
    surface->EraseBkgnd = false;
    {
        TFont f = surface->Font.Get();
        f.Name = "Arial";
        f.SetSize(8);
        f.Color = clWhite;
        surface->Font = f;
    }
    surface->OnPaint = [this](TCanvas& C) { surfacePaint(C); };
    surface->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int X, int Y) {
        surfaceMouseDown(X, Y);
    };
    scrolly->OnChange = [this](TObject*) { scrollyChange(); };

    OpenPictureDialog1.Filter =
        "All (*.dib;*.bmp;*.ico;*.emf;*.wmf)|*.dib;*.bmp;*.ico;*.emf;*.wmf|Device Independent "
        "Bitmap (*.dib)|*.dib|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|Enhanced Metafiles "
        "(*.emf)|*.emf|Metafiles (*.wmf)|*.wmf";
    for (TOpenDialog* d : {&OpenDialog1, static_cast<TOpenDialog*>(&SaveDialog1)}) {
        d->DefaultExt = "gui";
        d->Filter = "Tolvern GUI (*.gui)|*.gui";
    }
    OpenDialog1.Options |= ofFileMustExist;
    SaveDialog1.Options |= ofOverwritePrompt;

    // FormCreate: the list as the looks are now.
    if (GuiLooks)
        for (int i = 0; i < GuiLooks->Count(); ++i)
            Items.push_back({GuiLooks->Items[std::size_t(i)]->Name, i});
    Realign();
    UpdateScrollRange();
}

TfmGui::~TfmGui() {
    SetMenu(nullptr);
}

int TfmGui::ItemTop(int I) const {
    int top = 0;
    for (int i = 0; i < I && i < int(Items.size()); ++i) {
        TSize s{};
        if (GuiLooks) GuiLooks->GetSize(Items[std::size_t(i)].Index, s);
        top += s.cy + kGap;
    }
    return top;
}

int TfmGui::ListHeight() const {
    return ItemTop(int(Items.size()));
}

void TfmGui::UpdateScrollRange() {
    const int max = std::max(0, ListHeight() - surface->GetClientHeight());
    scrolly->SetParams(std::min(scrolly->Position(), max), 0, max);
    scrolly->LargeChange = std::max(1, surface->GetClientHeight());
    scrolly->Enabled = max >= 1;
}

void TfmGui::UpdateCaption() {
    const std::string file = GuiLooks ? GuiLooks->FileName : std::string();
    Caption = "Tolvern GUI - " +
              (file.empty() ? std::string("Default") : ChangeFileExt(ExtractFileName(file), ""));
}

void TfmGui::Changed() {
    UpdateScrollRange();
    surface->Repaint();
    TransportWindows().PaintTransportButtons();
}

void TfmGui::DoShow() {
    FormShow();
    TForm::DoShow();
}

void TfmGui::FormShow() {
    UpdateCaption();
}

void TfmGui::surfacePaint(TCanvas& C) {
    // The list in list coordinates (the surface's origin is applied), on the transport bar's
    // colour so that the images show on their real background.
    const TColor back = fmMdi && fmMdi->panelTransporter ? fmMdi->panelTransporter->Color()
                                                         : surface->Color();
    C.Brush.Color = back;
    C.Brush.Style = bsSolid;
    C.FillRect(TRect{0, -surface->OffsetY, surface->GetClientWidth(),
                     -surface->OffsetY + surface->GetClientHeight()});
    if (!GuiLooks) return;
    C.Font = surface->Font.Get();
    // White text, but dark on a light bar colour, where white could not be read.
    const std::uint32_t rgb = ColorToRGB(back);
    const int light = 299 * int(rgb & 0xFF) + 587 * int((rgb >> 8) & 0xFF) +
                      114 * int((rgb >> 16) & 0xFF);
    if (light > 160 * 1000) C.Font.Color = clBlack;
    C.Brush.Style = bsClear;
    int top = 0;
    for (const TGuiItem& item : Items) {
        TSize s{};
        GuiLooks->GetSize(item.Index, s);
        GuiLooks->Draw(C.Handle(), kInset, top + kInset, item.Index);
        const std::string text =
            "(" + std::to_string(s.cx) + "x" + std::to_string(s.cy) + ") " + item.Name;
        const int x = s.cx + 12;
        const int y = top + (s.cy + kGap - C.TextHeight(text)) / 2;
        C.TextRect(TRect{x, top, surface->GetClientWidth(), top + s.cy + kGap}, x, y, text);
        top += s.cy + kGap;
    }
    C.Brush.Style = bsSolid;
}

void TfmGui::surfaceMouseDown(int /*X*/, int Y) {
    if (!GuiLooks) return;
    const int y = Y - surface->OffsetY;
    int top = 0;
    for (const TGuiItem& item : Items) {
        TSize s{};
        GuiLooks->GetSize(item.Index, s);
        if (y >= top && y < top + s.cy + kGap) {
            OpenPictureDialog1.Title = "Replace '" + item.Name + "'";
            if (!OpenPictureDialog1.Execute()) return;
            // Icons and metafiles are refused with the image error; nothing is replaced.
            TPicture picture;
            picture.LoadFromFile(OpenPictureDialog1.FileName);
            if (picture.Width() != s.cx || picture.Height() != s.cy) {
                MessageBox("Image size dosn't match. Should be (" + std::to_string(s.cx) + "x" +
                               std::to_string(s.cy) + ")",
                           "Edit", MB_OK | MB_ICONINFORMATION);
                return;
            }
            auto bmp = std::make_unique<TBitmap>();
            bmp->Assign(picture.Bitmap());
            GuiLooks->Replace(bmp, item.Index);
            Changed();
            return;
        }
        top += s.cy + kGap;
    }
}

void TfmGui::scrollyChange() {
    surface->SetOffsetY(-scrolly->Position());
    surface->Repaint();
}

void TfmGui::MouseWheel(int Delta) {
    if (!scrolly->Enabled) return;
    const int steps = Round(double(Delta) / 120.0);
    scrolly->Position = std::clamp(scrolly->Position() - steps * kWheelStep, 0, scrolly->Max());
}

LRESULT TfmGui::WndProc(UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_MOUSEWHEEL) {
        MouseWheel(GET_WHEEL_DELTA_WPARAM(W));
        return 0;
    }
    return TForm::WndProc(Msg, W, L);
}

void TfmGui::Open1Click() {
    OpenDialog1.InitialDir = LooksFolder();
    if (!OpenDialog1.Execute() || !GuiLooks) return;
    const std::string name = OpenDialog1.FileName;
    {
        // A file that fails part-way keeps the images read before the failure: they show too.
        TRepaintOnExit repaint{this};
        GuiLooks->LoadFromFile(name);
    }
    UpdateCaption();
    TIniFile().WriteString("Gui", "Filename", name);
}

void TfmGui::Save1Click() {
    if (!GuiLooks) return;
    if (GuiLooks->FileName.empty()) {
        Saveas1Click();
        return;
    }
    GuiLooks->SaveToFile(GuiLooks->FileName);
    UpdateCaption();
}

void TfmGui::Saveas1Click() {
    SaveDialog1.InitialDir = LooksFolder();
    if (!SaveDialog1.Execute() || !GuiLooks) return;
    GuiLooks->SaveToFile(SaveDialog1.FileName);
    UpdateCaption();
}

void TfmGui::Restore1Click() {
    if (MessageBox("Restore to default?", "Restore", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (!GuiLooks || !fmMdi) return;
    GuiLooks->FileName.clear();
    fmMdi->Transport.RestoreTransportImages();
    Changed();
    UpdateCaption();
    TIniFile().WriteString("Gui", "Filename", "");
}

void TfmGui::Close1Click() {
    Close();
}
