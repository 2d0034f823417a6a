// Parameter automation: the points of a block, place codes, deleting entries and their events,
// and a locate linking the entries and placing the buses.

#include "devices/audio.h"
#include "devices/mfx.h"
#include "song/automation.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/subengine.h"
#include "song/timebase.h"
#include "song_fixture.h"
#include "support/recording_synths.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Pt {
    int Param, Frame;
    float Value, Slope;
};

class AutomationTest : public SongTest {
protected:
    void SetUp() override {
        SongTest::SetUp();
        track = Song->TrackAt(3);
        track->Mode = tmParameter;
        entry.Track = 3;
        entry.Slot = 0;
        entry.Params[0] = {7, 0};
        entry.ParamCount = 1;
    }
    // A part at Start with automation events of channel 0, parameter 7 at the given song ticks.
    _TPart* Part(int Start, int Length, std::vector<std::pair<int, float>> Events, int Param = 7,
                 int Channel = 0) {
        _TPart* p = NewPart("", Start, Length, 3);
        EXPECT_TRUE(InsertPart(track, p));
        for (auto [tick, value] : Events) {
            _TPart* q = p;
            InsertEvent(q, NewAutomationEvent(tick - Start, Channel, Param, value));
        }
        return p;
    }
    std::vector<Pt> Points(int Pos, int Frames) { return Points(entry, Pos, Frames); }
    static std::vector<Pt> Points(TAutoPlug& Entry, int Pos, int Frames) {
        std::vector<Pt> out;
        for (TAutoPoint* p = Song->AutomationPoints(Entry, Pos, Frames); p; p = p->Next)
            out.push_back({p->Param, p->Offset, p->Value, p->Slope});
        return out;
    }
    static int S(int Ticks) { return TicksToSamples(Ticks); }

    _TTrack* track = nullptr;
    TAutoPlug entry;
};

void ExpectPoints(const std::vector<Pt>& Got, const std::vector<Pt>& Want) {
    ASSERT_EQ(Got.size(), Want.size());
    for (std::size_t i = 0; i < Got.size(); ++i) {
        EXPECT_EQ(Got[i].Param, Want[i].Param) << i;
        EXPECT_EQ(Got[i].Frame, Want[i].Frame) << i;
        EXPECT_NEAR(Got[i].Value, Want[i].Value, 1e-4) << i;
        EXPECT_NEAR(Got[i].Slope, Want[i].Slope, 1e-7) << i;
    }
}

TEST_F(AutomationTest, PointsOfABlock) {
    // Two values before the block and none after: the later one, constant, at frame 0.
    Part(0, 1920, {{10, 0.25f}, {20, 0.5f}});
    ExpectPoints(Points(S(100), 256), {{7, 0, 0.5f, 0.0f}});

    // A muted track gives nothing.
    track->Mute = 1;
    EXPECT_TRUE(Points(S(100), 256).empty());
    track->Mute = 0;
}

TEST_F(AutomationTest, ARampAcrossTheBlockStart) {
    // 0.0 before the block and 1.0 after it, 960 ticks apart; the block starts a quarter in.
    Part(0, 1920, {{0, 0.0f}, {960, 1.0f}});
    const int pos = S(240), span = S(960);
    ExpectPoints(Points(pos, 256), {{7, 0, static_cast<float>(pos) / span, 1.0f / span}});
}

TEST_F(AutomationTest, NoRampIntoALaterPartThatStartsAfterTheBlock) {
    Part(0, 480, {{100, 0.0f}});
    Part(1920, 480, {{1920, 1.0f}});
    ExpectPoints(Points(S(600), 256), {{7, 0, 0.0f, 0.0f}});
}

TEST_F(AutomationTest, AnEventInsideTheBlockWithNoneBefore) {
    Part(0, 1920, {{100, 0.75f}});
    const int pos = S(100) - 100;
    ExpectPoints(Points(pos, 256), {{7, 100, 0.75f, 0.0f}});
    // Other channels and parameters do not count.
    Part(1920, 480, {{1950, 0.1f}}, 8);
    Part(2400, 480, {{2450, 0.1f}}, 7, 1);
    ExpectPoints(Points(pos, 256), {{7, 100, 0.75f, 0.0f}});
}

TEST_F(AutomationTest, PointsOfTwoParametersAreOrderedByFrame) {
    entry.Params[1] = {2, 0};
    entry.ParamCount = 2;
    Part(0, 1920, {{100, 0.5f}});
    const int pos = S(100) - 200;
    _TPart* p = track->Parts;
    InsertEvent(p, NewAutomationEvent(99, 0, 2, 0.25f));
    const auto got = Points(pos, 256);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].Param, 2);
    EXPECT_EQ(got[0].Frame, S(99) - pos);
    EXPECT_EQ(got[1].Param, 7);
    EXPECT_EQ(got[1].Frame, 200);
}

// Blocks played in a row go on from where the last one left the walk; each gives what a walk
// from the track's first part gives (an entry that never played), across loop jumps, locates,
// edits of the events, a part muted and a parameter changed.
TEST_F(AutomationTest, BlocksInARowGiveWhatAWalkFromTheStartGives) {
    entry.Params[1] = {2, 0};
    entry.ParamCount = 2;
    // Parameter 7 every 37 ticks, parameter 2 every 53, parameter 7 of channel 1 every 41.
    auto fill = [&](int Start, int Length) {
        std::vector<std::pair<int, float>> values;
        for (int t = Start + 5; t < Start + Length; t += 37)
            values.push_back({t, static_cast<float>(t % 101) / 100.0f});
        _TPart* p = Part(Start, Length, values);
        for (int t = Start + 11; t < Start + Length; t += 53) {
            _TPart* q = p;
            InsertEvent(q, NewAutomationEvent(t - Start, 0, 2, static_cast<float>(t % 89) / 88));
        }
        for (int t = Start + 3; t < Start + Length; t += 41) {
            _TPart* q = p;
            InsertEvent(q, NewAutomationEvent(t - Start, 1, 7, 0.5f));
        }
        return p;
    };
    fill(0, 1920);
    _TPart* middle = fill(1920, 960);
    fill(3840, 1920); // after a gap
    const int frames = 256;
    int pos = 0;
    auto play = [&](int Blocks) {
        for (int i = 0; i < Blocks && !HasFailure(); ++i, pos += frames) {
            SCOPED_TRACE(pos);
            TAutoPlug fresh;
            fresh.Track = entry.Track;
            fresh.Slot = entry.Slot;
            fresh.Params = entry.Params;
            fresh.ParamCount = entry.ParamCount;
            ExpectPoints(Points(pos, frames), Points(fresh, pos, frames));
        }
    };
    play(S(6200) / frames); // over the parts, the gap and past the end
    pos = S(500);           // a loop jump back
    play(40);
    pos = S(4000); // a locate forward
    play(10);
    pos = S(100); // a locate back
    play(20);
    {
        // Edits before and after the position: a value changed, an event added, one removed.
        TRendererHold hold;
        _TEvent* value = NewAutomationEvent(0, 0, 7, 0.9f);
        track->Parts->Events->Msg = value->Msg;
        FreeEvent(value);
        _TPart* q = track->Parts;
        InsertEvent(q, NewAutomationEvent(7, 0, 2, 0.125f));
        _TEvent* late = track->Parts->Events;
        while (late->Next->Next)
            late = late->Next;
        FreeEvent(late->Next);
        late->Next = nullptr;
    }
    play(40);
    middle->Flags |= pfSelected;
    Song->ToggleSelectedPartsMute();
    pos = S(1800);
    play(20);
    entry.Params[1] = {9, 0}; // another parameter in the second place
    play(5);
}

TEST_F(AutomationTest, PlaceCodesAndResolving) {
    RecordingMfx synth;
    synth.Outputs = 2;
    for (int i = 0; i < 3; ++i)
        SoftEngine->AddSoftsynth("recmfx");
    TSoftItem& s2 = *SoftEngine->Items[2];
    s2.Outputs[1].Active = 1;
    TSub* ins = SubEngine->AddSub(skInsertEffect, "", -1);
    s2.Outputs[1].Inserts.Append(ins);
    TSub* m = SubEngine->AddSub(skMasterEffect, "", -1);
    TSub* g = SubEngine->AddSub(skGroupEffect, "", -1);
    TSub* d = SubEngine->AddSub(skInsertEffect, "", -1);
    Song->DiskOutputs[0].Inserts.Append(d);

    struct Case {
        TMFX* plugin;
        TPlugId id;
    };
    const Case cases[] = {
        {ins->Plugin, {"sci", 2, 1, 0}}, {m->Plugin, {"mas", 0, 0, 0}},
        {g->Plugin, {"grp", 0, 0, 0}},   {s2.Plugin.get(), {"syn", 2, 0, 0}},
        {d->Plugin, {"dci", 0, 0, 0}},
    };
    for (const Case& c : cases) {
        TPlugId id;
        ASSERT_TRUE(SubEngine->MakePlugId(c.plugin, id)) << c.id.Code;
        EXPECT_EQ(id.Code, c.id.Code);
        EXPECT_EQ(id.Ind1, c.id.Ind1);
        EXPECT_EQ(id.Ind2, c.id.Ind2);
        EXPECT_EQ(id.Ind3, c.id.Ind3);
        EXPECT_EQ(SubEngine->ResolvePlugId(id), c.plugin) << c.id.Code;
    }
    for (const TPlugId& bad :
         {TPlugId{"SCI", 2, 1, 0}, TPlugId{"sci", 2, 5, 0}, TPlugId{"grp", 1, 0, 0},
          TPlugId{"aci", 128, 0, 0}, TPlugId{"xyz", 0, 0, 0}, TPlugId{"mas", -1, 0, 0}})
        EXPECT_EQ(SubEngine->ResolvePlugId(bad), nullptr) << bad.Code << bad.Ind1;
    TMFX stranger;
    TPlugId kept{"syn", 9, 9, 9};
    EXPECT_FALSE(SubEngine->MakePlugId(&stranger, kept));
    EXPECT_EQ(kept.Ind1, 9);
    SubEngine->Clear();
    SoftEngine->Clear();
}

TEST_F(AutomationTest, DeletingABusDropsItsEntryAndMovesLaterChannelsDown) {
    TSub* a = SubEngine->AddSub(skGroupEffect, "", -1);
    TSub* b = SubEngine->AddSub(skGroupEffect, "", -1);
    auto* e0 = new TAutoPlug;
    e0->Plugin = a->Plugin;
    auto* e1 = new TAutoPlug;
    e1->Plugin = b->Plugin;
    track->AutoPlugs = {e0, e1};
    Part(0, 1920, {{10, 0.5f}, {30, 0.5f}}, 7, 0);
    _TPart* p = track->Parts;
    InsertEvent(p, NewAutomationEvent(20, 1, 7, 0.25f));
    SubEngine->DeleteSub(a);
    ASSERT_EQ(track->AutoPlugs.size(), 1u);
    EXPECT_EQ(track->AutoPlugs[0], e1);
    std::vector<std::uint32_t> left;
    for (_TEvent* e = track->Parts->Events; e; e = e->Next)
        left.push_back(e->Msg & 0xFF);
    EXPECT_EQ(left, std::vector<std::uint32_t>{0xB0}); // the channel 1 event, now channel 0
    EXPECT_NEAR(AutoEventValue(*track->Parts->Events), 0.25f, 1e-4);

    // A locate links every entry to its plug-in and tells own-interface buses the position.
    RecordingMfx rec;
    TSub* own = SubEngine->AddSub(skSendEffect, "recmfx", -1);
    ASSERT_TRUE(own->Plugin->Loaded);
    Song->Locate(480, false);
    EXPECT_EQ(e1->Track, 3);
    EXPECT_EQ(e1->Slot, 0);
    EXPECT_EQ(b->Plugin->AutoLink, e1);
    ASSERT_FALSE(rec.Positions.empty());
    EXPECT_EQ(rec.Positions.back(), (std::pair<int, intptr_t>{MFX_POSITION, S(480)}));
    SubEngine->Clear();
}

TEST_F(AutomationTest, ClearingTheSoftsynthsUnlinksTheirEntries) {
    RecordingMfx synth;
    SoftEngine->AddSoftsynth("recmfx");
    ASSERT_EQ(SoftEngine->Items.size(), 1u);
    auto* e = new TAutoPlug;
    e->Plugin = SoftEngine->Items[0]->Plugin.get();
    track->AutoPlugs = {e};
    SoftEngine->Clear();
    EXPECT_EQ(e->Plugin, nullptr);
    Song->Locate(0, false); // links the entry to nothing
    EXPECT_EQ(e->Track, 3);
}

} // namespace
