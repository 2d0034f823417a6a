// The softsynth list: output pins as slots, the recent list, reordering, the plug-in search,
// the folders and the queue's own pools.

#include "heap_counter.h"

#include "devices/audio.h"
#include "devices/inport.h"
#include "devices/mfx.h"
#include "devices/midimsg.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "song/primitives.h"
#include "song/engine.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song_fixture.h"
#include "support/recording_synths.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

class SoftEngineTest : public SongTest {
protected:
    TSoftItem* AddVst(std::vector<std::int32_t> PinFlags, int Outputs) {
        vst.E.numOutputs = Outputs;
        vst.PinFlags = std::move(PinFlags);
        return SoftEngine->AddSoftsynth("recvst");
    }
    RecordingVst vst;
};

TEST_F(SoftEngineTest, OutputPinsBecomeSlots) {
    constexpr std::int32_t S = 2; // kVstPinIsStereo
    struct Case {
        const char* name;
        std::vector<std::int32_t> flags;
        int outputs;
        std::vector<int> channels; // of the slots made
    } cases[] = {
        {"a stereo pair", {S, S}, 2, {2}},
        {"three mono pins", {0, 0, 0}, 3, {1, 1, 1}},
        {"no outputs", {}, 0, {1}},
        {"pins that say nothing", {}, 2, {1, 1}},
        {"a stereo pin without its partner", {S, S, S}, 3, {2, 1}},
        {"more pins than slots", std::vector<std::int32_t>(200, 0), 200, std::vector<int>(128, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSoftItem* item = AddVst(c.flags, c.outputs);
        ASSERT_TRUE(item->Plugin->Loaded);
        ASSERT_EQ(item->OutputCount, static_cast<int>(c.channels.size()));
        for (std::size_t i = 0; i < c.channels.size(); ++i)
            EXPECT_EQ(item->Outputs[i].Channels, c.channels[i]) << "slot " << i;
        EXPECT_EQ(item->Outputs[0].Active, 1);
        EXPECT_EQ(item->Outputs[1].Active, 0);
        EXPECT_EQ(item->Outputs[0].Bus, -1);
        EXPECT_EQ(item->Outputs[0].Gain, 0.0f) << "until mute and solo are worked out";
        SoftEngine->Clear();
    }
}

TEST_F(SoftEngineTest, StereoSlotHearsTwoChannelsAMonoSlotOneOnBothSides) {
    // Pin o plays (o + 1) / 8; a block of the stopped song still processes softsynths.
    struct Case {
        std::vector<std::int32_t> flags;
        int outputs;
        float left, right;
    } cases[] = {{{2, 2}, 2, 0.125f, 0.25f},
                 {{0, 0}, 2, 0.125f, 0.125f},
                 {std::vector<std::int32_t>(40, 0), 40, 0.125f, 0.125f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outputs);
        TSoftItem* item = AddVst(c.flags, c.outputs);
        // Past the 32 slot buffers: the second slot hears pin 1, the pins past 32 go nowhere.
        if (c.outputs == 40) item->Outputs[1].Active = 1;
        TSoftEngine::UpdateMuteSolo();
        std::vector<float> out(2 * 64);
        Song->Render(out.data(), 64);
        const float extra = c.outputs == 40 ? 0.25f : 0.0f;
        EXPECT_FLOAT_EQ(out[0], c.left + extra);
        EXPECT_FLOAT_EQ(out[1], c.right + extra);
        EXPECT_FLOAT_EQ(out[127], c.right + extra);
        SoftEngine->Clear();
    }
}

TEST_F(SoftEngineTest, MuteAndSoloCountEverySoftsynthSlotBelowItsOutputCount) {
    TSoftItem* a = AddVst({2, 2}, 2); // one slot
    TSoftItem* b = AddVst({}, 2);     // two
    TSoftEngine::UpdateMuteSolo();
    EXPECT_EQ(a->Outputs[0].Gain, 1.0f);
    EXPECT_EQ(b->Outputs[1].Gain, 1.0f);
    b->Outputs[1].Solo = 1;
    TSoftEngine::UpdateMuteSolo();
    EXPECT_EQ(a->Outputs[0].Gain, 0.0f);
    EXPECT_EQ(b->Outputs[0].Gain, 0.0f);
    EXPECT_EQ(b->Outputs[1].Gain, 1.0f);
    EXPECT_EQ(a->Outputs[1].Gain, 0.0f) << "past its output count: not part of the rule";
}

// A clear puts back the slots handed out for change since the last one: working out mute and
// solo hands out only the slots whose gain changes.
TEST_F(SoftEngineTest, MuteAndSoloHandOutOnlyTheSlotsWhoseGainChanges) {
    Song->Clear();
    _TTrack& audio = *Song->TrackAt(2);
    audio.Mode = tmAudio;
    audio.Samples.push_back(std::make_unique<TSample>());
    const TSoftOuts& disk = Song->DiskOutputs;
    const TSoftOuts& track = audio.Outputs;
    TSoftEngine::UpdateMuteSolo();
    EXPECT_EQ(disk.UsedCount(), 0u);
    EXPECT_EQ(track.UsedCount(), 0u);
    // A solo on disk slot 3 silences the other active slots, slot 0 of each.
    Song->DiskOutputs[3].Active = 1;
    Song->DiskOutputs[3].Solo = 1;
    TSoftEngine::UpdateMuteSolo();
    EXPECT_EQ(disk[3].Gain, 1.0f);
    EXPECT_EQ(disk[0].Gain, 0.0f);
    EXPECT_EQ(track[0].Gain, 0.0f);
    EXPECT_EQ(disk.UsedCount(), 4u);
    EXPECT_EQ(track.UsedCount(), 1u);
}

TEST_F(SoftEngineTest, MoveUpKeepsEveryTrackOnItsSoftsynth) {
    TSoftItem* s0 = AddVst({}, 2);
    TSoftItem* s1 = SoftEngine->AddSoftsynth("recvst");
    TSoftItem* s2 = SoftEngine->AddSoftsynth("recvst");
    struct Track {
        int mode, output;
    } tracks[] = {{tmSoftsynth, 2}, {tmSoftsynth, 1}, {tmSoftsynth, 0}, {tmMidi, 1}};
    for (int i = 0; i < 4; ++i) {
        Song->TrackAt(i)->Mode = tracks[i].mode;
        Song->TrackAt(i)->Output = tracks[i].output;
    }
    SoftEngine->MoveUp(s2);
    EXPECT_EQ(SoftEngine->Items, (std::vector<TSoftItem*>{s0, s2, s1}));
    std::vector<int> outputs;
    for (int i = 0; i < 4; ++i)
        outputs.push_back(Song->TrackAt(i)->Output);
    EXPECT_EQ(outputs, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(s2->Number(), 1);
    EXPECT_EQ(SoftEngine->InputPlugin(1), s2->Plugin.get());
    SoftEngine->MoveUp(s0); // the first stays first
    EXPECT_EQ(SoftEngine->Items.front(), s0);
    EXPECT_EQ(SoftEngine->InputPlugin(3), nullptr);
    SoftEngine->Clear();
    EXPECT_EQ(SoftEngine->InputPlugin(0), nullptr);
}

TEST_F(SoftEngineTest, RecentListDropsDuplicatesIgnoringCaseAndKeepsFive) {
    delete Song; // the softsynth list reads the recent list when the song is made
    settings.WriteIni("[RecentSoftsynths]\n0=Alpha.dll\n1=Beta.dll\n");
    Song = new TSong;
    EXPECT_EQ(SoftEngine->Recent, (std::vector<std::string>{"Alpha.dll", "Beta.dll"}));
    SoftEngine->AddRecent("C:\\Synths\\ALPHA.dll");
    EXPECT_EQ(SoftEngine->Recent, (std::vector<std::string>{"ALPHA.dll", "Beta.dll"}));
    for (const char* name : {"/opt/c.so", "d", "e", "f", "g"})
        SoftEngine->AddRecent(name);
    EXPECT_EQ(SoftEngine->Recent, (std::vector<std::string>{"g", "f", "e", "d", "c.so"}));
    delete Song; // written back in order
    Song = new TSong;
    EXPECT_EQ(SoftEngine->Recent, (std::vector<std::string>{"g", "f", "e", "d", "c.so"}));
    platform::TIniFile ini;
    EXPECT_EQ(ini.ReadSection("RecentSoftsynths"),
              (std::vector<std::string>{"0", "1", "2", "3", "4"}));
}

TEST_F(SoftEngineTest, PluginFoldersEndInABackslash) {
    std::string s;
    Song->SynthPath = "D:\\Synths";
    Song->SynthFolder(s);
    EXPECT_EQ(s, "D:\\Synths\\");
    Song->FxPath = "D:\\Fx\\";
    Song->FxFolder(s);
    EXPECT_EQ(s, "D:\\Fx\\");
    Song->SynthPath.clear();
    Song->SynthFolder(s);
    EXPECT_EQ(s, platform::ProgramFolder() + "Synth\\");
}

// The plug-in search dialog: each close leads to a new search under the folder it left.
class SearchDialog : public TSoftsynthWindows {
public:
    std::vector<std::string> Asked;
    std::vector<std::string> Folders; // one per close; "" cancels
    bool SearchPlugin(const std::string& FileName) override {
        Asked.push_back(FileName);
        if (Asked.size() > Folders.size() || Folders[Asked.size() - 1].empty()) return false;
        Song->SynthPath = Folders[Asked.size() - 1];
        return true;
    }
};

TEST_F(SoftEngineTest, AMissingPluginIsSearchedForAndStillGivesASoftsynth) {
    TempDir dir;
    dir.WriteFile("deep/er/RECVST.dll", "not read: the fake library answers for it");
    SearchDialog search;
    SetSoftsynthWindows(&search);
    Song->SynthPath = dir.Path() + "empty";
    search.Folders = {dir.Path() + "nothing", dir.Path()};
    TSoftItem* found = SoftEngine->AddSoftsynth("C:\\Old\\Synth\\recvst.dll");
    EXPECT_EQ(search.Asked.size(), 2u);
    EXPECT_EQ(found->Plugin->Path, dir.Path() + "deep/er/RECVST.dll");
    EXPECT_TRUE(found->Plugin->Loaded);

    search.Asked.clear();
    search.Folders = {""};
    TSoftItem* missing = SoftEngine->AddSoftsynth("C:\\Old\\Synth\\gone.dll");
    EXPECT_EQ(search.Asked, (std::vector<std::string>{"C:\\Old\\Synth\\gone.dll"}));
    EXPECT_FALSE(missing->Plugin->Loaded);
    EXPECT_EQ(missing->OutputCount, 1);
    EXPECT_EQ(SoftEngine->Count(), 2);
    // It takes nothing and plays nothing, and it stays where tracks find it.
    std::vector<float> out(2 * 32, 9.0f);
    Song->Render(out.data(), 32);
    EXPECT_EQ(out[0], 0.0f);
    SetSoftsynthWindows(nullptr);
}

TEST_F(SoftEngineTest, CurrentSynthPluginAndCurrentPartTrack) {
    TSoftItem* item = AddVst({}, 2);
    _TTrack* t = Song->TrackAt(3);
    Song->CurrentTrackIndex = 3;
    t->Mode = tmSoftsynth;
    t->Output = 0;
    EXPECT_EQ(CurrentSynthPlugin(), item->Plugin.get());
    t->Output = 1;
    EXPECT_EQ(CurrentSynthPlugin(), nullptr);
    t->Mode = tmMidi;
    t->Output = 0;
    EXPECT_EQ(CurrentSynthPlugin(), nullptr);

    EXPECT_EQ(Song->CurrentPartTrack(), nullptr);
    _TPart* p = NewPart("", 0, 960, 3);
    ASSERT_TRUE(InsertPart(t, p));
    Song->SetCurrentPart(p);
    EXPECT_EQ(Song->CurrentPartTrack(), t);
}

// A part of track Track on softsynth Synth with events at ticks from the song start.
_TPart* SynthPart(int Track, int Synth, int Length,
                  const std::vector<std::pair<int, std::uint32_t>>& Events) {
    _TTrack& t = *Song->TrackAt(Track);
    t.Mode = tmSoftsynth;
    t.Output = Synth;
    t.Channel = -1;
    _TPart* p = NewPart("", 0, Length, Track);
    int last = 0;
    for (auto& [tick, msg] : Events) {
        AppendEvent(p, NewEvent(tick - last, msg));
        last = tick;
    }
    EXPECT_TRUE(InsertPart(&t, p));
    return p;
}

TEST_F(SoftEngineTest, OnlyChannelMessagesReachAPluginAndMutedNotesStaySilent) {
    AddVst({}, 2);
    _TPart* p = SynthPart(0, 0, 960,
                          {{1, PackMidiMsg(0xF0, 0, 0)},  // system exclusive
                           {2, PackMidiMsg(0x20, 1, 90)}, // a sample note
                           {3, PackMidiMsg(0x93, 61, 90)},
                           {4, PackMidiMsg(0x93, 62, 90)},
                           {5, PackMidiMsg(0x83, 62, 0)},
                           {6, PackMidiMsg(0xE3, 0, 64)}});
    const std::uint8_t sysex[] = {0xF0, 0x7E, 0xF7};
    SetEventBlock(*p->Events, sysex, 3);
    p->Events->Next->Next->Next->Flags |= efMuted; // the note 62, on and off
    p->Events->Next->Next->Next->Next->Flags |= efMuted;
    Song->State = 2;
    Song->Locate(0, false);
    std::vector<float> out(2 * 1024);
    Song->Render(out.data(), 1024);
    std::vector<std::uint32_t> got;
    for (const TGotEvent& e : vst.Events)
        got.push_back(e.Msg);
    EXPECT_EQ(got,
              (std::vector<std::uint32_t>{PackMidiMsg(0x93, 61, 90), PackMidiMsg(0xE3, 0, 64)}));
}

TEST_F(SoftEngineTest, BlocksOfPlayingSoftsynthsTouchNoHeap) {
    RecordingMfx mfx;
    vst.Events.reserve(100000);
    mfx.Events.reserve(100000);
    vst.Programs.reserve(100);
    AddVst({}, 2);
    SoftEngine->AddSoftsynth("recmfx");
    TSoftEngine::UpdateMuteSolo();
    // Notes held over the loop end, equal ticks, two tracks on each softsynth.
    for (int track = 0; track < 4; ++track) {
        std::vector<std::pair<int, std::uint32_t>> events;
        for (int tick = 0; tick < 1200; tick += 7) {
            events.push_back(
                {tick, PackMidiMsg(0x90, static_cast<std::uint32_t>(tick % 128), 100)});
            events.push_back({tick, PackMidiMsg(0xB0, 1, static_cast<std::uint32_t>(tick % 128))});
        }
        SynthPart(track, track % 2, 1920, events);
    }
    Song->LeftLocator = 0;
    Song->RightLocator = 960;
    Song->LoopOn = 1;
    Song->State = 2;
    Song->Locate(0, false);
    Song->Looping = 1;
    std::vector<float> out(2 * 256);
    TMFX* vstPlug = SoftEngine->GetItem(0)->Plugin.get();
    heapcounter::Start();
    for (int b = 0; b < 800; ++b) {
        if (b % 50 == 0) {
            vstPlug->AddEvent(true, PackMidiMsg(0x90, 30, 1));
            vstPlug->AddEvent(false, 2);
            vstPlug->AddInputEvent(PackMidiMsg(0x90, 31, 1));
        }
        if (b == 700) StopSoftsynthNotes();
        Song->Render(out.data(), 256);
    }
    EXPECT_EQ(heapcounter::Stop(), 0);
    EXPECT_GT(vst.Events.size(), 1000u);
    EXPECT_GT(mfx.Events.size(), 1000u);
    EXPECT_EQ(vst.Programs.size(), 16u);
    SoftEngine->Clear(); // before the fake plug-in goes
}

TEST_F(SoftEngineTest, LocateTellsOwnInterfaceSynthsThePositionAndTempo) {
    RecordingMfx mfx;
    SoftEngine->AddSoftsynth("recmfx");
    mfx.Positions.clear();    // the load sends the tempo too
    Song->Locate(480, false); // one second at tempo 120
    EXPECT_EQ(mfx.Positions,
              (std::vector<std::pair<int, intptr_t>>{{MFX_POSITION, 44100}, {MFX_TEMPO, 120}}));
    EXPECT_EQ(SoftEngine->GetItem(0)->Queue->BaseTick, 480);
    SoftEngine->Clear();
}

// Hands every automated plug-in the same points, as the automation of a parameter track would.
class PointsForEveryBlock : public TRenderEngines {
public:
    TAutoPoint Points[3] = {
        {0, 10, 0.5f, 0, &Points[1]}, {1, 10, 0.25f, 0, &Points[2]}, {0, 30, 1.0f, 0, nullptr}};
    void Automate(TMFX* Plugin, int) override {
        Plugin->Command(MFX_AUTOMATION, 0, reinterpret_cast<std::intptr_t>(&Points[0]));
    }
};

TEST_F(SoftEngineTest, AnAutomatedVstSynthIsProcessedInPiecesCutAtItsPoints) {
    TSoftItem* item = AddVst({}, 2);
    item->Plugin->Automated = true;
    PointsForEveryBlock engines;
    SetRenderEngines(&engines);
    std::vector<float> out(2 * 64);
    Song->Render(out.data(), 64); // stopped: no automation
    EXPECT_EQ(vst.Blocks, 1);
    Song->State = 2;
    Song->Render(out.data(), 64); // 0-10, 10-30, 30-64
    EXPECT_EQ(vst.Blocks, 4);
    SetRenderEngines(nullptr);
}

TEST(SoftQueue, MadeNoteOffsGoBackToTheirPoolOnReset) {
    TSoftQ q;
    for (int round = 0; round < 3; ++round) {
        for (auto& channel : q.NoteOn)
            channel.fill(1);
        q.QueueNoteOffs(5);
        int pending = 0;
        for (_TSoftNode* n = q.Pending; n; n = n->Next, ++pending) {
            ASSERT_TRUE(q.IsMadeEvent(n->Event));
            EXPECT_EQ(n->Event->Flags, efEngine);
            EXPECT_EQ(q.ToGo(*n), 5);
        }
        EXPECT_EQ(pending, NoteChannels * NoteKeys) << "round " << round;
        q.Reset();
        EXPECT_EQ(q.Pending, nullptr);
    }
}

// The MIDI input callback hands thru messages to softsynth plug-ins on its own thread, through
// the thru plug-in and, with mapped input, through the published list.
TEST_F(SoftEngineTest, ClearingFreesNoPluginTheMidiInputIsUsing) {
    midi.InPort = std::make_unique<TInPort>(&midi);
    TInPort& in = *midi.InPort;
    in.ThruOn = true;
    in.ThruChannel = -1;
    for (bool mapped : {false, true}) {
        SCOPED_TRACE(mapped ? "mapped input" : "thru plug-in");
        midi.MapInput = mapped;
        std::atomic<bool> done{false};
        std::thread input([&] {
            for (std::uint32_t n = 0; !done; ++n)
                in.ShortData(PackMidiMsg(0x90 + (n & 1), 60, 100));
        });
        for (int round = 0; round < 300; ++round) {
            TSoftItem* a = SoftEngine->AddSoftsynth("recvst");
            SoftEngine->AddSoftsynth("recvst");
            Song->TrackAt(0)->Output = 0;
            Song->TrackAt(1)->Output = 1;
            in.ThruPlugin = a->Plugin.get();
            SoftEngine->Clear();
            ASSERT_EQ(in.ThruPlugin.load(), nullptr) << "the thru target is let go of";
        }
        done = true;
        input.join();
    }
    midi.MapInput = false;

    // A use in progress holds the plug-ins: clearing waits for it.
    SoftEngine->AddSoftsynth("recvst");
    std::atomic<bool> entered{false}, left{false};
    std::thread holder([&] {
        TInputPluginUse use;
        entered = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left = true;
    });
    while (!entered)
        std::this_thread::yield();
    SoftEngine->Clear();
    EXPECT_TRUE(left);
    holder.join();
    midi.InPort.reset();
}

// Blocks run while the song is stopped and take the softsynths' timed events: a locate keeps
// them out from the reset of the queues to the last entry primed.
TEST_F(SoftEngineTest, NoBlockRunsWhileLocateRemakesTheQueues) {
    struct Hooks : TLocateHooks {
        std::vector<std::string> entered;
        void Try(const char* Step) {
            if (!EnterRenderBlock()) return;
            entered.push_back(Step);
            LeaveRenderBlock();
        }
        void LocateSoftsynths(TSong& S, int Tick) override {
            Try("before reset");
            TLocateHooks::LocateSoftsynths(S, Tick);
            Try("after reset");
        }
        void PrimeSoftsynthQueues(TSong& S, int Tick) override {
            TLocateHooks::PrimeSoftsynthQueues(S, Tick);
            Try("after priming");
        }
        void DelaySoftsynthQueues(TSong& S, int Ticks, int BaseTick) override {
            TLocateHooks::DelaySoftsynthQueues(S, Ticks, BaseTick);
            Try("after the precount");
        }
    } hooks;
    SetLocateHooks(&hooks);
    SoftEngine->AddSoftsynth("recvst");
    Song->State = 1;
    Song->Locate(0, false);
    Song->State = 0;
    SetLocateHooks(nullptr);
    EXPECT_EQ(hooks.entered, std::vector<std::string>{});
    EXPECT_TRUE(EnterRenderBlock()) << "blocks run again after the locate";
    LeaveRenderBlock();
}

} // namespace
