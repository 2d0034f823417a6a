#pragma once
// The audio options dialog: the audio-system driver and its output device, audio on and off,
// the driver's properties, MIDI-to-audio sync, the disk-recording bit depth, the external
// sample editor and the softsynth and effect folders. Made on first use, shown modally; while
// it shows, every open and close of the audio system refreshes it (TAudio::NotifyWnd).

#include "app/tooldialog.h"
#include "platform/forms/checkbox.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/menus/commdlg.h"

#include <functional>
#include <string>
#include <vector>

class TfmAudioSetup : public TToolDialog {
public:
    explicit TfmAudioSetup(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TfmAudioSetup"; }

    TRotateLabel*& RotateLabel1 = labelTitle;
    platform::TLabel*& labelText = labelHelp;
    platform::TComboBox* ComboSystem;
    platform::TComboBox* comboAudio;
    platform::TSpeedButton* sbAudio;
    platform::TLabel* Label14; // "Properties"
    platform::TLabel* labelDetail;
    platform::TLabel* labelFrames;
    platform::TCheckBox* chkSync;
    platform::TComboBox* comboHdRecBits;
    platform::TEdit* editEditor;
    platform::TLabel* Label15; // "Browse" (external editor)
    platform::TOpenDialog OpenDialog1;
    platform::TEdit* editSynthFolder;
    platform::TEdit* editFxFolder;
    platform::TLabel *Label12, *Label11; // softsynth folder: "Browse", "Use default"
    platform::TLabel *Label17, *Label16; // effect folder: "Browse", "Use default"

    void FormCreate();
    void Refresh();
    void ComboSystemClick();
    void comboAudioClick();
    void sbAudioClick();
    void Label14Click();
    void chkSyncClick();
    void comboHdRecBitsClick();
    void Label15Click();
    void btnCloseClick();
    void FormClose();

    platform::LRESULT WndProc(platform::UINT Msg, platform::WPARAM W,
                              platform::LPARAM L) override;

protected:
    void DoShow() override;
    void DoClose(platform::TCloseAction& Action) override;

private:
    void FillComboAudio();
    bool updating_ = false;
};

extern TfmAudioSetup* fmAudioSetup;

// The "system" folder's drivers: the names of its "*.so" libraries without extension, sorted
// without regard to case.
std::vector<std::string> AudioSystemNames();

// The audio options dialog, made on first use, shown modally.
void ShowAudioSetup();

// The audio buttons of the arrange window and, when it exists, of the sample-part editor show
// whether audio is on.
void ShowAudioButtons();
// The sample-part editor fills this when it exists: its audio button's down state.
extern std::function<void(bool On)> SampleEditorAudioButton;
