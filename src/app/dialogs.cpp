#include "app/dialogs.h"

#include "app/arrange.h"
#include "app/main.h"
#include "devices/midi.h"
#include "platform/core/dialogs.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "platform/window/window.h"
#include "song/seams.h"
#include "song/song.h"

#include <algorithm>
#include <cmath>

using namespace platform;

TdlgSplach* dlgSplach = nullptr;
TfmDirectory* fmDirectory = nullptr;
TdlgRenameSample* dlgRenameSample = nullptr;
TdlgRenameTrack* dlgRenameTrack = nullptr;
TdlgTransp* dlgTransp = nullptr;
TfmSync* fmSync = nullptr;
TfmSave* fmSave = nullptr;
TdlgRenamePart* dlgRenamePart = nullptr;

namespace {

TTrackListSeam g_defaultTrackList;
TTrackListSeam* g_trackList = &g_defaultTrackList;

TLabel* AddLabel(TWinControl* Parent, const std::string& Caption, int X, int Y) {
    auto* l = new TLabel(Parent);
    l->Parent = Parent;
    l->SetBounds(X, Y, 10, 10);
    l->Caption = Caption;
    return l;
}

template <class T> T* Add(TWinControl* Parent, int X, int Y, int W, int H) {
    auto* c = new T(Parent);
    c->Parent = Parent;
    c->SetBounds(X, Y, W, H);
    return c;
}

// The dialogs' own area starts right of the bar.
constexpr int kLeft = 84;

// A name of at most 256 characters under its label, at the top of a dialog's area.
TEdit* AddNameField(TWinControl* Parent, const std::string& Caption, int Width) {
    AddLabel(Parent, Caption, kLeft, 18);
    auto* e = Add<TEdit>(Parent, kLeft, 36, Width, 23);
    e->MaxLength = 256;
    return e;
}

} // namespace

void FreeApplicationForms() {
    for (int i = Application->ComponentCount() - 1; i >= 0; --i) {
        if (i >= Application->ComponentCount()) continue; // a form that took others with it
        if (auto* f = dynamic_cast<TForm*>(Application->Components(i))) f->Free();
    }
}

TTrackListSeam& TrackList() {
    return *g_trackList;
}

void SetTrackList(TTrackListSeam* Seam) {
    g_trackList = Seam ? Seam : &g_defaultTrackList;
}

// ---- splash window -----------------------------------------------------------------------

TdlgSplach::TdlgSplach(TComponent* AOwner) : TForm(AOwner) {
    BorderStyle = bsNone;
    Position = poScreenCenter;
    Caption = "Tolvern";
    SetBounds(0, 0, 420, 260);
    Color = 0x201810;

    Image1 = new TImage(this);
    Image1->Parent = this;
    Image1->SetBounds(0, 0, Width, Height);
    DrawLogo();
    Image1->OnClick = [this](TObject*) {
        Close();
        if (ScreenDepth() < 16)
            MessageBox("Tolvern looks better in 16-bits colors", "Tolvern",
                       MB_OK | MB_ICONINFORMATION);
    };

    labelinfo = new TLabel(this);
    labelinfo->Parent = this;
    labelinfo->AutoSize = false;
    labelinfo->Transparent = true;
    labelinfo->Alignment = taCenter;
    {
        TFont f = labelinfo->Font.Get();
        f.Name = "Arial";
        f.SetSize(8);
        f.Color = 0xB0B0B0;
        labelinfo->Font = f;
    }

    RotateLabel1 = new TRotateLabel(this);
    RotateLabel1->Parent = this;
    RotateLabel1->Transparent = true;
    RotateLabel1->TextStyle = tsNone;
    RotateLabel1->Escapement = 0;
    RotateLabel1->Caption = "1.2";
    {
        TFont f = RotateLabel1->Font.Get();
        f.Style = fsBold;
        f.Color = 0x40C0F0;
        f.SetSize(12);
        RotateLabel1->Font = f;
    }
    RotateLabel1->SetBounds(Width - 86, 78, 40, 40);

    panelProgress = new TPanel(this);
    panelProgress->Parent = this;
    panelProgress->Align = alLeft;
    panelProgress->Width = 14;
    panelProgress->BevelOuter = bvNone;
    panelProgress->Color = 0x100C08;
    panelProgress->Caption = "";
    Shape2 = new TShape(this);
    Shape2->Parent = panelProgress;
    Shape2->Align = alBottom;
    Shape2->Brush.Color = 0x30A0E0;
    Shape2->Pen.Color = 0x1870A0;
    Shape2->Height = 0;

    // A logo of the user's in the program folder replaces ours and sizes the window.
    const std::string logo = FindInstallFile("logo.bmp");
    if (!logo.empty()) {
        try {
            Image1->Picture().LoadFromFile(logo);
            Image1->PictureChanged();
            SetBounds(Left, Top, Image1->Picture().Width(), Image1->Picture().Height());
            Image1->SetBounds(0, 0, Width, Height);
        } catch (...) {
            DrawLogo(); // an unreadable file leaves our own
        }
    }
    labelinfo->SetBounds(0, Height - 24, Width, 16);
    FullHeight = Height - 4;

    Timer1.Enabled = false;
    Timer1.Interval = 3000;
    Timer1.OnTimer = [this] { Close(); };
    Timer2.Enabled = false;
    Timer2.Interval = 50;
    Timer2.OnTimer = [this] {
        RotateLabel1->Escapement = RotateLabel1->Escapement + 1;
        RotateLabel1->Font.SetSize((RotateLabel1->Font.Size() + 1) % 30);
    };
    OnClose = [this](TObject*, TCloseAction&) {
        Timer1.Enabled = false;
        Timer2.Enabled = false;
        labelinfo->Caption = kSplashAddress;
        Shape2->Visible = false;
    };
}

// Our own logo: a dark panel with the name, a line of keys and the kind of program.
void TdlgSplach::DrawLogo() {
    TBitmap& b = Image1->Picture().Bitmap();
    const int w = Width, h = Height;
    b.SetSize(w, h);
    TCanvas& c = b.Canvas();
    for (int y = 0; y < h; ++y) {
        const int k = 16 + 40 * y / h;
        c.Brush.Color = RGB(k / 2, k * 3 / 4, k);
        c.FillRect(TRect{0, y, w, y + 1});
    }
    // A keyboard octave along the bottom.
    const int ky = h - 74, kw = 18;
    for (int i = 0; 34 + i * kw < w - 20; ++i) {
        c.Brush.Color = 0xE8E8E8;
        c.Pen.Color = 0x303030;
        c.Rectangle(34 + i * kw, ky, 34 + (i + 1) * kw + 1, ky + 40);
    }
    static const int kBlack[] = {1, 2, 4, 5, 6};
    for (int o = 0; 34 + o * 7 * kw < w - 20; ++o)
        for (int k : kBlack) {
            const int x = 34 + (o * 7 + k) * kw - 6;
            if (x + 12 > w - 20) break;
            c.Brush.Color = 0x181818;
            c.FillRect(TRect{x, ky, x + 12, ky + 24});
        }
    c.Brush.Style = bsClear;
    c.Font.Name = "Arial";
    c.Font.Style = fsBold;
    c.Font.SetSize(40);
    c.Font.Color = 0xF0F0F0;
    c.TextOut(34, 40, "Tolvern");
    c.Font.Style = 0;
    c.Font.SetSize(11);
    c.Font.Color = 0xA8B8C8;
    c.TextOut(38, 110, "MIDI and audio sequencer");
    c.Brush.Style = bsSolid;
    Image1->PictureChanged();
}

void TdlgSplach::DoShow() {
    Timer1.Enabled = true;
    Timer2.Enabled = true;
    Shape2->Visible = true;
    TForm::DoShow();
}

void TdlgSplach::ProgressStep() {
    ++CurrentStep;
    // Halves round to the even neighbour.
    Shape2->Height = int(std::nearbyint(double(FullHeight) / Steps * CurrentStep));
    Application->ProcessMessages();
}

void TdlgSplach::ShowAbout() {
    Show();
    Timer1.Enabled = false;
}

void ShowAboutBox() {
    MakeForm(dlgSplach)->ShowAbout();
}

void SplashStep() {
    if (dlgSplach) dlgSplach->ProgressStep();
}

void SplashInfo(const std::string& Text) {
    if (!dlgSplach) return;
    dlgSplach->labelinfo->Caption = Text;
    Application->ProcessMessages();
}

// ---- folder picker -----------------------------------------------------------------------

TfmDirectory::TfmDirectory(TComponent* AOwner) : TToolDialog(AOwner, "Select Folder") {
    SetHelp("Choose a folder and click OK");
    ClientWidth = 380;
    ClientHeight = 320;
    auto* area = new TPanel(this);
    area->Parent = this;
    area->Align = alClient;
    area->BevelOuter = bvNone;
    area->BorderWidth = 10;
    area->Caption = "";
    DriveComboBox1 = new TDriveComboBox(this);
    DriveComboBox1->Parent = area;
    DriveComboBox1->Align = alTop;
    DirectoryListBox1 = new TDirectoryListBox(this);
    DirectoryListBox1->Parent = area;
    DirectoryListBox1->Align = alClient;
    DriveComboBox1->DirList = DirectoryListBox1;
    AddButton("&OK", mrOk);
    AddButton("&Cancel", mrCancel);
}

// ---- sample-name prompt ------------------------------------------------------------------

TdlgRenameSample::TdlgRenameSample(TComponent* AOwner) : TToolDialog(AOwner, "Rename sample") {
    SetHelp("Input sample name");
    ClientWidth = 330;
    ClientHeight = 240;
    editName = AddNameField(this, "Sample name", 230);
    AddButton("&OK", mrOk);
    AddButton("&Cancel", mrCancel);
}

void TdlgRenameSample::DoShow() {
    TToolDialog::DoShow();
    ActiveControl = editName;
}

// ---- rename track ------------------------------------------------------------------------

TdlgRenameTrack::TdlgRenameTrack(TComponent* AOwner) : TToolDialog(AOwner, "Rename track") {
    SetHelp("Input a new name for the track");
    ClientWidth = 340;
    ClientHeight = 230;
    editName = AddNameField(this, "Track name", 240);
    renameAll = Add<TCheckBox>(this, kLeft, 68, 240, 20);
    renameAll->Caption = "Rename all parts in track";
    auto* group = Add<TGroupBox>(this, kLeft, 98, 240, 72);
    group->Caption = "Track list";
    chkTrackName = Add<TRadioButton>(group, 10, 20, 220, 20);
    chkTrackName->Caption = "View track names";
    chkGMName = Add<TRadioButton>(group, 10, 44, 220, 20);
    chkGMName->Caption = "View GM instruments";
    // The track list switches at once.
    auto view = [this](TObject* Sender) {
        auto* b = static_cast<TRadioButton*>(Sender);
        if (!b->Checked) return;
        const bool names = b == chkTrackName;
        if (TrackList().TrackNames() == names) return;
        TrackList().SetTrackNames(names);
        TrackList().Repaint();
    };
    chkTrackName->OnClick = view;
    chkGMName->OnClick = view;
    AddButton("&OK", mrOk);
    AddButton("&Cancel", mrCancel);
}

void TdlgRenameTrack::DoShow() {
    TToolDialog::DoShow();
    renameAll->Checked = false;
    if (editName->Enabled) {
        ActiveControl = editName;
        editName->SelectAll();
    }
}

void TfmMdi::ShowRenameTrack() {
    _TTrack* t = Song ? Song->CurrentTrack() : nullptr;
    if (!t) return;
    TdlgRenameTrack* d = MakeForm(dlgRenameTrack);
    d->editName->Text = t->Name;
    (TrackList().TrackNames() ? d->chkTrackName : d->chkGMName)->Checked = true;
    if (d->ShowModal() != mrOk) return;
    // Renaming is not an edit of the song's playback: no guard, no undo step.
    t->Name = d->editName->Text;
    TrackList().Repaint();
    if (!d->renameAll->Checked) return;
    for (_TPart* p = t->Parts; p; p = p->Next) {
        p->Name = t->Name;
        p->Flags |= pfRedraw;
    }
    MainWindow().PaintParts(0);
}

// ---- input transposition -----------------------------------------------------------------

TdlgTransp::TdlgTransp(TComponent* AOwner) : TToolDialog(AOwner, "Transpose input") {
    SetHelp("Shifts the notes played into the current track");
    ClientWidth = 320;
    ClientHeight = 250;
    AddLabel(this, "Semitones", kLeft, 18);
    edittransp = Add<TEdit>(this, kLeft, 36, 80, 23);
    edittransp->MaxLength = 4;
    updown = Add<TUpDown>(this, kLeft + 80, 36, 17, 23);
    updown->Min = -1;
    updown->Max = 1;
    edittransp->OnKeyPress = [](TObject*, char32_t& Key) {
        if (!(Key >= '0' && Key <= '9') && Key != '-' && Key != 8) Key = 0;
    };
    // Every change reaches the MIDI input at once.
    edittransp->OnChange = [this](TObject*) {
        if (Midi) Midi->SetTranspose(Value());
    };
    updown->OnClick = [this](TObject*, TUDBtnType b) {
        Step(b == btNext ? 1 : -1);
        updown->Position = 0;
    };
    struct Btn {
        TButton** field;
        const char* caption;
        const char* hint;
        int by;
    } btns[] = {{&btnUp1, "+1", "Up 1", 1},
                {&btnDown1, "-1", "Down 1", -1},
                {&btnUp12, "+12", "Up 12", 12},
                {&btnDown12, "-12", "Down 12", -12}};
    int x = kLeft;
    for (const Btn& b : btns) {
        TButton* btn = Add<TButton>(this, x, 76, 50, 25);
        btn->Caption = b.caption;
        btn->Hint = b.hint;
        btn->ShowHint = true;
        const int by = b.by;
        btn->OnClick = [this, by](TObject*) { Step(by); };
        *b.field = btn;
        x += 56;
    }
    btnOff = AddButton("&Off", mrOk);
    btnOff->OnClick = [this](TObject*) { edittransp->Text = "0"; };
    TButton* close = AddButton("&Close", mrOk);
    close->OnClick = [this](TObject*) {
        if (edittransp->Text().empty()) edittransp->Text = "0";
    };
}

int TdlgTransp::Value() const {
    return StrToIntDef(edittransp->Text(), 0);
}

void TdlgTransp::Step(int By) {
    if (edittransp->Text().empty()) edittransp->Text = "0";
    // Beyond the note range a transposition means nothing.
    edittransp->Text = std::to_string(std::clamp(Value() + By, -127, 127));
}

void TfmMdi::ShowTrackTranspose() {
    _TTrack* t = Song ? Song->CurrentTrack() : nullptr;
    if (!t) return;
    TdlgTransp* d = MakeForm(dlgTransp);
    d->edittransp->Text = std::to_string(t->Transpose.load());
    // Closing by the frame keeps the stored value; the input keeps the last one sent.
    if (d->ShowModal() != mrOk) return;
    t->Transpose = d->Value();
    TrackList().Repaint();
}

// ---- sync --------------------------------------------------------------------------------

TfmSync::TfmSync(TComponent* AOwner) : TToolDialog(AOwner, "Sync") {
    SetHelp("MIDI time code out and start, stop and continue in");
    ClientWidth = 400;
    ClientHeight = 230;
    chkActive = Add<TCheckBox>(this, kLeft, 16, 300, 20);
    chkActive->Caption = "Transmit MIDI Time Code";
    AddLabel(this, "Output", kLeft + 18, 46);
    comboDev = Add<TComboBox>(this, kLeft + 130, 42, 170, 23);
    comboDev->Style = csDropDownList;
    AddLabel(this, "Frames per second", kLeft + 18, 76);
    editFps = Add<TEdit>(this, kLeft + 130, 72, 50, 23);
    editFps->Text = "25";
    editFps->Enabled = false;
    chkClock = Add<TCheckBox>(this, kLeft, 106, 300, 20);
    chkClock->Caption = "Transmit MIDI clock";
    chkClock->Enabled = false;
    chkRespond = Add<TCheckBox>(this, kLeft, 140, 300, 20);
    chkRespond->Caption = "Respond to MIDI Start, Stop and Continue";
    AddTransportIcons();
    AddButton("&Close", mrCancel);

    for (int i = 0; i < MidiOutCount && Midi; ++i) {
        int technology = 0;
        std::string name;
        Midi->GetOutputCaps(i, technology, name);
        comboDev->Items.Add(name);
    }
    TIniFile ini;
    active_ = ini.ReadBool("MTC", "Active", false);
    device_ = ini.ReadInteger("MTC", "Device", -1);
    ShowApplied();
    updating_ = true;
    chkRespond->Checked = ini.ReadBool("SyncIn", "StartStopContinue", false);
    updating_ = false;

    chkActive->OnClick = [this](TObject*) { SyncChanged(); };
    chkClock->OnClick = [this](TObject*) { SyncChanged(); };
    comboDev->OnChange = [this](TObject*) { SyncChanged(); };
    chkRespond->OnClick = [this](TObject*) { RespondChanged(); };
}

void TfmSync::ShowApplied() {
    updating_ = true;
    chkActive->Checked = active_;
    comboDev->ItemIndex = device_ < comboDev->Items.Count() ? device_ : -1;
    updating_ = false;
}

void TfmSync::SyncChanged() {
    if (updating_) return;
    // While recording (or in another pause) nothing changes: the boxes show what applies.
    if (!MainWindow().PausePlayback()) {
        ShowApplied();
        return;
    }
    active_ = chkActive->Checked;
    device_ = comboDev->ItemIndex;
    if (Midi) Midi->SetSync(active_, device_, 25);
    MainWindow().ResumePlayback();
    TIniFile ini;
    ini.WriteBool("MTC", "Active", active_);
    ini.WriteInteger("MTC", "Device", device_);
    ini.WriteInteger("MTC", "fps", 25);
    if (Song) Song->RespondToStartStop = chkRespond->Checked ? 1 : 0;
}

void TfmSync::RespondChanged() {
    if (updating_) return;
    TIniFile().WriteBool("SyncIn", "StartStopContinue", chkRespond->Checked);
    if (Song) Song->RespondToStartStop = chkRespond->Checked ? 1 : 0;
}

void ShowSyncDialog() {
    MakeForm(fmSync)->ShowModal();
}

// ---- name entry --------------------------------------------------------------------------

TfmSave::TfmSave(TComponent* AOwner) : TForm(AOwner) {
    BorderStyle = bsNone;
    Position = poScreenCenter;
    Caption = "Save as";
    SetBounds(0, 0, 300, 104);
    Panel1 = new TPanel(this);
    Panel1->Parent = this;
    Panel1->Align = alClient;
    Panel1->BevelOuter = bvRaised;
    Panel1->BevelInner = bvLowered;
    Panel1->Caption = "";
    labelText = AddLabel(Panel1, "Save as...", 14, 12);
    {
        TFont f = labelText->Font.Get();
        f.Style = fsBold;
        labelText->Font = f;
    }
    editSave = Add<TComboBox>(Panel1, 14, 34, 272, 23);
    editSave->Style = csDropDown;
    editSave->OnChange = [this](TObject*) { UpdateOK(); };
    btnOK = Add<TButton>(Panel1, 130, 68, 75, 25);
    btnOK->Caption = "&OK";
    btnOK->Default = true;
    btnOK->ModalResult = mrOk;
    tnybutton1 = Add<TButton>(Panel1, 211, 68, 75, 25);
    tnybutton1->Caption = "&Cancel";
    tnybutton1->Cancel = true;
    tnybutton1->ModalResult = mrCancel;
}

void TfmSave::UpdateOK() {
    const std::string t = editSave->Text();
    btnOK->Enabled =
        std::any_of(t.begin(), t.end(), [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

void TfmSave::DoShow() {
    UpdateOK();
    ActiveControl = editSave;
    TForm::DoShow();
}

bool TfmSave::Execute(const std::string& Caption, const std::vector<std::string>* List,
                      std::string& Name, int& Picked) {
    TfmSave* d = MakeForm(fmSave);
    d->labelText->Caption = Caption;
    if (List) {
        d->editSave->Items.Clear();
        for (const std::string& s : *List)
            d->editSave->Items.Add(s);
        d->editSave->Text = Name;
    }
    if (d->ShowModal() != mrOk) return false;
    Name = d->editSave->Text();
    Picked = d->editSave->ItemIndex;
    return true;
}

// ---- rename parts ------------------------------------------------------------------------

TdlgRenamePart::TdlgRenamePart(TComponent* AOwner) : TToolDialog(AOwner, "Rename part") {
    SetHelp("Input name on selected parts");
    labelText = labelHelp;
    ClientWidth = 330;
    ClientHeight = 200;
    editName = AddNameField(this, "Name", 230);
    btnClose = AddButton("&OK", mrOk);
    tnybutton1 = AddButton("&Cancel", mrCancel);
    SplashStep();
}

void TdlgRenamePart::DoShow() {
    TToolDialog::DoShow();
    ActiveControl = editName;
    editName->SelectAll();
}

void InstallRenamePartSeam() {
    ArrangeSeams().AskPartName = [](std::string& Name) {
        TdlgRenamePart* d = MakeForm(dlgRenamePart);
        d->editName->Text = Name;
        if (d->ShowModal() != mrOk) return false;
        Name = d->editName->Text();
        return true;
    };
}
