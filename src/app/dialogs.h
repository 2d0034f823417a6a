#pragma once
// The main window's small dialogs: the splash window (also the about box), the folder picker,
// the sample-name prompt, and the track dialogs for renaming, input transposition and sync.
// Each is made on first use (MakeForm) behind a global that is nil until then.

#include "app/tooldialog.h"
#include "gui/rotatelabel.h"
#include "platform/core/timers.h"
#include "platform/forms/application.h"
#include "platform/forms/checkbox.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/filectrl.h"
#include "platform/forms/updown.h"

#include <string>
#include <vector>

// Makes a form owned by the application once (the main form stays as it is), fills ref and
// nils it again when the form goes.
template <class T> T* MakeForm(T*& ref) {
    if (!ref) {
        ref = new T(platform::Application);
        ref->Reference = reinterpret_cast<platform::TForm**>(&ref);
        ref->DoCreate();
    }
    return ref;
}

// Frees the forms the application owns, the last made first (the end of the run: their
// windows go while the display is still there).
void FreeApplicationForms();

// The splash window: the logo, a line of information, the turning version label and a progress
// bar at its left edge counting the start-up in fifths.
class TdlgSplach : public platform::TForm {
public:
    explicit TdlgSplach(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TdlgSplach"; }

    platform::TImage* Image1;
    platform::TLabel* labelinfo;
    TRotateLabel* RotateLabel1;
    platform::TPanel* panelProgress;
    platform::TShape* Shape2;
    platform::TTimer Timer1; // 3000 ms: closes the window
    platform::TTimer Timer2; // 50 ms: turns and grows the version label

    // One step of the progress bar, then what waits is handled.
    void ProgressStep();
    // Shown again from the Help menu, without the 3-second close.
    void ShowAbout();

    int Steps = 5;
    int CurrentStep = 0;
    int FullHeight = 0;

protected:
    void DoShow() override;

private:
    void DrawLogo();
};

// The folder picker; the callers show it modally and on OK read the folder list's directory.
class TfmDirectory : public TToolDialog {
public:
    explicit TfmDirectory(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TfmDirectory"; }
    platform::TDriveComboBox* DriveComboBox1;
    platform::TDirectoryListBox* DirectoryListBox1;
};

// The sample-name prompt; the sample-part editor fills and reads editName.
class TdlgRenameSample : public TToolDialog {
public:
    explicit TdlgRenameSample(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TdlgRenameSample"; }
    platform::TEdit* editName;

protected:
    void DoShow() override;
};

class TdlgRenameTrack : public TToolDialog {
public:
    explicit TdlgRenameTrack(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TdlgRenameTrack"; }
    platform::TEdit* editName;
    platform::TCheckBox* renameAll;
    platform::TRadioButton* chkTrackName;
    platform::TRadioButton* chkGMName;

protected:
    void DoShow() override;
};

class TdlgTransp : public TToolDialog {
public:
    explicit TdlgTransp(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TdlgTransp"; }
    platform::TEdit* edittransp;
    platform::TUpDown* updown;
    platform::TButton* btnUp1;
    platform::TButton* btnDown1;
    platform::TButton* btnUp12;
    platform::TButton* btnDown12;
    platform::TButton* btnOff;

    // The field's value; an empty field counts as 0.
    int Value() const;

private:
    void Step(int By);
};

// MIDI time code and external start, stop and continue.
class TfmSync : public TToolDialog {
public:
    explicit TfmSync(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TfmSync"; }
    platform::TCheckBox* chkActive;
    platform::TComboBox* comboDev;
    platform::TEdit* editFps;
    platform::TCheckBox* chkClock;
    platform::TCheckBox* chkRespond;

private:
    // Applies the time code settings inside the edit guard and writes them.
    void SyncChanged();
    void RespondChanged();
    void ShowApplied();
    bool active_ = false;
    int device_ = -1;
    bool updating_ = false;
};

// The name-entry dialog: a caption line over a name box with a list, OK and Cancel. Borderless
// and centred; the list and the text stay from one use to the next unless the caller gives new
// ones.
class TfmSave : public platform::TForm {
public:
    explicit TfmSave(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TfmSave"; }
    platform::TPanel* Panel1;
    platform::TLabel* labelText;
    platform::TComboBox* editSave;
    platform::TButton* btnOK;
    platform::TButton* tnybutton1;

    // OK only for a name that is more than blanks.
    void UpdateOK();
    // Asks with the caption line Caption. A List replaces the list and the text becomes Name;
    // nil keeps both. True on OK, with Name the text and Picked the chosen entry (-1 for none).
    static bool Execute(const std::string& Caption, const std::vector<std::string>* List,
                        std::string& Name, int& Picked);

protected:
    void DoShow() override;
};

// The name for the selected parts; the arrange window's Rename fills editName first.
class TdlgRenamePart : public TToolDialog {
public:
    explicit TdlgRenamePart(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TdlgRenamePart"; }
    platform::TEdit* editName;
    platform::TLabel* labelText;
    platform::TButton* tnybutton1;

protected:
    void DoShow() override;
};

extern TdlgSplach* dlgSplach;
extern TfmDirectory* fmDirectory;
extern TdlgRenameSample* dlgRenameSample;
extern TdlgRenameTrack* dlgRenameTrack;
extern TdlgTransp* dlgTransp;
extern TfmSync* fmSync;
extern TfmSave* fmSave;
extern TdlgRenamePart* dlgRenamePart;

// The text the splash window's information line shows once it closed.
inline constexpr const char* kSplashAddress = "www.tolvern.example.org";

// Help menu "&About...": the splash window again, without its close timer.
void ShowAboutBox();
// File menu "S&ync...": the sync dialog, made on first use, shown modally.
void ShowSyncDialog();
// The arrange window's Rename asks for the parts' name with the rename-part dialog.
void InstallRenamePartSeam();
// The splash window while the program starts: one progress step, and its information line.
void SplashStep();
void SplashInfo(const std::string& Text);

// The arrange window's track list as the rename dialog reaches it; the arrange window installs
// its own. The default keeps the choice and repaints nothing.
class TTrackListSeam {
public:
    virtual ~TTrackListSeam() = default;
    // The track list shows track names (Trackname1 checked), else GM instruments.
    virtual bool TrackNames() { return trackNames_; }
    virtual void SetTrackNames(bool On) { trackNames_ = On; }
    virtual void Repaint() {}

private:
    bool trackNames_ = true;
};
TTrackListSeam& TrackList();
void SetTrackList(TTrackListSeam* Seam);
