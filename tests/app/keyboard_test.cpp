// The main window's keys, injected through the window layer.
#include "app/transport.h"
#include "app/transportbar.h"
#include "app_fixture.h"

#include "devices/midi.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "song/song.h"

using namespace platform;

namespace {

class Keys : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(Start());
        SetFocus(fmMdi->Handle());
    }
    void TearDown() override {
        if (Song) fmMdi->StopPlayback(false);
        EnterGuard = 0;
        MdiHooks() = TMdiHooks{};
        AppTest::TearDown();
    }
};

TEST_F(Keys, EnterPlaysAndStopsOnceWhileHeld) {
    gui.HoldKey(VK_RETURN, 1200);
    EXPECT_EQ(Song->State, 2); // repeats neither stopped nor restarted it
    EXPECT_EQ(EnterGuard, 0);
    gui.Key(VK_RETURN);
    EXPECT_EQ(Song->State, 0);

    Song->State = 1; // recording: the guard refuses
    gui.Key(VK_RETURN);
    EXPECT_EQ(Song->State, 1);
    Song->State = 0;

    gui.Key(VK_SPACE); // Space never starts
    EXPECT_EQ(Song->State, 0);
    fmMdi->StartPlayback(false);
    gui.Key(VK_SPACE);
    EXPECT_EQ(Song->State, 0);
}

TEST_F(Keys, ShiftEnterLoopsFromTheLeftLocator) {
    Song->LeftLocator = 960;
    Song->RightLocator = 2880;
    Song->Position = 500;
    gui.Chord({VK_SHIFT, VK_RETURN});
    EXPECT_EQ(Song->LeftLocator, 960);
    EXPECT_EQ(Song->RightLocator, 2880);
    EXPECT_EQ(Song->LoopOn, 1);
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(Song->PlayStart, 960);
}

TEST_F(Keys, NumPad4ReplaysFromWherePlaybackStarted) {
    Song->Position = 480;
    fmMdi->StartPlayback(false);
    fmMdi->StopPlayback(false);
    Song->Position = 5000;
    gui.Key(VK_NUMPAD4);
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(Song->PlayStart, 480);
}

TEST_F(Keys, AHeldPageUpWindsOnceAndItsReleaseEnds) {
    fmMdi->WindStep = 4; // 240 ticks a step
    gui.KeyDown(VK_PRIOR);
    EXPECT_TRUE(fmMdi->Winding);
    EXPECT_EQ(Song->Position, 240); // the first step at once
    gui.Advance(600);               // repeats come after 500 ms; the timer steps every 50
    gui.KeyDown(VK_PRIOR);          // a repeat
    EXPECT_EQ(Song->Position, 240 + 12 * 240);
    gui.KeyUp(VK_PRIOR);
    EXPECT_FALSE(fmMdi->Winding);
    EXPECT_EQ(fmMdi->PressedButton, 0);
    gui.Advance(200);
    EXPECT_EQ(Song->Position, 240 + 12 * 240);
}

TEST_F(Keys, HomeAndEndReleaseTheirButtons) {
    Song->Position = 700;
    gui.KeyDown(VK_HOME);
    EXPECT_EQ(fmMdi->PressedButton, 3);
    EXPECT_EQ(Song->Position, 0);
    gui.KeyUp(VK_HOME);
    EXPECT_EQ(fmMdi->PressedButton, 0);
    gui.KeyDown(VK_END);
    EXPECT_EQ(fmMdi->PressedButton, 4);
    gui.KeyUp(VK_END);
    EXPECT_EQ(fmMdi->PressedButton, 0);
}

TEST_F(Keys, LettersAndTheirHooks) {
    std::string ran;
    TMdiHooks& h = MdiHooks();
    h.ToggleTrackMute = [&](int Track) { ran += "M" + std::to_string(Track) + ";"; };
    h.ToggleSolo = [&] { ran += "S;"; };
    h.ToggleAutoQuantize = [&] { ran += "A;"; };
    h.RecordPunchIn = [&] { ran += "*;"; };
    h.ToggleMixerVisible = [&] { ran += "F11;"; };
    Song->CurrentTrackIndex = 3;
    gui.Chord({VK_MENU, 'M'});
    gui.Chord({VK_MENU, 'S'});
    EXPECT_EQ(ran, "");
    for (UINT vk : {UINT('M'), UINT('S'), UINT('A'), UINT(VK_MULTIPLY), UINT(VK_F11)})
        gui.Key(vk);
    EXPECT_EQ(ran, "M3;S;A;*;F11;");

    gui.Key(VK_DIVIDE);
    EXPECT_EQ(Song->LoopOn, 1);
    gui.Key('B');
    EXPECT_EQ(Song->MetronomeOn, 1);
    EXPECT_TRUE(Midi->ClickOn);
    EXPECT_EQ(Midi->ClickNote, 36); // the options' defaults
}

} // namespace
