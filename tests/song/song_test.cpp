#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/todo.h"
#include "song_fixture.h"
#include "song_invariants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class DefaultsTest : public SongTest {
protected:
    std::string_view Ini() const override {
        return "[Default]\nTrackMode=2\n[Options]\nDefault device=3\n[beep]\nprecounts=2\n";
    }
};

void ExpectFreshTrack(const _TTrack& t, int i) {
    SCOPED_TRACE("track " + std::to_string(i));
    EXPECT_EQ(t.Name, "Track " + std::to_string(i + 1));
    EXPECT_EQ(t.Channel, i % 16);
    for (int v : {t.Program, t.Bank, t.Volume, t.Pan, t.Reverb, t.Chorus, t.FX})
        EXPECT_EQ(v, -1);
    EXPECT_EQ(t.Layout, 256);
    EXPECT_EQ(t.Mute, 0);
    EXPECT_EQ(t.Transpose, 0);
    EXPECT_EQ(t.Offset, 0);
    EXPECT_EQ(t.Parts, nullptr);
    EXPECT_TRUE(t.UserFile.empty());
    EXPECT_TRUE(t.Samples.empty());
    for (int s = 0; s < OutputSlotCount; ++s) {
        const TSoftOut& o = t.Outputs[s];
        EXPECT_EQ(o.Active, s == 0 ? 1 : 0);
        EXPECT_EQ(o.Volume, 1.0f);
        EXPECT_EQ(o.Pan, 0.0f);
        EXPECT_EQ(o.Bus, -1);
        EXPECT_EQ(o.Mute + o.Solo, 0);
        EXPECT_EQ(o.Sends[s], 0.0f);
        EXPECT_TRUE(o.Inserts.empty());
    }
}

} // namespace

TEST_F(DefaultsTest, CreateGivesTheDocumentedDefaults) {
    EXPECT_EQ(DefaultTrackMode, 2);
    for (int i = 0; i < TrackCount; ++i) {
        ExpectFreshTrack(*Song->Tracks[i], i);
        EXPECT_EQ(Song->Tracks[i]->Mode, 2);
        EXPECT_EQ(Song->Tracks[i]->Output, 3); // every mode takes the default device at creation
    }
    EXPECT_EQ(Song->FileName, "Undefined.seq");
    EXPECT_EQ(Song->LeftLocator, 0);
    EXPECT_EQ(Song->RightLocator, 1920);
    EXPECT_EQ(Song->BeatsPerBar, 4);
    EXPECT_EQ(Song->EditRes, 16);
    EXPECT_EQ(Song->GridTicks(), 60);
    EXPECT_EQ(Song->SoloTrack, -1);
    EXPECT_EQ(Song->Untitled, 1);
    EXPECT_EQ(Song->Modified, 0);
    EXPECT_EQ(Song->SyncToAudio, 1);
    EXPECT_EQ(Song->Precounts, 2);
    EXPECT_EQ(Song->State, 0);
    EXPECT_EQ(Song->CurrentPart, nullptr);
    EXPECT_EQ(Song->MasterOut.Volume, 1.0f);
    EXPECT_EQ(Song->MasterOut.Active, 0);
    EXPECT_EQ(Song->MasterOut.Bus, 0);
    EXPECT_EQ(Song->DiskOutputs[0].Active, 1);
    EXPECT_EQ(Song->DiskOutputs[1].Active, 0);
    EXPECT_EQ(Song->MixBuffer.size() * sizeof(float), 176400u);
    for (const auto& b : SampleMixBuffers)
        EXPECT_EQ(b.size() * sizeof(float), 176400u);
    EXPECT_EQ(PlugBuffers[0].size() * sizeof(float), 88200u);
    EXPECT_EQ(PlugBuffers[4].size() * sizeof(float), 176400u);
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_TRUE(midi.Sent.empty());
}

TEST_F(DefaultsTest, MetronomeIsARingOfTwoClicksOutsideTheTracks) {
    const _TTrack* t = Song->MetronomeTrack();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t, Song->Tracks[MetronomeIndex].get());
    EXPECT_EQ(Song->TrackAt(MetronomeIndex), nullptr);
    EXPECT_EQ(t->Channel, 9);
    EXPECT_EQ(t->Output, 0);
    EXPECT_EQ(t->Program, -1);
    EXPECT_EQ(t->Bank, -1);
    EXPECT_EQ(t->Parts, nullptr); // no walker over the tracks meets the ring
    const _TPart* p = Song->MetronomePart;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Track, 128);
    EXPECT_EQ(p->Next, nullptr);
    const _TEvent* on = p->Events;
    ASSERT_NE(on, nullptr);
    ASSERT_NE(on->Next, nullptr);
    EXPECT_EQ(on->Next->Next, on);
    EXPECT_EQ(on->Msg, PackMidiMsg(0x90, 36, 63));
    EXPECT_EQ(on->Next->Msg, PackMidiMsg(0x90, 36, 0));
    EXPECT_EQ(on->Delta, 120);
    EXPECT_EQ(on->Next->Delta, 120);
}

// Controller 0 goes to the present port of each MIDI track; the other modes have no port.
TEST_F(DefaultsTest, ClearSendsControllerZeroToEachMidiTracksPresentPort) {
    _TTrack* t3 = Song->Tracks[3].get();
    for (int i : {3, 7, 20})
        Song->Tracks[i]->Mode = tmMidi;
    t3->Output = 5;
    t3->Channel = -1;
    t3->Program = 12;
    t3->Outputs[2].Active = 1;
    t3->Outputs[0].Volume = 0.5f;
    t3->Samples.push_back(std::make_unique<TSample>());
    InsertPart(t3, NewPart("x", 0, 960, 3));
    _TPart* p = t3->Parts;
    _TPart* grown = p;
    InsertEvent(grown, NewEvent(100, PackMidiMsg(0x90, 60, 100)));
    Song->Clipboard = CopyPart(p);
    Song->SetCurrentPart(p);
    Song->BeatsPerBar = 3;

    Song->Clear();

    ASSERT_EQ(midi.Sent.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        const int i = n == 0 ? 3 : n == 1 ? 7 : 20;
        EXPECT_EQ(midi.Sent[n].Port, i == 3 ? 5 : 3) << i;
        EXPECT_EQ(midi.Sent[n].Msg, PackMidiMsg(0xB0 + i % 16, 0, 0)) << i;
    }
    for (int i = 0; i < TrackCount; ++i) {
        ExpectFreshTrack(*Song->Tracks[i], i);
        EXPECT_EQ(Song->Tracks[i]->Output, 0); // not a MIDI track mode
    }
    EXPECT_EQ(Song->Clipboard, nullptr);
    EXPECT_EQ(Song->CurrentPart, nullptr);
    EXPECT_EQ(Song->BeatsPerBar, 4);
    EXPECT_EQ(Song->Folder, std::filesystem::current_path().string() + "/");
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

// Send levels are reset only where they were set; a set level must still read as 0 after a
// clear, in a slot that plays (slot 0) and in one that was never made active.
TEST_F(DefaultsTest, SendLevelsSetBeforeAClearReadAsDefaultAfter) {
    struct Case {
        TSoftOut* slot;
        int send;
        float value;
    } cases[] = {
        {&Song->Tracks[3]->Outputs[0], 0, 0.5f},      {&Song->Tracks[3]->Outputs[0], 127, 1.0f},
        {&Song->Tracks[127]->Outputs[77], 64, 0.25f}, {&Song->DiskOutputs[0], 3, 0.75f},
        {&Song->DiskOutputs[100], 1, 2.0f},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(SetSendLevel(*c.slot, c.send, c.value));
        EXPECT_EQ(c.slot->Sends[c.send], c.value);
    }
    // Refused: an index outside the table, a value that is not a number.
    TSoftOut& slot = Song->Tracks[5]->Outputs[1];
    EXPECT_FALSE(SetSendLevel(slot, -1, 0.5f));
    EXPECT_FALSE(SetSendLevel(slot, SendCount, 0.5f));
    EXPECT_FALSE(SetSendLevel(slot, 0, std::nanf("")));
    EXPECT_FALSE(SetSendLevel(slot, 0, INFINITY));
    EXPECT_EQ(slot.Sends[0], 0.0f);

    Song->Clear();

    for (const Case& c : cases)
        for (int j = 0; j < SendCount; ++j)
            ASSERT_EQ(c.slot->Sends[j], 0.0f) << "send " << j;
    // A slot set again after the clear is reset by the next one too.
    SetSendLevel(*cases[2].slot, 64, 0.5f);
    Song->Clear();
    EXPECT_EQ(cases[2].slot->Sends[64], 0.0f);
}

// A clear puts back the slots handed out for change since the last one, whichever way they
// were reached, and only those: a look through a const view hands out nothing.
TEST_F(DefaultsTest, SlotsChangedAnyWayBeforeAClearAreFreshAfter) {
    auto used = [] {
        std::size_t n = Song->DiskOutputs.UsedCount();
        for (int i = 0; i < TrackCount; ++i)
            n += Song->Tracks[i]->Outputs.UsedCount();
        return n;
    };
    auto expectFresh = [](const TSoftOuts& Slots, const std::string& Owner) {
        for (int s = 0; s < OutputSlotCount; ++s) {
            SCOPED_TRACE(Owner + " slot " + std::to_string(s));
            const TSoftOut& o = Slots[s];
            EXPECT_EQ(o.Name, "");
            EXPECT_EQ(o.Active, s == 0 ? 1 : 0);
            EXPECT_EQ(o.Volume, 1.0f);
            EXPECT_EQ(o.Pan, 0.0f);
            EXPECT_EQ(o.Bus, -1);
            EXPECT_EQ(o.Mute + o.Solo, 0);
            EXPECT_EQ(o.PeakLeft + o.PeakRight, 0.0f);
            EXPECT_EQ(o.Gain, 1.0f);
        }
    };
    Song->Clear();
    EXPECT_EQ(used(), 0u);
    const TSoftOuts& look = Song->Tracks[40]->Outputs;
    EXPECT_EQ(look[90].Volume, 1.0f);
    EXPECT_EQ(
        std::count_if(look.begin(), look.end(), [](const TSoftOut& o) { return o.Active == 1; }),
        1);
    EXPECT_EQ(used(), 0u);

    Song->Tracks[9]->Outputs[100].Pan = 0.5f;
    for (TSoftOut& o : Song->DiskOutputs)
        o.Bus = 2;
    TSoftOut* slots = Song->Tracks[30]->Outputs.data();
    slots[64].Name = "x";
    slots[127].Active = 1;
    slots[0].Gain = 0.0f;
    TSoftOut& last = Song->Tracks[127]->Outputs[127];
    last.PeakLeft = 0.5f;
    last.Mute = 1;
    Song->Tracks[0]->Outputs[3].Volume = 0.5f;
    Song->Tracks[0]->Outputs[3].Solo = 1;
    EXPECT_EQ(Song->Tracks[9]->Outputs.UsedCount(), 101u);

    Song->Clear();

    for (int i = 0; i < TrackCount; ++i)
        expectFresh(Song->Tracks[i]->Outputs, "track " + std::to_string(i));
    expectFresh(Song->DiskOutputs, "disk");
    EXPECT_EQ(used(), 0u);
    // Changed again after the clear, reset by the next one too.
    Song->Tracks[127]->Outputs[127].Active = 1;
    Song->Clear();
    EXPECT_EQ(Song->Tracks[127]->Outputs[127].Active, 0);
}

// The mix buffers of a song come from zeroed pages; a later song in the same program gets
// them back as silence, not with the samples the last one left.
TEST_F(DefaultsTest, ANewSongStartsWithSilentBuffers) {
    Song->MixBuffer[7] = 0.5f;
    SampleMixBuffers[31][100] = 0.5f;
    PlugBuffers[4].back() = 0.5f;
    PlugBuffers[0][3] = 0.5f;
    delete Song;
    Song = new TSong;
    EXPECT_EQ(Song->MixBuffer.size() * sizeof(float), 176400u);
    auto silent = [](const TFloatBuffer& b) {
        return std::all_of(b.begin(), b.end(), [](float v) { return v == 0.0f; });
    };
    EXPECT_TRUE(silent(Song->MixBuffer));
    for (const auto& b : SampleMixBuffers)
        EXPECT_TRUE(silent(b));
    for (const auto& b : PlugBuffers)
        EXPECT_TRUE(silent(b));
}

class MidiModeTest : public SongTest {
protected:
    std::string_view Ini() const override {
        return "[default]\ntrackmode=0\n[OPTIONS]\ndefault device=2\n";
    }
};

TEST_F(MidiModeTest, ClearGivesMidiTracksTheDefaultDevice) {
    Song->Clear();
    for (int i = 0; i < TrackCount; ++i) {
        EXPECT_EQ(Song->Tracks[i]->Mode, 0);
        EXPECT_EQ(Song->Tracks[i]->Output, 2);
    }
}

namespace {

// Records what the song asks of the engines and the main window, in order.
struct RecordingSeams : TSongEngines, TMainWindowSeam {
    std::vector<std::string> calls;
    void ClearTodos(TSong&) override { calls.push_back("todos"); }
    void ClearSoftsynths() override { calls.push_back("softsynths"); }
    void ClearBuses() override { calls.push_back("buses"); }
    void ClearMidiQueue(TSong&) override { calls.push_back("midi queue"); }
    void ClearSampleVoices(TSong&) override { calls.push_back("sample voices"); }
    void ResetSoftsynthQueues() override { calls.push_back("softsynth queues"); }
    void BeginUndo(TSong&, int kind, std::string_view caption) override {
        calls.push_back("undo " + std::to_string(kind) + " " + std::string(caption));
    }
    void ResetMasterStrip(TSong&) override { calls.push_back("master strip"); }
    void FreeDiskSamples(TSong&) override { calls.push_back("disk samples"); }
    void RefreshMixer() override { calls.push_back("refresh mixer"); }
    void BroadcastCurrentPart(_TPart* p, int notMidi) override {
        calls.push_back(p ? "current part " + std::to_string(notMidi) : "current part nil");
    }
    int freedInserts = 0, freedChannels = 0;
    void FreeInserts(TSoftOut&) override { ++freedInserts; }
    void FreeMixChannel(_TTrack&) override { ++freedChannels; }
};

} // namespace

TEST_F(SongTest, ClearReachesTheEnginesInOrder) {
    // Inserts are freed in every slot used since the last clear.
    Song->Tracks[4]->Outputs[9].Active = 1;
    Song->DiskOutputs[2].Active = 1;
    int used = static_cast<int>(Song->DiskOutputs.UsedCount());
    for (int i = 0; i < TrackCount; ++i)
        used += static_cast<int>(Song->Tracks[i]->Outputs.UsedCount());
    EXPECT_GE(used, 10 + 3);
    RecordingSeams seams;
    SetSongEngines(&seams);
    SetMainWindow(&seams);
    Song->Clear();
    SetSongEngines(nullptr);
    SetMainWindow(nullptr);
    std::vector<std::string> expected = {"todos",
                                         "softsynths",
                                         "buses",
                                         "midi queue",
                                         "sample voices",
                                         "softsynth queues",
                                         "current part nil",
                                         "undo 0 Undo",
                                         "master strip",
                                         "disk samples",
                                         "refresh mixer"};
    EXPECT_EQ(seams.calls, expected);
    EXPECT_EQ(seams.freedInserts, used); // of tracks and disk outputs
    EXPECT_EQ(seams.freedChannels, TrackCount);
}

namespace {

// Carries out the song's deferred actions, as a block of the renderer would, when the clear
// comes to the inserts of one slot: every slot before it is reset by then.
struct RenderDuringClear : TSongEngines {
    const TSoftOut* at = nullptr;
    int runs = 0;
    void FreeInserts(TSoftOut& Slot) override {
        if (&Slot != at) return; // the one insert queued is no bus to free
        Song->Todos->Run(*Song);
        ++runs;
    }
};

} // namespace

TEST_F(SongTest, AnInsertQueuedBeforeAClearNeverReachesTheNewSong) {
    static int notABus;
    // Where the block comes: a later slot of the same track, or the disk outputs, after every
    // track.
    for (bool disk : {false, true}) {
        SCOPED_TRACE(disk ? "disk outputs" : "track 0, slot 6");
        Song->Todos->HandToAudio(); // the add waits for a block
        TSoftOut& slot = Song->Tracks[0]->Outputs[5];
        Song->AddTodo(tdAddItem, -1, &slot.Inserts, reinterpret_cast<TSub*>(&notABus));
        RenderDuringClear seams;
        seams.at = disk ? &Song->DiskOutputs[0] : &Song->Tracks[0]->Outputs[6]; // now used
        SetSongEngines(&seams);
        Song->Clear();
        SetSongEngines(nullptr);
        Song->Todos->TakeBack();
        EXPECT_EQ(seams.runs, 1);
        EXPECT_EQ(Song->Todos->Count(), 0);
        const TSoftOuts& look = Song->Tracks[0]->Outputs;
        EXPECT_TRUE(look[5].Inserts.empty()) << "the old song's insert is in the new one";
        Song->Tracks[0]->Outputs[5].Inserts.Clear(); // never freed as a bus
    }
}

TEST_F(SongTest, TrackAccessAndChannels) {
    EXPECT_EQ(Song->TrackAt(0), Song->Tracks[0].get());
    EXPECT_EQ(Song->TrackAt(127), Song->Tracks[127].get());
    EXPECT_EQ(Song->TrackAt(128), nullptr);
    EXPECT_EQ(Song->TrackAt(-1), nullptr);
    Song->CurrentTrackIndex = 5;
    EXPECT_EQ(Song->CurrentTrack(), Song->Tracks[5].get());
    EXPECT_EQ(Song->CurrentChannel(), 5);
    Song->Tracks[5]->Channel = -1;
    EXPECT_EQ(Song->CurrentChannel(), 0);
    EXPECT_EQ(Song->TrackChannel(5), 0);
    EXPECT_EQ(Song->TrackChannel(17), 1);
    EXPECT_EQ(Song->TrackChannel(128), 0);
}

TEST_F(SongTest, SongEndIsTheLatestPartEnd) {
    EXPECT_EQ(Song->SongEnd(), 0);
    InsertPart(Song->Tracks[0].get(), NewPart("a", 0, 960, 0));
    EXPECT_EQ(Song->SongEnd(), 960);
    InsertPart(Song->Tracks[9].get(), NewPart("b", 1000, 500, 9));
    EXPECT_EQ(Song->SongEnd(), 1500);
}

TEST_F(SongTest, PrepareRecordPart) {
    RecordingSeams seams;
    SetSongEngines(&seams);
    _TTrack* t = Song->CurrentTrack();
    // Both locators at 0: a part of 960 ticks named after the track, selected and current.
    Song->LeftLocator = 0;
    Song->RightLocator = 0;
    EXPECT_TRUE(Song->PrepareRecordPart());
    _TPart* p = Song->RecordPart;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(t->Parts, p);
    EXPECT_EQ(p->Length, 960);
    EXPECT_EQ(p->Name, "Track 1");
    EXPECT_TRUE(p->Flags & pfSelected);
    EXPECT_EQ(Song->CurrentPart, p);
    EXPECT_EQ(seams.calls.back(), "current part 0"); // softsynth parts hold MIDI events
    // The part under the left locator is taken as it is.
    Song->LeftLocator = 500;
    EXPECT_TRUE(Song->PrepareRecordPart());
    EXPECT_EQ(Song->RecordPart, p);
    // Left before right: the part spans the locators.
    Song->LeftLocator = 2000;
    Song->RightLocator = 2600;
    EXPECT_TRUE(Song->PrepareRecordPart());
    EXPECT_EQ(Song->RecordPart->Start, 2000);
    EXPECT_EQ(Song->RecordPart->Length, 600);
    // The track's first part starts within 960 ticks of the left locator: the record part
    // ends where that part starts and is still in the track.
    Song->CurrentTrackIndex = 1;
    InsertPart(Song->Tracks[1].get(), NewPart("later", 1100, 960, 1));
    Song->LeftLocator = 1000;
    Song->RightLocator = 3000;
    EXPECT_TRUE(Song->PrepareRecordPart());
    EXPECT_EQ(Song->Tracks[1]->Parts, Song->RecordPart);
    EXPECT_EQ(Song->RecordPart->Length, 100);
    EXPECT_TRUE(CheckSongInvariants(*Song));
    SetSongEngines(nullptr);
}
