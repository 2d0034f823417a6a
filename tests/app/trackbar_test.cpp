// The track settings bar and the output and channel menus headless: what the bar shows for
// each mode, the output menus, the Default layout's edits, the track mode, the flow of the
// bar's panels, routing the current track, removing softsynths and the track popup.
#include "app/arrange.h"

#include "arrange_fixture.h"

#include "app/arrangetransport.h"
#include "app/main.h"
#include "app/options.h"
#include "app/synthmenu.h"
#include "app/trackbar.h"
#include "app/trackmenus.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/audio.h"
#include "devices/inport.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "gui/comctrls95.h"
#include "platform/core/dialogs.h"
#include "platform/core/thunk.h"
#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/header.h"
#include "platform/gdi/surface.h"
#include "platform/menus/menus.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/automation.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/subengine.h"
#include "song/timebase.h"
#include "support/recording_synths.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <tuple>

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> Captions(const TMenuItem* Menu) {
    std::vector<std::string> r;
    for (int i = 0; i < Menu->Count(); ++i)
        r.push_back(Menu->Items(i)->Caption);
    return r;
}
std::vector<std::string> Captions(const std::vector<TMenuItem*>& Items) {
    std::vector<std::string> r;
    for (const TMenuItem* i : Items)
        r.push_back(i->Caption);
    return r;
}

// The transport's windows as the arrange window answers them, noting the editor broadcasts.
class BroadcastLog : public TArrangeTransportWindows {
public:
    void BroadcastEditors(int Cmd, std::intptr_t A, std::intptr_t B) override {
        Calls.push_back({Cmd, A, B});
    }
    std::vector<std::tuple<int, std::intptr_t, std::intptr_t>> Calls;
};

class Trackbar : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Prepare();
        Start(Ini());
        SetPluginSearch(nullptr); // softsynths of names that are nowhere load silent
        for (int i = 0; i < TrackCount; ++i)
            Song->TrackAt(i)->Mode = tmMidi;
        Song->CurrentTrackIndex = 0;
    }
    void TearDown() override {
        ArrangeSeams().ChangeLayout = nullptr;
        ArrangeSeams().ShowLayoutFields = nullptr;
        MdiHooks().ToggleTrackMute = nullptr;
        ChangeTrackModeHeldHook = nullptr;
        SetTransportWindows(nullptr);
        if (SoftEngine) SoftEngine->Clear();
        ArrangeTest::TearDown();
    }
    virtual std::string Ini() const { return ""; }
    virtual void Prepare() {}
    _TTrack* Track() { return Song->CurrentTrack(); }
    std::vector<Bytes> TakeSent() {
        std::vector<Bytes> r;
        for (const auto& s : synth.Sent())
            r.push_back(s.Bytes);
        synth.Clear();
        return r;
    }
    // An item with Tag for a handler that reads only the tag.
    static std::unique_ptr<TMenuItem> Tagged(int Tag) {
        auto i = std::make_unique<TMenuItem>("item");
        i->Tag = Tag;
        return i;
    }
    std::string ModeBox() const { return a->comboTrackMode->Items[a->comboTrackMode->ItemIndex]; }
};

// Channel, output and the Default layout's fields by mode; what is enabled and visible; the
// editor plug-ins hear which track is current and whether it holds MIDI events.
TEST_F(Trackbar, RefreshShowsTheCurrentTrackByMode) {
    BroadcastLog log;
    SetTransportWindows(&log);
    SoftEngine->AddSoftsynth("Strings.dll");
    struct Case {
        int Mode, Channel;
        const char *ChannelText, *ModeText, *Program;
        bool Midi;
    } cases[] = {
        {tmMidi, -1, "Off", "MIDI", "5", true},        {tmMidi, 4, "5", "MIDI", "5", true},
        {tmSoftsynth, 2, "3", "Softsynth", "5", true}, {tmAudio, 2, "---", "Audio", "---", false},
        {tmParameter, 2, "---", "Param", "5", false},  {tmDisk, 2, "---", "Disk", "5", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ModeText);
        Track()->Mode = c.Mode;
        Track()->Channel = c.Channel;
        Track()->Program = 5;
        Track()->Bank = -1;
        Track()->Output = 0;
        log.Calls.clear();
        a->RefreshTrackbar();
        EXPECT_EQ(a->panelChannel->Caption(), c.ChannelText);
        EXPECT_EQ(ModeBox(), c.ModeText);
        EXPECT_EQ(a->editProgram->Text(), c.Program);
        EXPECT_EQ(a->editBank->Text(), c.Mode == tmAudio ? "---" : "");
        EXPECT_EQ(a->panelChannel->Enabled(), c.Midi);
        EXPECT_EQ(a->editProgram->Enabled(), c.Midi);
        EXPECT_EQ(a->sbProgUp->Enabled(), c.Midi);
        EXPECT_EQ(a->comboLayout->Visible(), c.Mode == tmMidi);
        EXPECT_EQ(a->BankPanels[0]->Visible(), c.Mode == tmMidi);
        EXPECT_EQ(a->panelSynthEdit->Visible(), c.Mode == tmSoftsynth);
        ASSERT_EQ(log.Calls.size(), 1u);
        EXPECT_EQ(log.Calls[0], std::make_tuple(9, std::intptr_t(Track()), std::intptr_t(!c.Midi)));
    }
    Track()->Mode = tmSoftsynth;
    a->RefreshTrackbar();
    EXPECT_EQ(a->panelOutput->Caption(), " Strings");
    EXPECT_EQ(a->sbEditSynth->Hint, "Edit  Strings\rShortcut CTRL + SPACE");
    // Muted, on the GM layout: that layout's fields are shown by its owner.
    int shown = 0;
    ArrangeSeams().ShowLayoutFields = [&] { ++shown; };
    Track()->Mode = tmMidi;
    Track()->Mute = 1;
    Track()->Layout = 0x200;
    a->RefreshTrackbar();
    EXPECT_TRUE(a->btnMute->Down);
    EXPECT_EQ(a->comboLayout->ItemIndex, 1);
    EXPECT_FALSE(a->BankPanels[0]->Visible());
    EXPECT_TRUE(a->BankPanels[1]->Visible());
    EXPECT_EQ(shown, 1);
    Track()->Layout = 0x100;
    a->RefreshTrackbar();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(a->comboLayout->ItemIndex, 0);
    // A layout of none of the seven bits shows no panel and leaves the box as it was.
    Track()->Layout = 0x8000;
    a->RefreshTrackbar();
    EXPECT_EQ(a->comboLayout->ItemIndex, 0);
    for (TPanel* p : a->BankPanels)
        EXPECT_FALSE(p->Visible());
    SetTransportWindows(nullptr);
}

// The three output menus for each mode, namesakes numbered, and the disk channels.
TEST_F(Trackbar, OutputMenusListTheOutputsOfTheMode) {
    for (const char* name : {"N.dll", "N.dll", "Other.dll"})
        SoftEngine->AddSoftsynth(name);
    Track()->Mode = tmSoftsynth;
    Track()->Output = 1;
    a->RefreshTrackbar();
    EXPECT_EQ(a->panelOutput->Caption(), " N (2)");
    for (TMenuItem* m : {a->PopupDevice->Items, a->Device1, a->Device2}) {
        EXPECT_EQ(Captions(m),
                  (std::vector<std::string>{"N (1)", "N (2)", "Other", "-", "Remove"}));
        EXPECT_EQ(Captions(m->Items(4)), (std::vector<std::string>{"N (1)", "N (2)", "Other"}));
        EXPECT_EQ(m->Items(4)->Items(2)->Tag, 2);
    }
    Track()->Mode = tmDisk;
    for (int i = 0; i < 3; ++i)
        Song->DiskOutputs[std::size_t(i)].Active = 1;
    a->RefreshTrackbar();
    EXPECT_EQ(Captions(a->Device1),
              (std::vector<std::string>{"Ch1", "Ch2", "Ch3", "-", "Add channel"}));
    EXPECT_EQ(a->Device1->Items(4)->Tag, 3);
    Track()->Mode = tmMidi;
    a->RefreshTrackbar();
    std::string name;
    int technology = 0;
    Midi->GetOutputCaps(0, technology, name);
    ASSERT_EQ(a->Device2->Count(), MidiOutCount);
    EXPECT_EQ(a->Device2->Items(0)->Caption, Midi->IsOutputOpen(0) ? name : "(Inactive) " + name);
    Track()->Mode = tmParameter;
    a->RefreshTrackbar();
    EXPECT_EQ(a->PopupDevice->Items->Count(), 0);
}

// The main window's softsynth menu is hung into the output menu that opens, and a rebuild of
// the output menus takes it out first: it still opens with its items afterwards.
TEST_F(Trackbar, SoftsynthMenuSurvivesTheRebuildOfTheMenuItHungIn) {
    ASSERT_TRUE(fmMdi->PopupSynth);
    const int items = fmMdi->PopupSynth->Items->Count();
    ASSERT_GT(items, 0);
    SoftEngine->AddSoftsynth("N.dll");
    Track()->Mode = tmSoftsynth;
    a->RefreshTrackbar();
    gui.OnModal("PopupDevice", [&](HWND) {
        EXPECT_EQ(Captions(ShownMenuItems(0)),
                  (std::vector<std::string>{"N", "-", "Add", "Remove"}));
        gui.Key(VK_ESCAPE);
    });
    const TPoint p = a->panelOutput->ClientToScreen({4, 4});
    gui.Click(p);
    EXPECT_EQ(fmMdi->PopupSynth->Items->Parent(), a->PopupDevice->Items);
    a->RefreshTrackbar();
    EXPECT_EQ(fmMdi->PopupSynth->Items->Parent(), nullptr);
    ASSERT_EQ(fmMdi->PopupSynth->Items->Count(), items);
    bool opened = false;
    gui.OnModal("PopupSynth", [&](HWND) {
        opened = !ShownMenuItems(0).empty();
        gui.Key(VK_ESCAPE);
    });
    fmMdi->PopupSynth->Popup(10, 10);
    EXPECT_TRUE(opened);
    // Without softsynths the menu is the last item.
    Track()->Mode = tmSoftsynth;
    SoftEngine->Clear();
    a->RefreshTrackbar();
    a->PopupTracksPopup();
    EXPECT_EQ(Captions(a->Device2), std::vector<std::string>{"Add"});
}

// Program and bank of the Default layout: Enter stores, clamps, sends and shows; empty is
// none and sends nothing; text that is no number is reported and changes nothing; the arrows
// step within the range.
TEST_F(Trackbar, DefaultLayoutProgramAndBank) {
    Track()->Channel = 2;
    a->RefreshTrackbar();
    TakeSent();
    a->editProgram->SetFocus();
    gui.Type("200");
    gui.Key(VK_RETURN);
    EXPECT_EQ(Track()->Program, 199);
    EXPECT_EQ(a->editProgram->Text(), "199");
    EXPECT_FALSE(a->editProgram->Focused());
    TakeSent(); // a program beyond 127 goes nowhere
    struct Case {
        bool Program;
        const char* Text;
        int Stored;
        const char* Shown;
    } cases[] = {
        {false, "128", 127, "127"}, {true, "7", 7, "7"}, {false, "", -1, ""}, {true, "", -1, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        TEdit* e = c.Program ? a->editProgram : a->editBank;
        e->Text = c.Text;
        e->SetFocus();
        gui.Key(VK_RETURN);
        EXPECT_EQ(c.Program ? Track()->Program : Track()->Bank, c.Stored);
        EXPECT_EQ(e->Text(), c.Shown);
    }
    EXPECT_FALSE(TakeSent().empty()); // the program 7 went out
    a->editBank->Text = "";
    a->EnterProgramOrBank(false);
    EXPECT_TRUE(TakeSent().empty());
    gui.Dialogs().Answer(IDOK, "'abc' is not a valid integer value.");
    a->editProgram->Text = "abc";
    a->editProgram->SetFocus();
    gui.Key(VK_RETURN);
    EXPECT_EQ(Track()->Program, -1);
    EXPECT_TRUE(TakeSent().empty());
    // Arrows: an empty edit counts from 0; the range holds at both ends.
    a->editProgram->Text = "";
    a->sbProgUp->Click();
    EXPECT_EQ(a->editProgram->Text(), "1");
    EXPECT_EQ(Track()->Program, 1);
    a->sbProgDown->Click();
    a->sbProgDown->Click();
    EXPECT_EQ(Track()->Program, 0);
    a->editBank->Text = "127";
    a->sbMoveUp1->Click();
    EXPECT_EQ(Track()->Bank, 127);
    a->editProgram->Text = "199";
    a->sbProgUp->Click();
    EXPECT_EQ(Track()->Program, 199);
    const auto sent = TakeSent();
    // On the track's channel, the bank first.
    EXPECT_NE(std::find(sent.begin(), sent.end(), Bytes{0xB2, 0, 127}), sent.end());
    EXPECT_NE(std::find(sent.begin(), sent.end(), Bytes{0xC2, 0}), sent.end());
}

TEST_F(Trackbar, TrackModeAsksBeforePartsGoAndRefusesWithSamples) {
    AddPart(0, 0, 1920, "Notes", {{0, 60}});
    // MIDI to softsynth and back keeps the parts without a question.
    a->comboTrackMode->ItemIndex = 1;
    a->comboTrackMode->OnClick(a->comboTrackMode);
    EXPECT_EQ(Track()->Mode, tmSoftsynth);
    ChangeTrackMode(tmMidi);
    EXPECT_NE(Track()->Parts, nullptr);
    // To audio the parts would go: No leaves the track and the box as they were.
    gui.Dialogs().Answer(IDNO, "This will delete all parts in track. Are you sure?");
    a->comboTrackMode->ItemIndex = 2;
    a->comboTrackMode->OnClick(a->comboTrackMode);
    EXPECT_EQ(Track()->Mode, tmMidi);
    EXPECT_EQ(ModeBox(), "MIDI");
    EXPECT_NE(Track()->Parts, nullptr);
    ASSERT_EQ(gui.Dialogs().Boxes().back().Caption, "Track mode");
    // Yes: the parts and the clipboard go.
    Song->Clipboard = NewPart("Copy", 0, 960, 0);
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    ChangeTrackMode(tmAudio);
    EXPECT_EQ(Track()->Mode, tmAudio);
    EXPECT_EQ(Track()->Parts, nullptr);
    EXPECT_EQ(Song->Clipboard, nullptr);
    EXPECT_EQ(ModeBox(), "Audio");
    // A track with samples keeps its mode; the box returns to it.
    Track()->Samples.push_back(std::make_unique<TSample>());
    gui.Dialogs().Answer(IDOK, "Can't change track mode when track contains samples");
    a->comboTrackMode->ItemIndex = 0;
    a->comboTrackMode->OnClick(a->comboTrackMode);
    EXPECT_EQ(Track()->Mode, tmAudio);
    EXPECT_EQ(ModeBox(), "Audio");
    EXPECT_EQ(gui.Dialogs().Boxes().back().Icon, unsigned(MB_ICONINFORMATION));
    Track()->Samples.clear();
}

class TrackbarPlaying : public Trackbar {
protected:
    std::string Ini() const override { return "[Audio]\nSystem=scripted\nEnabled=1\n"; }
};

// Parts that a playing song's scheduler and queues point into go under a granted pause; while
// recording the pause is refused and nothing changes.
TEST_F(TrackbarPlaying, ModeChangeDeletesPartsUnderTheEditGuard) {
    AddPart(0, 0, 1920, "Notes", {{0, 60}, {480, 62}});
    AddPart(1, 0, 1920, "Other", {{0, 64}});
    Song->Position = 0;
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    bool paused = false;
    ChangeTrackModeHeldHook = [&] { paused = Paused && Song->State == 0; };
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    ChangeTrackMode(tmAudio);
    EXPECT_TRUE(paused);
    EXPECT_EQ(Track()->Parts, nullptr);
    EXPECT_EQ(Song->State, 2);
    fmMdi->StopPlayback(false);
    // Recording: refused.
    Song->CurrentTrackIndex = 1;
    Song->State = 1;
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    ChangeTrackMode(tmDisk);
    Song->State = 0;
    EXPECT_EQ(Song->TrackAt(1)->Mode, tmMidi);
    EXPECT_NE(Song->TrackAt(1)->Parts, nullptr);
}

// Panels wrap into rows of 27 pixels; the bar grows and the pointer moves with it.
TEST_F(Trackbar, FlowWrapsPanelsAndMovesThePointer) {
    a->RefreshTrackbar();
    EXPECT_EQ(a->panelTrackbar->Height, 27);
    a->panelTrackbar->Align = alNone;
    a->panelTrackbar->Width = 300;
    a->panelCh->Width = 100;
    a->BankPanels[0]->Width = 100;
    a->BankPanels[1]->Width = 100;
    a->BankPanels[1]->Visible = true;
    const TPoint before{200, 300};
    gui.MoveTo(before);
    a->FlowTrackbar();
    EXPECT_EQ(a->panelTrackbar->Height, 54);
    EXPECT_EQ(a->BankPanels[0]->Left, 100);
    EXPECT_EQ(a->BankPanels[1]->Left, 0);
    EXPECT_EQ(a->BankPanels[1]->Top, 27);
    EXPECT_EQ(gui.Pointer().Y, before.Y + 27);
    a->BankPanels[1]->Visible = false;
    a->FlowTrackbar();
    EXPECT_EQ(a->panelTrackbar->Height, 27);
    EXPECT_EQ(gui.Pointer().Y, before.Y);
}

// The layout items select their entry of the layout box and hand it to the layout change; the
// mute button, Track > Mute and the popup's Mute mute the current track.
TEST_F(Trackbar, LayoutItemsAndMuteOfTheCurrentTrack) {
    std::vector<int> changed;
    ArrangeSeams().ChangeLayout = [&](int Entry) { changed.push_back(Entry); };
    ASSERT_EQ(Captions(a->miTrackLayout), (std::vector<std::string>{"Default", "GM", "GS", "AWE",
                                                                    "SBLive!", "User", "MSB/LSB"}));
    a->miTrackLayout->Items(5)->Click();
    EXPECT_EQ(a->comboLayout->ItemIndex, 5);
    a->comboLayout->ItemIndex = 0;
    a->miPopupLayout->Items(5)->Click();
    EXPECT_EQ(a->comboLayout->ItemIndex, 5);
    EXPECT_EQ(changed, (std::vector<int>{5, 5}));
    std::vector<int> muted;
    MdiHooks().ToggleTrackMute = [&](int Track) { muted.push_back(Track); };
    Song->CurrentTrackIndex = 3;
    a->btnMute->Click();
    a->miTrackMute->Click();
    a->miPopupMute->Click();
    EXPECT_EQ(muted, (std::vector<int>{3, 3, 3}));
    // Solo: the button shows the shared command's state.
    a->sbSolo->Click();
    EXPECT_EQ(Song->SoloTrack, 3);
    EXPECT_TRUE(a->sbSolo->Down);
    a->miTrackSolo->Click();
    EXPECT_EQ(Song->SoloTrack, -1);
    EXPECT_FALSE(a->sbSolo->Down);
}

// The M key and the bar's mute button mute the current track, not made current by it.
TEST_F(Trackbar, MKeyAndMuteButtonMuteTheCurrentTrack) {
    Song->CurrentTrackIndex = 2;
    a->RefreshTrackbar();
    gui.Key('M');
    EXPECT_EQ(Song->TrackAt(2)->Mute, 1);
    EXPECT_TRUE(a->btnMute->Down);
    a->btnMute->Click();
    EXPECT_EQ(Song->TrackAt(2)->Mute, 0);
    EXPECT_FALSE(a->btnMute->Down);
}

// The Track menu and the popup show what the current track's mode allows.
TEST_F(Trackbar, TrackMenuAndPopupFollowTheMode) {
    EXPECT_EQ(Captions(a->TrackPopup->Items),
              (std::vector<std::string>{"Mode", "-", "Ch", "Ouput", "Rename...",
                                        "Transpose input...", "Layout", "-", "Mute", "Solo", "-",
                                        "Hide", "-", "Show all", "Restore last width"}));
    struct Case {
        int Mode;
        bool Ch, Output, Layout;
    } cases[] = {{tmMidi, true, true, true},
                 {tmSoftsynth, true, true, false},
                 {tmAudio, false, true, false},
                 {tmParameter, false, false, false},
                 {tmDisk, false, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mode);
        Track()->Mode = c.Mode;
        a->PopupTracksPopup();
        EXPECT_EQ(a->miPopupCh->Visible, c.Ch);
        EXPECT_EQ(a->miPopupTranspose->Visible, c.Ch);
        EXPECT_EQ(a->Device2->Visible, c.Output);
        EXPECT_EQ(a->miPopupLayout->Visible, c.Layout);
        a->miTrackMenu->Click();
        EXPECT_EQ(a->miTrackCh->Visible, c.Ch);
        EXPECT_EQ(a->Device1->Visible, c.Output);
        EXPECT_EQ(a->miTrackLayout->Visible, c.Layout);
        a->miModePopup->Click();
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(a->miModePopup->Items(i)->Checked, ModeOfItem[i] == c.Mode);
    }
    // The Track menu's Mode items carry accelerators, the popup's none.
    EXPECT_EQ(Captions(a->miModeTrack),
              (std::vector<std::string>{"&MIDI", "Softsynth", "&Audio", "Param", "Disk"}));
    EXPECT_EQ(Captions(a->miModePopup),
              (std::vector<std::string>{"MIDI", "Softsynth", "Audio", "Param", "Disk"}));
    Track()->Mute = 1;
    Song->SoloTrack = 0;
    a->PopupTracksPopup();
    EXPECT_TRUE(a->miPopupMute->Checked);
    EXPECT_TRUE(a->miPopupSolo->Checked);
    Song->SoloTrack = -1;
    // Show all makes room for every column and keeps the width; Restore goes back to it.
    a->panelTracks->Width = 150;
    a->TrackPopup->Items->Items(13)->Click();
    EXPECT_EQ(a->panelTracks->Width, 11 * 40 + 4);
    a->TrackPopup->Items->Items(14)->Click();
    EXPECT_EQ(a->panelTracks->Width, 150);
    a->TrackPopup->Items->Items(11)->Click();
    EXPECT_FALSE(a->panelTracks->Visible());
}

// The Edit button, Ctrl+Space and a double-click on the list show and hide the editor of the
// current softsynth track's softsynth; a track on no loaded softsynth, or not a softsynth
// track, has none to show.
TEST_F(Trackbar, EditButtonKeyAndDoubleClickToggleTheSoftsynthEditor) {
    RecordingVst vst;
    TSoftItem* item = SoftEngine->AddSoftsynth("recvst");
    ASSERT_TRUE(item && item->Editor);
    Track()->Mode = tmSoftsynth;
    Track()->Output = 0;
    a->RefreshTrackbar();
    gui.Pump();
    auto shown = [&] {
        gui.Pump();
        const HWND h = SoftsynthWindows().EditorHandle(item->Editor);
        return h && IsWindowVisible(h);
    };
    ASSERT_FALSE(shown());
    a->sbEditSynth->Click();
    EXPECT_TRUE(shown());
    const TPoint row = gui.At(a->tracks->Handle(), 60, 9);
    gui.Advance(1000);
    gui.Click(row);
    gui.Click(row);
    EXPECT_FALSE(shown());
    EXPECT_EQ(Song->CurrentTrackIndex, 0);
    SetFocus(a->Handle());
    gui.Chord({VK_CONTROL, VK_SPACE});
    EXPECT_TRUE(shown());
    a->sbEditSynth->Click();
    EXPECT_FALSE(shown());
    Track()->Output = 1;
    a->sbEditSynth->Click();
    EXPECT_FALSE(shown());
    Track()->Output = 0;
    Track()->Mode = tmMidi;
    a->ToggleSynthEditor();
    EXPECT_FALSE(shown());
    SoftEngine->Clear(); // before the plug-in's record goes
}

// A channel change ends the notes of the old channel on the track's port (on every port and
// channel when it had none); the thru route takes the new value itself.
TEST_F(Trackbar, ChannelItemsEndNotesAndRoute) {
    Track()->Channel = 2;
    TakeSent();
    a->PopupCh->Items->Items(16)->Click(); // "Off"
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB2, 0x7B, 0x00}}));
    EXPECT_EQ(Track()->Channel, -1);
    EXPECT_EQ(a->panelChannel->Caption(), "Off");
    EXPECT_EQ(Midi->InPort->ThruChannel, -1);
    EXPECT_EQ(Song->Modified, 1);
    a->PopupCh->Items->Items(4)->Click(); // "5"
    const auto sent = TakeSent();
    EXPECT_GE(sent.size(), 16u);
    for (int c = 0; c < 16; ++c)
        EXPECT_NE(std::find(sent.begin(), sent.end(), Bytes{std::uint8_t(0xB0 + c), 123, 0}),
                  sent.end())
            << c;
    EXPECT_EQ(Track()->Channel, 4);
    EXPECT_EQ(a->panelChannel->Caption(), "5");
    EXPECT_EQ(Midi->InPort->ThruChannel, 4);
    // Refused while recording: nothing changes, the bar shows the channel as it is.
    Song->State = 1;
    a->PopupCh->Items->Items(0)->Click();
    Song->State = 0;
    EXPECT_EQ(Track()->Channel, 4);
    EXPECT_TRUE(TakeSent().empty());
    // A softsynth track's notes end at its softsynth, not on a port.
    RecordingMfx rec;
    SoftEngine->AddSoftsynth("recmfx");
    Track()->Mode = tmSoftsynth;
    Track()->Output = 0;
    SetTrackChannel(6);
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(Track()->Channel, 6);
    SoftEngine->Clear(); // before the plug-in's record goes
}

// Removing softsynth 1 of 0, 1 and 2: tracks on 1 go to 0, tracks on 2 to 1; removing 0
// leaves those on 0 there. The thru route follows the current track's softsynth.
TEST_F(Trackbar, RemovingASoftsynthMovesTheTracksAfterIt) {
    for (int r : {1, 0}) {
        SCOPED_TRACE(r);
        SoftEngine->Clear();
        for (const char* n : {"A.dll", "B.dll", "C.dll"})
            SoftEngine->AddSoftsynth(n);
        for (int t = 0; t < 3; ++t) {
            Song->TrackAt(t)->Mode = tmSoftsynth;
            Song->TrackAt(t)->Output = t;
        }
        Song->CurrentTrackIndex = 2;
        a->RefreshTrackbar();
        a->PopupDevice->Items->Items(4)->Items(r)->Click();
        ASSERT_EQ(SoftEngine->Count(), 2);
        EXPECT_EQ(Song->TrackAt(0)->Output, 0);
        EXPECT_EQ(Song->TrackAt(1)->Output, 0);
        EXPECT_EQ(Song->TrackAt(2)->Output, 1);
        EXPECT_EQ(SoftEngine->Items[1]->Number(), 1);
        EXPECT_EQ(Midi->InPort->ThruPlugin.load(), SoftEngine->Items[1]->Plugin.get());
        EXPECT_EQ(a->panelOutput->Caption(), " C");
    }
}

// Removing the thru softsynth while notes come in, 1,000 times: the MIDI input lets go of the
// plug-in before it is freed, by the thru route and by mapped input (clean under make asan).
class TrackbarInput : public Trackbar {
protected:
    TVirtualMidiIn keys{"Keys"};
};

TEST_F(TrackbarInput, RemovingTheThruSoftsynthWhileNotesComeIn) {
    ASSERT_GT(keys.OpenCount(), 0);
    RecordingVst vst;
    Track()->Mode = tmSoftsynth;
    std::atomic<bool> done{false};
    std::thread input([&] {
        for (int n = 0; !done; ++n)
            keys.Send({std::uint8_t(n & 1 ? 0x80 : 0x90), 60, 100});
    });
    for (bool mapped : {false, true}) {
        SCOPED_TRACE(mapped ? "mapped input" : "thru");
        Midi->MapInput = mapped;
        for (int round = 0; round < 500; ++round) {
            SoftEngine->AddSoftsynth("recvst");
            SoftEngine->AddSoftsynth("recvst");
            Track()->Output = 1;
            a->SendThru();
            a->RemoveSoftsynth(1);
            ASSERT_EQ(Track()->Output, 0);
            ASSERT_EQ(Midi->InPort->ThruPlugin.load(), SoftEngine->Items[0]->Plugin.get());
            a->RemoveSoftsynth(0);
            ASSERT_EQ(Midi->InPort->ThruPlugin.load(), nullptr);
        }
    }
    done = true;
    input.join();
    Midi->MapInput = false;
}

// The removed softsynth's automation entries and its insert bus's go with their events; a
// later softsynth's stay and follow it. A locate, the idle calls and a save then reach nothing
// that was freed.
TEST_F(Trackbar, RemovedSoftsynthTakesItsAutomationAlong) {
    RecordingVst vst;
    TSoftItem* gone = SoftEngine->AddSoftsynth("recvst");
    TSoftItem* kept = SoftEngine->AddSoftsynth("recvst");
    gone->Outputs[0].Active = 1;
    TSub* insert = SubEngine->AddSub(skInsertEffect, "recvst", -1);
    gone->Outputs[0].Inserts.Append(insert);
    ASSERT_EQ(SubEngine->VstBuses, std::vector<TSub*>{insert});
    _TTrack* param = Song->TrackAt(5);
    param->Mode = tmParameter;
    for (TMFX* p : {gone->Plugin.get(), insert->Plugin, kept->Plugin.get()}) {
        auto* e = new TAutoPlug;
        e->Plugin = p;
        param->AutoPlugs.push_back(e);
    }
    TAutoPlug* keptEntry = param->AutoPlugs[2];
    _TPart* part = NewPart("Auto", 0, 1920, 5);
    for (int slot = 0; slot < 3; ++slot)
        AppendEvent(part, NewAutomationEvent(10, slot, 1, 0.5f));
    ASSERT_TRUE(InsertPart(param, part));
    LinkAutomationEntries(*Song);
    Track()->Mode = tmSoftsynth;
    Track()->Output = 1;
    a->RemoveSoftsynth(0);
    ASSERT_EQ(param->AutoPlugs, std::vector<TAutoPlug*>{keptEntry});
    EXPECT_EQ(keptEntry->Plugin, SoftEngine->Items[0]->Plugin.get());
    ASSERT_NE(param->Parts, nullptr);
    ASSERT_NE(param->Parts->Events, nullptr);
    EXPECT_EQ(param->Parts->Events->Next, nullptr);
    EXPECT_EQ(param->Parts->Events->Msg & 0xFF, 0xB0u); // the kept entry's, now slot 0
    EXPECT_TRUE(SubEngine->VstBuses.empty());
    Song->Locate(0, false);
    EXPECT_EQ(SoftEngine->Items[0]->Plugin->AutoLink, keptEntry);
    bool idle = false;
    VstEditorIdle(nullptr, idle);
    EXPECT_TRUE(SaveSongFile(program.Path() + "automated.seq"));
    SoftEngine->Clear(); // before the plug-in's record goes
}

// "Add channel" takes the first free disk channel of 32 for the current track.
TEST_F(Trackbar, AddDiskChannelTakesTheFirstFreeSlot) {
    Track()->Mode = tmDisk;
    for (int i = 0; i < 3; ++i)
        Song->DiskOutputs[std::size_t(i)].Active = 1;
    a->RefreshTrackbar();
    a->Device1->Items(4)->Click();
    EXPECT_EQ(Song->DiskOutputs[3].Active, 1);
    EXPECT_EQ(Track()->Output, 3);
    EXPECT_EQ(Captions(a->Device1),
              (std::vector<std::string>{"Ch1", "Ch2", "Ch3", "Ch4", "-", "Add channel"}));
    for (int i = 0; i < 32; ++i)
        Song->DiskOutputs[std::size_t(i)].Active = 1;
    Track()->Output = 0;
    a->AddDiskChannelClick();
    EXPECT_EQ(Track()->Output, 0);
    EXPECT_EQ(Song->DiskOutputs[32].Active, 0);
}

// Another MIDI output: all notes off to the old one. Off: everywhere.
TEST_F(Trackbar, OutputItemsOfMidiAndSoftsynthTracks) {
    TVirtualMidiOut second{"Second"};
    Track()->Channel = 1;
    Track()->Output = 0;
    TakeSent();
    a->OutputItemClick(Tagged(1).get());
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB1, 123, 0}}));
    EXPECT_EQ(Track()->Output, 1);
    EXPECT_EQ(Midi->InPort->ThruPort, 1);
    EXPECT_EQ(Song->Modified, 1);
    SoftEngine->AddSoftsynth("A.dll");
    SoftEngine->AddSoftsynth("B.dll");
    Track()->Mode = tmSoftsynth;
    Song->Modified = 0;
    a->OutputItemClick(Tagged(1).get());
    EXPECT_EQ(Track()->Output, 1);
    EXPECT_EQ(Midi->InPort->ThruPlugin.load(), SoftEngine->Items[1]->Plugin.get());
    EXPECT_EQ(a->panelOutput->Caption(), " B");
    EXPECT_EQ(Song->Modified, 1);
    Track()->Mode = tmParameter;
    a->OutputItemClick(Tagged(0).get());
    EXPECT_EQ(Track()->Output, 1);
}

// The MIDI output items show the icon of their port's kind when their menu opens: a hardware
// port, an FM synthesizer (technology 4), none for other kinds.
class TrackbarPorts : public Trackbar {
protected:
    TVirtualMidiOut fm{"FM", 4};
    TVirtualMidiOut wave{"Wave", MOD_SWSYNTH};
};

TEST_F(TrackbarPorts, PortItemsShowTheIconOfTheirKind) {
    a->RefreshTrackbar();
    gui.OnModal("PopupDevice", [&](HWND) { gui.Key(VK_ESCAPE); });
    gui.Click(a->panelOutput->ClientToScreen({4, 4}));
    a->Device1->Click();
    a->Device2->Click();
    auto centre = [](const Surface& S) { return S.Row(8)[8] & 0xFFFFFF; };
    const std::uint32_t port = centre(fmMdi->MenuBitmaps[4]->Pixels());
    const std::uint32_t synthesizer = centre(fmMdi->MenuBitmaps[5]->Pixels());
    ASSERT_NE(port, synthesizer);
    for (TMenuItem* m : {a->PopupDevice->Items, a->Device1, a->Device2}) {
        ASSERT_EQ(m->Count(), 3);
        for (int i = 0; i < 3; ++i) {
            const std::string caption = m->Items(i)->Caption;
            SCOPED_TRACE(caption);
            const auto& bitmap = m->Items(i)->Bitmap;
            if (caption.ends_with("Wave")) {
                EXPECT_EQ(bitmap, nullptr);
            } else {
                ASSERT_NE(bitmap, nullptr);
                EXPECT_EQ(centre(*bitmap), caption.ends_with("FM") ? synthesizer : port);
            }
        }
    }
}

TEST_F(TrackbarPlaying, AnotherAudioDeviceReopensTheRunningAudio) {
    ASSERT_TRUE(Audio->AudioOn);
    Track()->Mode = tmAudio;
    a->RefreshTrackbar();
    ASSERT_EQ(Captions(a->Device1),
              (std::vector<std::string>{"Scripted device A", "Scripted device B"}));
    a->Device1->Items(1)->Click();
    EXPECT_EQ(Audio->GetDevice(), 1);
    EXPECT_TRUE(Audio->AudioOn);
    EXPECT_TRUE(a->sbAudio->Down);
    EXPECT_EQ(Track()->Output, 1);
    EXPECT_EQ(Song->Modified, 0);
    a->miAudio->Click();
    EXPECT_TRUE(a->miAudio->Items(0)->Checked);
    // Off: only the index changes.
    a->SetAudioEnabled(false);
    a->miAudio->Click();
    EXPECT_FALSE(a->miAudio->Items(0)->Checked);
    a->Device1->Items(0)->Click();
    EXPECT_EQ(Audio->GetDevice(), 0);
    EXPECT_FALSE(Audio->AudioOn);
    EXPECT_FALSE(a->sbAudio->Down);
}

// A tempo item sets what it says: the engine keeps its own rule.
TEST_F(Trackbar, TempoItemShowsItsTag) {
    a->TempoItemClick(Tagged(300).get());
    EXPECT_EQ(a->editBpm->Text(), "300");
    EXPECT_EQ(Midi->GetTempo(), 300);
    a->TempoItemClick(Tagged(-1).get());
    EXPECT_EQ(Midi->GetTempo(), 300);
    // "Edit..." opens the options on the tempo page, whatever page was shown last; a right
    // press on the output panel of a MIDI track on the MIDI page.
    std::vector<TTab95Sheet*> pages;
    auto note = [&](HWND) {
        pages.push_back(fmOptions->pages->ActivePage());
        fmOptions->ModalResult = mrCancel;
    };
    gui.OnModal("Options", note);
    ShowOptionsPage(1);
    gui.OnModal("Options", note);
    a->TempoItemClick(Tagged(-2).get());
    gui.OnModal("Options", note);
    gui.Click(a->panelOutput->ClientToScreen({4, 4}), MouseButton::Right);
    EXPECT_EQ(pages, (std::vector<TTab95Sheet*>{fmOptions->TabBeep, fmOptions->TabGlobal,
                                                fmOptions->TabMidi}));
}

class TrackbarEngine : public Trackbar {
protected:
    void Prepare() override {
        std::filesystem::remove(program.Path() + "MidiEngine.DLL");
        std::filesystem::copy_file(TOLVERN_BIN_DIR "/midiengine.dll",
                                   program.Path() + "midiengine.dll");
        SetHas16BitThunking(true);
    }
    void TearDown() override {
        Trackbar::TearDown();
        SetHas16BitThunking(false);
    }
};

TEST_F(TrackbarEngine, TempoItemUnderTheEngineKeepsItsRange) {
    ASSERT_EQ(MidiMode, 0);
    a->TempoItemClick(Tagged(300).get());
    EXPECT_EQ(a->editBpm->Text(), "300");
    EXPECT_EQ(Midi->GetTempo(), 250);
}

} // namespace
