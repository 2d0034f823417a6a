#pragma once
// The options window ("Options"): start-up, metronome, MIDI devices, the controller map, the
// tempo presets and the mode of new tracks. It is made once at start-up and lives hidden to the
// end: its metronome, tempo and output controls are the live store that the other windows read
// through the accessors below. Every change takes effect at once; most settings are written
// when they change, the controller map and the track mode when the window closes.

#include "app/tooldialog.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform {
class TCheckBox;
class TComboBox;
class TDirectoryListBox;
class TEdit;
class TMemo;
class TSpeedButton;
} // namespace platform
class TPage95Control;
class TTab95Sheet;

class TfmOptions : public TToolDialog {
public:
    explicit TfmOptions(platform::TComponent* AOwner);
    ~TfmOptions() override;
    std::string_view ClassName() const override { return "TfmOptions"; }

    TPage95Control* pages = nullptr;
    TTab95Sheet *TabFile = nullptr, *TabBeep = nullptr, *TabMidi = nullptr, *TabGlobal = nullptr,
                *Tab95Sheet1 = nullptr;
    // File
    platform::TCheckBox *chkAautoload = nullptr, *chkAutoplay = nullptr, *chkConvert = nullptr;
    platform::TEdit* editPath = nullptr;
    platform::TSpeedButton* SpeedButton8 = nullptr;
    platform::TDirectoryListBox* DirectoryListBox1 = nullptr;
    // Beep
    platform::TCheckBox *chkActive = nullptr, *chkInternal = nullptr, *chkMidiBeep = nullptr;
    platform::TEdit *editCh = nullptr, *editNote = nullptr, *editBeats = nullptr;
    platform::TComboBox* comboDev = nullptr;
    // MIDI
    platform::TComboBox *comboOutputs = nullptr, *comboInput = nullptr;
    platform::TSpeedButton *SpeedButton7 = nullptr, *sbEnableOut = nullptr,
                           *sbDisableOut = nullptr, *SpeedButton5 = nullptr;
    platform::TCheckBox *chkRecSysex = nullptr, *chkSplitInput = nullptr;
    platform::TComboBox *comboCC1 = nullptr, *comboCC2 = nullptr;
    platform::TSpeedButton* SpeedButton1 = nullptr;
    // Tempo
    platform::TMemo* memoTempo = nullptr;
    // Default
    platform::TComboBox* comboTrackMode = nullptr;

    // The metronome note 0..127 (shown by its name in editNote).
    int BeepNote = 36;

    // Both output lists again from the MIDI object ("(Inactive) " before a closed port).
    void OptionsListOutputs();
    // The page with its help text.
    void ShowPage(TTab95Sheet* Page);

    // The buttons and boxes whose work is more than one line.
    void UseClick();
    void EnableClick(bool Open);
    void RecordSysexClick();
    void TempoExit();
    void BeatsExit();

    platform::LRESULT WndProc(platform::UINT Msg, platform::WPARAM W,
                              platform::LPARAM L) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void BuildControls();
    void ConnectControls();
    void UpdateOutputButtons();
};

extern TfmOptions* fmOptions;

// The metronome settings as the dialog holds them. Before it exists: no PC speaker, the MIDI
// click, channel 0, device 0, note 36.
bool OptionsPcSpeaker();
bool OptionsMidiBeep();
// The channel 0..15; a text that is empty or not 1..16 is replaced by "1" and gives 0.
int OptionsBeepChannel();
// The chosen output; 0 when none is chosen or it is no output port.
int OptionsBeepDevice();
// The note whose name is the text (any case), searched from 0 to 127; 36 when none.
int OptionsBeepNote();
// The metronome settings to the MIDI object.
void OptionsSendMetronome();

// The tempo presets, one BPM value a line: what the song files write and read.
std::vector<std::string> OptionsTempoLines();
void OptionsAppendTempo(std::string_view Line);
void OptionsClearTempo();

// Shows the dialog modally on one page (0 File, 1 Beep, 2 MIDI, 3 Tempo, 4 Default): the
// right click on the metronome button opens the Beep page. The main window stays the MIDI
// message window.
void ShowOptionsPage(int Page);
