// Editing in the mixer: the mouse on its items, the output and plug-in menus, the strip menus,
// buses added and deleted while blocks render, and the window's own settings.
#include "mixer_fixture.h"

#include "app/transport.h"
#include "devices/audio.h"
#include "devices/ui/uplugeditor.h"
#include "editors/audio/mixer_items.h"
#include "platform/core/dynlib.h"
#include "platform/forms/application.h"
#include "song/undo.h"

#include <filesystem>

using namespace platform;

extern std::vector<std::string> FxMenuPaths;

namespace {

std::vector<std::string> MenuCaptions(int Level) {
    std::vector<std::string> r;
    for (TMenuItem* item : ShownMenuItems(Level))
        r.push_back(item->Caption);
    return r;
}

TMenuItem* ItemOf(TMenuItem* Menu, const std::string& Caption) {
    for (int i = 0; i < Menu->Count(); ++i)
        if (Menu->Items(i)->Caption == Caption) return Menu->Items(i);
    return nullptr;
}

TEST_F(MixerTest, FadersAndKnobsWriteTheSlot) {
    Start();
    TSoftItem* synth = Softsynth(1);
    Bus(skSendEffect);
    Open();
    TSoftOut& slot = synth->Outputs[0];
    auto* fader = static_cast<TXGuiFader*>(Items("Volume").back()); // the first is the master's
    gui.Drag(At(fader, 13, 80), At(fader, 13, 30));
    EXPECT_NE(fader->Pos, 100);
    EXPECT_FLOAT_EQ(slot.Volume, fader->Pos * 0.01f);

    auto* pan = static_cast<TXGuiKnob*>(First("Pan"));
    gui.Drag(At(pan), At(pan, 2, -28));
    EXPECT_GT(pan->Value, 0);
    EXPECT_FLOAT_EQ(slot.Pan, pan->Value * 0.01f);
    // A right press resets it, whatever the drag does.
    gui.Press(At(pan), MouseButton::Right);
    gui.MoveTo(At(pan, 2, -20));
    gui.Release(At(pan, 2, -20), MouseButton::Right);
    EXPECT_EQ(pan->Value, 0);
    EXPECT_EQ(slot.Pan, 0.0f);

    auto* send = static_cast<TMixKnob*>(First("Send2"));
    gui.Drag(At(send), At(send, 2, -40));
    EXPECT_GT(send->Value, 0);
    EXPECT_FLOAT_EQ(slot.Sends[0], send->Value * 0.01f);
    gui.Press(At(send), MouseButton::Right);
    gui.Release(At(send), MouseButton::Right);
    EXPECT_EQ(send->Value, 0);
    EXPECT_EQ(slot.Sends[0], 0.0f);

    // Mute: 0 becomes 1, anything else 0; the gains follow.
    TXGuiBase* mute = First("Mute");
    gui.Click(At(mute));
    EXPECT_EQ(slot.Mute, 1);
    EXPECT_EQ(slot.Gain, 0.0f);
    slot.Mute = 2;
    gui.Click(At(mute, 6, 6));
    EXPECT_EQ(slot.Mute, 0);
    EXPECT_EQ(slot.Gain, 1.0f);
}

TEST_F(MixerTest, TheLedBypassesTheBusAndItsEditorFollows) {
    Start();
    TSub* group = Bus(skGroupEffect);
    group->Docked = 1;
    group->EditorShown = 1;
    Open();
    ASSERT_NE(group->Editor, nullptr);
    group->Editor->Show(); // its own LED in its title bar
    gui.Pump();
    const HWND frame = group->Editor->Frame->Handle();
    const std::uint32_t lit = gui.Pixel(frame, 7, 7);
    TXGuiBase* led = First("SubLed");
    ASSERT_NE(led, nullptr);
    ASSERT_EQ(group->Plugin->Enabled, 1);
    gui.Click(At(led));
    EXPECT_EQ(group->Plugin->Enabled, 0);
    gui.Pump();
    EXPECT_NE(gui.Pixel(frame, 7, 7), lit);
    gui.Click(At(led, 5, 5));
    EXPECT_EQ(group->Plugin->Enabled, 1);
    gui.Pump();
    EXPECT_EQ(gui.Pixel(frame, 7, 7), lit);
}

TEST_F(MixerTest, OutputMenusOfferOnlyBusesThatReceiveToTheLeft) {
    Start();
    TSoftItem* synth = Softsynth(1);
    Bus(skGroupEffect);
    Bus(skGroupVolume);
    Bus(skSendEffect);
    TSub* last = Bus(skGroupEffect);
    Open();
    std::vector<std::string> shown;
    gui.OnModal("PopupOutput", [&](HWND) {
        shown = MenuCaptions(0);
        gui.Key(VK_ESCAPE);
    });
    gui.Click(At(Items("SubOutput")[3]));
    EXPECT_EQ(shown, (std::vector<std::string>{"Master", "recmfx", "Vol"}));
    gui.OnModal("PopupOutput", [&](HWND) {
        shown = MenuCaptions(0);
        gui.Key(VK_ESCAPE);
    });
    gui.Click(At(First("SynthOutput")));
    EXPECT_EQ(shown, (std::vector<std::string>{"Master", "recmfx", "Vol", "recmfx", "-",
                                               "Add Insert FX"}));
    EXPECT_EQ(m->ClickedSlot, &synth->Outputs[0]);
    ItemOf(m->PopupOutput->Items, "Vol")->Click();
    gui.Pump();
    EXPECT_EQ(synth->Outputs[0].Bus, 1);
    // The bus's menu sets the bus's own output.
    gui.OnModal("PopupOutput", [&](HWND) { gui.Key(VK_ESCAPE); });
    gui.Click(At(Items("SubOutput")[3]));
    ItemOf(m->PopupOutput->Items, "Vol")->Click();
    EXPECT_EQ(last->Output, 1);
}

TEST_F(MixerTest, OutputCountsRefuseToDropSlotsWithInserts) {
    Start();
    TSoftItem* synth = Softsynth(3);
    Insert(synth->Outputs[1]);
    Open();
    auto menu = [&](TChannel* Channel, const std::string& Command) {
        m->MenuChannel = Channel;
        gui.OnModal(Channel->Kind == ckSoftsynth ? "PopupSynthMixer" : "PopupTrack",
                    [&](HWND) { gui.Key(VK_ESCAPE); });
        TPopupMenu* popup =
            Channel->Kind == ckSoftsynth ? m->PopupSynth.get() : m->PopupTrack.get();
        popup->Popup(0, 0);
        ItemOf(popup->Items, Command)->Click();
        gui.Pump();
    };
    gui.Dialogs().Answer(IDOK, "Can't remove channels with Insert effects");
    menu(synth->Channel, "One output");
    EXPECT_EQ(synth->Outputs[1].Active, 1);
    EXPECT_EQ(synth->Outputs[2].Active, 1);
    synth->Outputs[2].Active = 0;
    gui.Dialogs().Answer(IDOK, "Please remove all Insert effects before removing channel");
    menu(synth->Channel, "Less outputs");
    EXPECT_EQ(synth->Outputs[1].Active, 1);
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Caption, "One output");
    EXPECT_EQ(boxes[1].Caption, "Less outputs");
    EXPECT_EQ(ItemOf(m->PopupSynth->Items, "All outputs (3)") != nullptr, true);

    // An audio track's samples on a removed output move to the one below.
    _TTrack* t = SampleTrack(2);
    t->Outputs[0].Active = 1;
    t->Outputs[1].Active = 1;
    t->Outputs[2].Active = 1;
    t->Samples[0]->Bus = 2;
    t->Samples.push_back(std::make_unique<TSample>());
    Rebuild();
    EXPECT_EQ(Items("SampleName").size(), 3u);
    menu(t->MixChannel, "Less outputs");
    EXPECT_EQ(t->Outputs[2].Active, 0);
    EXPECT_EQ(t->Samples[0]->Bus, 1);
    EXPECT_EQ(t->Samples[1]->Bus, 0);
    EXPECT_EQ(Items("SampleName").size(), 2u);
}

class MixerFxMenu : public MixerTest {
protected:
    void SetUp() override {
        MixerTest::SetUp();
        std::filesystem::remove_all(program.Path() + "fx");
        std::filesystem::create_directory(program.Path() + "fx");
    }
    void File(const std::string& Relative) { program.WriteFile("fx/" + Relative, "lib"); }
    TMenuItem* Group() {
        m->PopupAdd->OnPopup(m->PopupAdd.get());
        return ItemOf(m->PopupAdd->Items, "Add Group FX");
    }
};

TEST_F(MixerFxMenu, FoldersComeFirstAndThirtyItemsMakeAColumn) {
    Start();
    for (int i = 0; i < 40; ++i)
        File((i % 2 ? "P" : "p") + std::to_string(10 + i) + (i % 3 ? ".so" : ".SO"));
    File("readme.txt");
    File("Zeta/inner.so");
    std::filesystem::create_directory(program.Path() + "fx/alpha");
    std::filesystem::create_directory_symlink(program.Path() + "fx", program.Path() + "fx/Zeta/up");
    Open();
    TMenuItem* group = Group();
    ASSERT_EQ(group->Count(), 41);
    EXPECT_EQ(group->Items(0)->Caption, "Zeta"); // "alpha" stays empty and is left out
    EXPECT_EQ(group->Items(1)->Caption, "p10");
    EXPECT_EQ(group->Items(2)->Caption, "P11");
    for (int i = 0; i < 41; ++i)
        EXPECT_EQ(group->Items(i)->Break != mbNone, i == 30) << i;
    EXPECT_EQ(FxMenuPaths.size(), 41u); // the linked loop was not walked again
}

TEST_F(MixerFxMenu, OnlyEmptyFoldersGiveOneDisabledEmptyItem) {
    Start();
    std::filesystem::create_directories(program.Path() + "fx/a/b");
    Open();
    TMenuItem* group = Group();
    ASSERT_EQ(Captions(group), (std::vector<std::string>{"Empty"}));
    EXPECT_FALSE(group->Items(0)->Enabled);
}

TEST_F(MixerTest, AddSendIsOffWithAllSendLevelsTaken) {
    Start();
    for (int i = 0; i < SendCount; ++i)
        ASSERT_NE(SubEngine->AddSub(skSendEffect, "recmfx", -1), nullptr);
    Song->RunTodos();
    Open();
    m->PopupAdd->OnPopup(m->PopupAdd.get());
    EXPECT_FALSE(ItemOf(m->PopupAdd->Items, "Add Send FX")->Enabled);
    EXPECT_EQ(Items("Send2").size(), 0u); // no slot strip; the height has every send
    EXPECT_EQ(m->StripHeight(), 183 + 40 * SendCount);
}

// With the audio system running on the scripted driver: adds show after the block that ran
// them, and deletions and moves go through the edit guard.
class MixerAudio : public MixerTest {
protected:
    void StartAudio() {
        Start("[Audio]\nSystem=scripted\n");
        ASSERT_TRUE(Audio && Audio->Library);
        run = reinterpret_cast<RunFn>(GetProcAddress(Audio->Library, "ScriptedRunBlocks"));
        ASSERT_NE(run, nullptr);
        Audio->Open(fmMdi->Handle());
        Audio->Start();
        ASSERT_TRUE(Audio->Running);
    }
    using RunFn = std::int32_t (*)(std::int32_t, std::int32_t);
    RunFn run = nullptr;
};

TEST_F(MixerAudio, AGroupAddedFromTheMenuShowsAfterTheNextBlock) {
    StartAudio();
    program.WriteFile("fx/recmfx.so", "lib");
    Open();
    m->PopupAdd->OnPopup(m->PopupAdd.get());
    TMenuItem* group = ItemOf(m->PopupAdd->Items, "Add Group FX");
    ASSERT_EQ(group->Count(), 1);
    group->Items(0)->Click();
    gui.Pump();
    EXPECT_EQ(Items("SubName").size(), 0u);
    run(1, 512);
    gui.Pump();
    EXPECT_EQ(Items("SubName").size(), 1u);
    EXPECT_EQ(SubEngine->Count(), 1);
}

TEST_F(MixerAudio, DeletingABusEmptiesTheUndoStepAndRecordingRefusesIt) {
    StartAudio();
    TSub* a = SubEngine->AddSub(skGroupEffect, "recmfx", -1);
    TSub* b = SubEngine->AddSub(skGroupVolume, "", -1);
    run(1, 512);
    ASSERT_EQ(SubEngine->Count(), 2);
    Open();
    Song->UndoStore->Begin(3, "Undo move");
    auto command = [&](TSub* Bus, const std::string& Caption) {
        m->MenuChannel = Bus->Channel;
        ItemOf(m->PopupBus->Items, Caption)->Click();
        gui.Pump();
        run(1, 512);
    };
    Song->State = 1; // recording: the guard refuses
    command(b, "Move left");
    command(a, "Delete");
    EXPECT_EQ(SubEngine->Buses[0], a);
    EXPECT_EQ(SubEngine->Count(), 2);
    EXPECT_EQ(Song->UndoStore->Kind, 3);
    Song->State = 0;
    command(b, "Move left");
    EXPECT_EQ(SubEngine->Buses[0], b);
    command(a, "Delete");
    EXPECT_EQ(SubEngine->Count(), 1);
    EXPECT_EQ(Song->UndoStore->Kind, 0);
    EXPECT_EQ(Items("SubName").size(), 1u);
}

// An insert added from the mixer whose add is still waiting for a block when File > New
// clears the song goes with the dropped add, plug-in and all: no leak, and the editors' idle
// calls find nothing of it.
TEST_F(MixerAudio, AnInsertWhoseAddNewDropsIsFreedWithItsPlugin) {
    RecordingVst vst;
    vst.E.flags |= effFlagsHasEditor;
    StartAudio();
    program.WriteFile("fx/recvst.so", "lib");
    TSoftItem* synth = Softsynth(1);
    Open();
    gui.OnModal("PopupOutput", [&](HWND) { gui.Key(VK_ESCAPE); });
    gui.Click(At(First("SynthOutput")));
    TMenuItem* inserts = ItemOf(m->PopupOutput->Items, "Add Insert FX");
    ASSERT_NE(inserts, nullptr);
    ASSERT_EQ(Captions(inserts), (std::vector<std::string>{"recvst"}));
    inserts->Items(0)->Click();
    gui.Pump();
    ASSERT_EQ(SubEngine->VstBuses.size(), 1u);
    EXPECT_EQ(Song->Todos->Count(), 1); // waiting for the next block
    EXPECT_TRUE(synth->Outputs[0].Inserts.empty());
    Song->Modified = 0;
    fmMdi->New1Click();
    gui.Pump();
    EXPECT_TRUE(SubEngine->VstBuses.empty());
    EXPECT_EQ(Song->Todos->Count(), 0);
    bool done = true;
    Application->OnIdle(nullptr, done);
    run(2, 512);
    gui.Pump();
    EXPECT_EQ(Items("Insert").size(), 0u);
}

TEST_F(MixerTest, F11MakesTheMixerAndTheSettingsKeepItsPlace) {
    Start();
    EXPECT_EQ(fmMixer, nullptr);
    Open();
    EXPECT_TRUE(m->Visible);
    EXPECT_EQ(m->GetLeft(), 338);
    EXPECT_EQ(m->GetTop(), 295);
    m->SetBounds(400, 300, m->GetWidth(), m->GetHeight());
    gui.Key(VK_F11);
    gui.Pump();
    EXPECT_FALSE(m->Visible);
    SaveMainSettings();
    TIniFile ini;
    EXPECT_EQ(ini.ReadString("Mixer", "Visible", ""), "0");
    EXPECT_EQ(ini.ReadString("Mixer", "Left", ""), "400");
    EXPECT_EQ(ini.ReadString("Mixer", "Top", ""), "300");
}

} // namespace
