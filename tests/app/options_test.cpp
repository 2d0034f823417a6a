// The options window headless: made at start-up with the main window, three virtual outputs and
// one virtual input, message boxes and dialogs answered by script.
#include "app/filemenu.h"
#include "app/main.h"
#include "app/options.h"
#include "app_fixture.h"

#include "devices/inport.h"
#include "devices/midi.h"
#include "gui/comctrls95.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/checkbox.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/label.h"
#include "platform/forms/memo.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/seams.h"
#include "song/song.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// Records what the options window asks of the other windows.
class SpyWindows : public TFileMenuWindows {
public:
    int TempoPopups = 0, OutputMenus = 0, TrackLists = 0, Metronome = 0;
    void BuildTempoPopup() override { ++TempoPopups; }
    void BuildOutputMenus() override { ++OutputMenus; }
    void RepaintTrackList() override { ++TrackLists; }
    void RepaintMetronomeButton() override { ++Metronome; }
};

// An edit guard that refuses, as while recording.
class RefusingGuard : public TMainWindowSeam {
public:
    bool PausePlayback() override { return false; }
};

class Options : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        SetFileMenuWindows(&spy);
        cwd = std::filesystem::current_path();
    }
    void TearDown() override {
        SetFileMenuWindows(nullptr);
        AppTest::TearDown();
        std::filesystem::current_path(cwd);
    }
    void StartOptions() {
        ASSERT_TRUE(Start());
        ASSERT_NE(fmOptions, nullptr);
    }
    // What the window does when it closes.
    void CloseOptions() {
        TCloseAction a = caHide;
        fmOptions->OnClose(fmOptions, a);
    }
    // A choice made in a list, as the user makes it.
    static void Choose(TComboBox* c, int Index) {
        c->ItemIndex = Index;
        if (c->OnChange) c->OnChange(c);
    }
    static std::vector<std::string> Items(const TComboBox* c) {
        std::vector<std::string> r;
        for (int i = 0; i < c->Items.Count(); ++i)
            r.push_back(c->Items[i]);
        return r;
    }

    // The outputs are "Synth" (the fixture's), "Out A" (which plays the song stream) and
    // "Out B".
    TVirtualMidiOut outA{"Out A"}, outB{"Out B"};
    SpyWindows spy;
    std::filesystem::path cwd;
};

TEST_F(Options, MadeAtStartUpFromTheSettings) {
    const std::string folder = program.Path() + "songs";
    std::filesystem::create_directory(folder);
    settings.WriteIni("[beep]\nmidinote=38\nmidich=3\nmididevice=2\npcspeaker=1\n"
                      "[Directory]\nSong=" +
                      folder + "\n[Autoload]\nEnabled=1\n[Options]\nDefault device=1\n");
    StartOptions();
    EXPECT_EQ(fmOptions->Caption(), "Options");
    EXPECT_FALSE(fmOptions->Visible);
    EXPECT_EQ(fmOptions->editNote->Text(), "D1");
    EXPECT_EQ(OptionsBeepNote(), 38);
    EXPECT_EQ(OptionsBeepChannel(), 2);
    EXPECT_EQ(OptionsBeepDevice(), 2);
    EXPECT_TRUE(OptionsPcSpeaker());
    EXPECT_TRUE(OptionsMidiBeep());
    EXPECT_TRUE(fmOptions->chkAautoload->Checked);
    EXPECT_TRUE(fmOptions->chkConvert->Checked); // [Options] SplitFormat0 defaults to on
    EXPECT_EQ(fmOptions->comboOutputs->ItemIndex, 1);
    EXPECT_EQ(Items(fmOptions->comboOutputs), (std::vector<std::string>{"Synth", "Out A", "Out B"}));
    EXPECT_EQ(Items(fmOptions->comboDev), Items(fmOptions->comboOutputs));
    EXPECT_EQ(Items(fmOptions->comboInput), std::vector<std::string>{"Keys"});
    EXPECT_FALSE(fmOptions->editBeats->Enabled); // the multimedia back end
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(folder));
    EXPECT_EQ(fmOptions->pages->ActivePage(), fmOptions->TabFile);
    EXPECT_EQ(fmOptions->labelHelp->Caption(),
              "Select options for autosave and open last saved song at program start");
    // Showing the stored values wrote nothing back.
    EXPECT_EQ(Setting("Options", "SplitFormat0"), "<none>");
    // The metronome got the dialog's settings.
    EXPECT_EQ(Midi->ClickChannel, 2);
    EXPECT_EQ(Midi->ClickNote, 38);

    // A folder that is gone leaves the current folder.
    std::filesystem::current_path(program.Path());
    std::filesystem::remove(folder);
    const auto here = std::filesystem::current_path();
    fmOptions->Free();
    Application->CreateForm(fmOptions);
    EXPECT_EQ(std::filesystem::current_path(), here);

    // Pages and their texts; "spesific" as the program has always spelt it.
    fmOptions->ShowPage(fmOptions->TabMidi);
    EXPECT_EQ(fmOptions->labelHelp->Caption(),
              "Select midi input, default midi output device or change all track devices to a "
              "spesific device");
    fmOptions->ShowPage(fmOptions->Tab95Sheet1);
    EXPECT_EQ(fmOptions->labelHelp->Caption(),
              "Select midi input, default midi output device or change all track devices to a "
              "spesific device");
}

TEST_F(Options, MetronomeFieldsAreCorrectedNotReported) {
    StartOptions();
    struct {
        const char* ch;
        int channel;
        const char* after;
    } channels[] = {{"17", 0, "1"}, {"16", 15, "16"}, {"5", 4, "5"}, {"0", 0, "1"}};
    for (auto& c : channels) {
        fmOptions->editCh->Text = c.ch;
        EXPECT_EQ(OptionsBeepChannel(), c.channel) << c.ch;
        EXPECT_EQ(fmOptions->editCh->Text(), c.after) << c.ch;
    }
    fmOptions->editCh->Text = "17";
    EXPECT_EQ(Midi->ClickChannel, 0) << "sent as channel 0 on the change";
    EXPECT_EQ(fmOptions->editCh->Text(), "1");

    struct {
        const char* name;
        int note;
    } notes[] = {{"d1", 38}, {"D1", 38}, {"H2", 36}, {"C-2", 0}, {"G8", 127}, {"", 36}};
    for (auto& n : notes) {
        fmOptions->editNote->Text = n.name;
        EXPECT_EQ(OptionsBeepNote(), n.note) << n.name;
    }

    // Only digits (and backspace, Enter) reach the channel field.
    for (char32_t k : {U'a', U'-', U'7', char32_t(8), char32_t(13)}) {
        char32_t key = k;
        fmOptions->editCh->OnKeyPress(fmOptions->editCh, key);
        EXPECT_EQ(key, (k == U'a' || k == U'-') ? 0 : k);
    }

    // "Active" switches the song's metronome and repaints the transport bar's button.
    fmOptions->chkActive->Checked = true;
    EXPECT_TRUE(Song->MetronomeOn);
    EXPECT_TRUE(Midi->ClickOn);
    EXPECT_EQ(spy.Metronome, 1);

    // Count-in beats leave as a number.
    fmOptions->editBeats->Text = "x";
    fmOptions->BeatsExit();
    EXPECT_EQ(fmOptions->editBeats->Text(), "0");
    EXPECT_EQ(Song->Precounts, 0);
    fmOptions->editBeats->Text = "2";
    fmOptions->BeatsExit();
    EXPECT_EQ(Song->Precounts, 2);
    EXPECT_EQ(Midi->PrecountBeats, 2);
}

TEST_F(Options, TempoPresetsAndControllerMapAtClose) {
    StartOptions();
    fmOptions->memoTempo->Lines.SetText("120\n 5\n300\nabc\n 90 \n");
    fmOptions->memoTempo->OnExit(fmOptions->memoTempo);
    EXPECT_EQ(OptionsTempoLines(), (std::vector<std::string>{"120", "90"}));

    Choose(fmOptions->comboCC1, 7);
    EXPECT_EQ(fmOptions->comboCC2->ItemIndex, 7);
    Choose(fmOptions->comboCC2, 11);
    EXPECT_EQ(CcMap[7], 11);
    Choose(fmOptions->comboTrackMode, 1);
    EXPECT_EQ(DefaultTrackMode, 1);
    CloseOptions();
    EXPECT_EQ(spy.TempoPopups, 1);
    EXPECT_FALSE(fmOptions->memoTempo->Modified);
    EXPECT_EQ(TIniFile().ReadSection("ccmap"), std::vector<std::string>{"7"});
    EXPECT_EQ(Setting("ccmap", "7"), "11");
    EXPECT_EQ(Setting("Default", "TrackMode"), "1");

    fmOptions->SpeedButton1->Click(); // Reset
    EXPECT_EQ(CcMap[7], 7);
    EXPECT_EQ(fmOptions->comboCC2->ItemIndex, 7);
    CloseOptions();
    EXPECT_EQ(spy.TempoPopups, 1) << "the presets did not change";
    EXPECT_TRUE(TIniFile().ReadSection("ccmap").empty());
    DefaultTrackMode = 2;
}

TEST_F(Options, UseSetsEveryTrackWhateverTheGuardSays) {
    StartOptions();
    Song->TrackAt(5)->Mode = tmAudio;
    Choose(fmOptions->comboOutputs, 2);
    TMainWindowSeam* guard = &MainWindow();
    RefusingGuard refusing;
    SetMainWindow(&refusing);
    synth.Clear();
    fmOptions->SpeedButton7->Click();
    SetMainWindow(guard);
    for (int i = 0; i < TrackCount; ++i)
        ASSERT_EQ(Song->TrackAt(i)->Output, 2) << i;
    EXPECT_EQ(synth.Count(), 0u) << "no all-notes-off while the guard refuses";
    EXPECT_EQ(spy.TrackLists, 1);

    Song->TrackAt(0)->Output = 0;
    fmOptions->SpeedButton7->Click();
    EXPECT_EQ(Song->TrackAt(0)->Output, 2);
    EXPECT_EQ(synth.Count(), 32u); // 123 and 120 on 16 channels
}

TEST_F(Options, DisableAndEnableRebuildBothLists) {
    StartOptions();
    // The output that plays the song stream cannot be switched: the lists stay.
    Choose(fmOptions->comboOutputs, 1);
    gui.Dialogs().Answer(IDOK, "This device can't be disabled");
    fmOptions->sbDisableOut->Click();
    EXPECT_TRUE(Midi->IsOutputOpen(1));
    EXPECT_EQ(spy.OutputMenus, 0);

    Choose(fmOptions->comboOutputs, 2);
    EXPECT_FALSE(fmOptions->sbEnableOut->Enabled);
    EXPECT_TRUE(fmOptions->sbDisableOut->Enabled);
    fmOptions->sbDisableOut->Click();
    EXPECT_FALSE(Midi->IsOutputOpen(2));
    EXPECT_EQ(Items(fmOptions->comboOutputs),
              (std::vector<std::string>{"Synth", "Out A", "(Inactive) Out B"}));
    EXPECT_EQ(Items(fmOptions->comboDev), Items(fmOptions->comboOutputs));
    EXPECT_EQ(fmOptions->comboOutputs->ItemIndex, 2);
    EXPECT_TRUE(fmOptions->sbEnableOut->Enabled);
    EXPECT_EQ(spy.OutputMenus, 1);

    // Refused by the guard: nothing switches.
    TMainWindowSeam* guard = &MainWindow();
    RefusingGuard refusing;
    SetMainWindow(&refusing);
    fmOptions->sbEnableOut->Click();
    SetMainWindow(guard);
    EXPECT_FALSE(Midi->IsOutputOpen(2));

    fmOptions->sbEnableOut->Click();
    EXPECT_TRUE(Midi->IsOutputOpen(2));
    EXPECT_EQ(Items(fmOptions->comboOutputs), (std::vector<std::string>{"Synth", "Out A", "Out B"}));
    EXPECT_EQ(spy.OutputMenus, 2);
}

TEST_F(Options, InputSettings) {
    StartOptions();
    ASSERT_TRUE(Midi->IsInputOpen());
    fmOptions->chkRecSysex->Checked = true;
    EXPECT_TRUE(Midi->InPort->RecordSysex);
    EXPECT_TRUE(Midi->IsInputOpen()) << "opened again with the flag";
    EXPECT_EQ(keys.OpenCount(), 1);
    EXPECT_EQ(Setting("MIDI", "RecordSysex"), "1");

    fmOptions->chkSplitInput->Checked = true;
    EXPECT_TRUE(Midi->MapInput);
    EXPECT_EQ(Setting("MIDI", "MapInput"), "1");

    fmOptions->chkAutoplay->Checked = true;
    fmOptions->chkConvert->Checked = false;
    EXPECT_EQ(Setting("Autoplay", "Enabled"), "1");
    EXPECT_EQ(Setting("Options", "SplitFormat0"), "0");
}

// Shown from the File menu, the dialog takes the MIDI messages: a played key becomes the
// metronome note. It closes with Escape.
TEST_F(Options, APlayedNoteBecomesTheMetronomeNote) {
    StartOptions();
    bool shown = false;
    gui.OnModal("Options", [&](HWND) {
        shown = true;
        EXPECT_EQ(Midi->Window, fmOptions->Handle());
        keys.Send({0x90, 38, 100});
        keys.Send({0xFE}); // active sensing carries no note
        gui.Pump();
        EXPECT_EQ(fmOptions->editNote->Text(), "D1");
        fmOptions->ModalResult = mrCancel;
    });
    fmMdi->Options1Click();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(fmOptions->Visible);
    EXPECT_EQ(Midi->Window, fmMdi->Handle());
    EXPECT_EQ(OptionsBeepNote(), 38);
    EXPECT_EQ(Midi->ClickNote, 38);

    // The metronome button's right click opens the Beep page.
    gui.OnModal("Options", [&](HWND) {
        EXPECT_EQ(fmOptions->pages->ActivePage(), fmOptions->TabBeep);
        fmOptions->ModalResult = mrCancel;
    });
    ShowOptionsPage(1);
    EXPECT_FALSE(fmOptions->Visible);
}

} // namespace
