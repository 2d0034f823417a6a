// The main window's messages, hot keys and the MIDI window hand-over, headless.
#include "app/transport_fixture.h"
#include "devices/mfx.h"
#include "devices/vsthost.h"
#include "gui/unativewnd.h"
#include "platform/forms/form.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/engine.h"
#include "song/softengine.h"
#include "song/subengine.h"

using namespace platform;
using namespace transporttest;

namespace {

using Messages = TransportFixture;

TEST(MessageNumbers, AreThoseOtherComponentsPost) {
    const std::pair<UINT, UINT> table[] = {
        {MM_MIM_DATA, 963},       {WM_HOTKEY, 786},
        {WM_MOUSEWHEEL, 522},     {WM_DROPFILES, 563},
        {WM_USER, 1024},          {WM_USER + 100, 1124},
        {WM_DONE, 1147},          {WM_VSTHOST, 1148},
        {WM_DISKREPAINT, 1149},   {WM_AUDIORECORDDONE, 1174},
        {WM_SETSONGPOS, 1525},    {WM_REFILLQUEUE, 1526},
        {WM_TRACKACTIVITY, 1527}, {WM_SYNCSTARTSTOP, 1528},
        {WM_RESTARTAUDIO, 2011},  {WM_ENGINEERROR, 2023},
        {WM_WHEELFORWARD, 1224},
    };
    for (auto [constant, number] : table)
        EXPECT_EQ(constant, number);
}

TEST_F(Messages, PositionMessagesMoveTheCursorExceptWhileWindingOrWithoutTheArrangeWindow) {
    PostMessage(fmMdi->Handle(), WM_SETSONGPOS, 0, 720);
    gui.Pump();
    EXPECT_EQ(Song->Position, 720);
    EXPECT_EQ(windows.Cursor, (std::vector<int>{0, 720}));
    EXPECT_EQ(windows.SongPositionPaints, 1);

    fmMdi->Winding = true;
    PostMessage(fmMdi->Handle(), WM_SETSONGPOS, 0, 1000);
    gui.Pump();
    EXPECT_EQ(Song->Position, 720);
    fmMdi->Winding = false;

    windows.Arrange = false;
    PostMessage(fmMdi->Handle(), WM_SETSONGPOS, 0, 1000);
    gui.Pump();
    EXPECT_EQ(Song->Position, 720);
    EXPECT_EQ(windows.Cursor.size(), 2u);
}

TEST_F(Messages, ARefillFeedsOnlyWhileMidiRuns) {
    fmMdi->StartPlayback(false);
    fmMdi->StopPlayback(false);
    PostMessage(fmMdi->Handle(), WM_REFILLQUEUE, 0, 0);
    gui.Pump();
    EXPECT_EQ(Song->Engine->Queue, nullptr); // nothing was fed or relocated
    EXPECT_EQ(Song->State, 0);
}

TEST_F(Messages, StartStopAndContinueFromTheInput) {
    auto startStop = [&](std::uint8_t Status) {
        keys.Send({Status});
        gui.Pump();
    };
    // Ignored while not responding.
    startStop(0xFA);
    EXPECT_EQ(Song->State, 0);

    Song->RespondToStartStop = 1;
    Song->Position = 960;
    startStop(0xFB); // continue: plays from the song position
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(Midi->StartPos, 960);
    startStop(0xFB); // continue while playing: nothing
    EXPECT_EQ(Midi->StartPos, 960);
    gui.Advance(100);
    startStop(0xFA); // start while playing: back to bar 1, playing on
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(Midi->StartPos, 0);
    EXPECT_EQ(Song->Position, 0);
    startStop(0xFC);
    EXPECT_EQ(Song->State, 0);
    Song->Position = 480;
    startStop(0xFA); // start while stopped: from bar 1
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(Midi->StartPos, 0);

    Song->RespondToStartStop = 0;
    startStop(0xFC);
    EXPECT_EQ(Song->State, 2);
    fmMdi->StopPlayback(false);
}

TEST_F(Messages, NotesMoveTheMidiLedAndActivityMarksTracks) {
    keys.Send({0x90, 60, 100});
    gui.Pump();
    EXPECT_EQ(fmMdi->MidiLed->Level, 1.0f);
    keys.Send({0x80, 60, 0});
    gui.Pump();
    EXPECT_EQ(fmMdi->MidiLed->Level, 0.0f);
    EXPECT_EQ(windows.LedPaints, 2);

    SendMessage(fmMdi->Handle(), WM_TRACKACTIVITY, 5, 0x647890);
    EXPECT_EQ(Song->TrackAt(5)->InputActivity, 12);
    SendMessage(fmMdi->Handle(), WM_TRACKACTIVITY, 128, 0x647890);
    SendMessage(fmMdi->Handle(), WM_TRACKACTIVITY, WPARAM(-1), 0x647890);
    for (int t = 0; t < TrackCount; ++t)
        EXPECT_EQ(Song->TrackAt(t)->InputActivity, t == 5 ? 12 : 0) << t;
    EXPECT_EQ(Song->MetronomeTrack()->InputActivity, 0);
}

TEST_F(Messages, BusesAddedWithTheMainWindowToggleTheSynthEditorOnce) {
    // The song readers add buses with nobody to tell.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(SubEngine->AddSub(skGroupVolume, "", -1));
    gui.Pump();
    EXPECT_EQ(windows.Toggles, 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(SubEngine->AddSub(skGroupVolume, "", fmMdi->Handle()));
    gui.Pump();
    EXPECT_EQ(windows.Toggles, 3);
    EXPECT_EQ(windows.Notifies, 3);
    // WM_USER with any other wParam (the audio system opened or closed) does nothing.
    SendMessage(fmMdi->Handle(), WM_USER, 0, 0);
    OpenAudio();
    EXPECT_EQ(windows.Toggles, 3);
}

TEST_F(Messages, HotKeys) {
    Song->RightLocator = 2880;
    auto hotKey = [&](UINT Vk) {
        PostMessage(fmMdi->Handle(), WM_HOTKEY, Vk, 0);
        gui.Pump();
    };
    hotKey(VK_NUMPAD1);
    EXPECT_EQ(Song->State, 0);
    EXPECT_EQ(Song->Position, 0);
    hotKey(VK_NUMPAD2);
    EXPECT_EQ(Song->Position, 2880);
    hotKey(VK_RETURN);
    EXPECT_EQ(Song->State, 2);
    hotKey(VK_SPACE);
    EXPECT_EQ(Song->State, 0);
    hotKey(VK_RETURN);
    hotKey(VK_NUMPAD0);
    EXPECT_EQ(Song->State, 0);
    hotKey(VK_HOME);
    EXPECT_EQ(Song->Position, 0);
    EXPECT_FALSE(Application->Terminated());
}

TEST_F(Messages, AnEngineErrorStopsThenShowsItsCode) {
    fmMdi->StartPlayback(false);
    gui.Dialogs().Answer(IDOK, "Error 7");
    PostMessage(fmMdi->Handle(), WM_ENGINEERROR, 7, 0);
    gui.Pump();
    EXPECT_EQ(Song->State, 0);
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Error 7");
}

TEST_F(Messages, DoneRestartAudioAndSkin) {
    PostMessage(fmMdi->Handle(), WM_DONE, 0, 0);
    gui.Pump();
    EXPECT_EQ(fmMdi->Caption, "Done");

    OpenAudio();
    driverCommands.clear();
    PostMessage(fmMdi->Handle(), WM_RESTARTAUDIO, 0, 0);
    gui.Pump();
    EXPECT_TRUE(Audio->Running);
    EXPECT_EQ(driverCommands.front(), TV_AUDIO_RECORDING);
    EXPECT_NE(std::find(driverCommands.begin(), driverCommands.end(), TV_AUDIO_CLOSE),
              driverCommands.end());
    EXPECT_EQ(driverCommands.back(), TV_AUDIO_START);
    EXPECT_FALSE(Paused);

    // No skin: applying it again changes nothing and nothing fails.
    PostMessage(fmMdi->Handle(), WM_USER + 100, 0, 0);
    gui.Pump();
}

// A window of another part of the program, under the mouse.
class WheelTarget : public TForm {
public:
    WheelTarget() : TForm(nullptr) {
        Caption = "Plug-in";
        SetBounds(300, 300, 200, 150);
    }
    std::vector<std::pair<WPARAM, LPARAM>> Forwarded;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override {
        if (Msg == WM_WHEELFORWARD) Forwarded.push_back({W, L});
        return TForm::WndProc(Msg, W, L);
    }
};

TEST_F(Messages, TheWheelGoesOnToTheWindowUnderTheMouseButNotToTheMainWindow) {
    fmMdi->SetWindowState(wsNormal);
    fmMdi->SetBounds(0, 0, 250, 250);
    auto* other = new WheelTarget;
    other->Show();
    gui.Pump();
    const WPARAM w = WPARAM(120) << 16;
    gui.MoveTo(gui.At(other->Handle(), 20, 20));
    EXPECT_EQ(SendMessage(fmMdi->Handle(), WM_MOUSEWHEEL, w, 0x00200030), 0);
    ASSERT_EQ(other->Forwarded.size(), 1u);
    EXPECT_EQ(other->Forwarded[0], (std::pair<WPARAM, LPARAM>{w, 0x00200030}));
    gui.MoveTo(gui.At(fmMdi->Handle(), 50, 50));
    EXPECT_EQ(SendMessage(fmMdi->Handle(), WM_MOUSEWHEEL, w, 0), 0);
    EXPECT_EQ(other->Forwarded.size(), 1u);
    other->Free();
}

TEST_F(Messages, NeedIdleMarksThePluginsOfThatEffect) {
    TSoftItem* synthItem = SoftEngine->AddSoftsynth(TOLVERN_BIN_DIR "/synth/tvsynth.so");
    TSub* bus = SubEngine->AddSub(skGroupEffect, TOLVERN_BIN_DIR "/fx/tvgain.so", -1);
    ASSERT_TRUE(synthItem && synthItem->Plugin->Loaded && bus && bus->Plugin->Loaded);
    ASSERT_EQ(VstHostWindow, fmMdi->Handle());

    // A record no plug-in has marks nothing.
    PostMessage(fmMdi->Handle(), WM_VSTHOST, 1, 0x1234);
    gui.Pump();
    EXPECT_FALSE(synthItem->Plugin->WantsIdle);
    EXPECT_FALSE(bus->Plugin->WantsIdle);

    // What the plug-in's own call to the host posts.
    VstHostCallback(synthItem->Plugin->Effect, audioMasterNeedIdle, 0, 0, nullptr, 0.0f);
    gui.Pump();
    EXPECT_TRUE(synthItem->Plugin->WantsIdle);
    EXPECT_FALSE(bus->Plugin->WantsIdle);
    VstHostCallback(bus->Plugin->Effect, audioMasterNeedIdle, 0, 0, nullptr, 0.0f);
    VstHostCallback(bus->Plugin->Effect, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f);
    gui.Pump();
    EXPECT_TRUE(bus->Plugin->WantsIdle);
}

// A modal dialog that takes the MIDI messages while it is shown.
class NoteDialog : public TForm {
public:
    NoteDialog() : TForm(nullptr) {
        Caption = "Transpose";
        SetBounds(100, 100, 300, 200);
    }
    std::vector<std::uint32_t> Notes;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override {
        if (ForwardTransportMessage(Msg, W, L)) return 0;
        if (Msg == MM_MIM_DATA) Notes.push_back(static_cast<std::uint32_t>(L));
        return TForm::WndProc(Msg, W, L);
    }
};

TEST_F(Messages, AModalDialogHoldingTheMidiWindowForwardsPositionAndRefill) {
    auto* dialog = new NoteDialog;
    fmMdi->StartPlayback(false);
    bool ran = false;
    gui.OnModal("Transpose", [&](HWND) {
        ran = true;
        EXPECT_EQ(Midi->Window, dialog->Handle());
        keys.Send({0x90, 64, 100});
        PostMessage(dialog->Handle(), WM_SETSONGPOS, 0, 480);
        PostMessage(dialog->Handle(), WM_REFILLQUEUE, 0, 0);
        gui.Pump();
        EXPECT_EQ(Song->Position, 480);
        EXPECT_EQ(fmMdi->MidiLed->Level, 0.0f);
        dialog->ModalResult = mrOk;
    });
    EXPECT_EQ(ShowModalWithMidiWindow(*dialog), mrOk);
    EXPECT_TRUE(ran);
    EXPECT_EQ(dialog->Notes, std::vector<std::uint32_t>{0x644090});
    EXPECT_EQ(Midi->Window, fmMdi->Handle());
    keys.Send({0x90, 64, 100});
    gui.Pump();
    EXPECT_EQ(fmMdi->MidiLed->Level, 1.0f);
    fmMdi->StopPlayback(false);
    dialog->Free();
}

TEST_F(Messages, MinimiseHidesTheShownPopupsAndRestoreShowsThoseAgain) {
    TNativeWin editor(fmMdi->Handle(), 200, 100), hidden(fmMdi->Handle(), 200, 100);
    editor.Show();
    gui.Pump();
    ASSERT_TRUE(IsWindowVisible(editor.Handle));
    ASSERT_TRUE(Application->OnMinimize && Application->OnRestore);
    Application->OnMinimize(Application);
    EXPECT_FALSE(IsWindowVisible(editor.Handle));
    EXPECT_EQ(GetActiveWindow(), 0);
    Application->OnRestore(Application);
    EXPECT_TRUE(IsWindowVisible(editor.Handle));
    EXPECT_FALSE(IsWindowVisible(hidden.Handle));
}

} // namespace
