#pragma once
// The sample-part editor headless: the program started with its arrange window, an audio track
// with sample slots (each with a sample of the pool), parts of sample notes, and the editor
// opened for one of them the way a user does (the part made current, Ctrl+E in the arrange
// window).

#include "app/arrange_fixture.h"
#include "app/editcommands.h"
#include "devices/dxsounds.h"
#include "devices/midimsg.h"
#include "editors/audio/sampleedit.h"
#include "platform/window/input.h"

#include <memory>
#include <tuple>
#include <vector>

using TSampleNote = std::tuple<int, int, int>; // tick in the part, row, length

// The part's sample notes.
inline std::vector<TSampleNote> SampleNotes(const _TPart* P) {
    std::vector<TSampleNote> r;
    int t = 0;
    for (const _TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        if (MidiStatus(e->Msg) == msSampleOn)
            r.emplace_back(t, int(MidiData1(e->Msg)), NoteLength(P, e));
    }
    return r;
}

class SampleTest : public ArrangeTest {
protected:
    void TearDown() override {
        ArrangeTest::TearDown();
        SampleHeight = 40;
        AudioWidth16th = 16;
        SampleInsertHeldHook = nullptr;
        EditCommandSeams().ShowCustomize = nullptr;
        EditCommandSeams().ShowGrooves = nullptr;
    }
    // Track made an audio track with Slots slots, slot i playing pool sample i (made here: a
    // short silent 16-bit mono sample unless the pool has one already).
    static _TTrack* MakeAudioTrack(int Track, int Slots) {
        _TTrack* t = Song->TrackAt(Track);
        t->Mode = tmAudio;
        TWaveCollection& pool = Song->SamplePool->Items;
        for (int i = 0; i < Slots; ++i) {
            while (pool.Count() <= i) {
                TWaveCollectionItem* item = pool.Add();
                item->SetName("C:\\samples\\sample" + std::to_string(pool.Count()) + ".wav");
                item->Wave.SetPCMFormat(44100, 16, 1);
                item->Wave.SetSize(2000);
            }
            t->Samples.push_back(std::make_unique<TSample>());
            t->Samples.back()->Index = i;
        }
        return t;
    }
    // A part of sample notes (volume 127, pan 63) on Track.
    static _TPart* AddSamplePart(int Track, int Start, int Length,
                                 const std::vector<TSampleNote>& Notes = {}) {
        _TPart* p = NewPart("Samples", Start, Length, Track);
        std::vector<std::pair<int, std::uint32_t>> ev;
        for (auto [t, row, len] : Notes) {
            ev.push_back({t, PackMidiMsg(msSampleOn, std::uint32_t(row), 127) + (63u << 24)});
            ev.push_back({t + len, PackMidiMsg(msSampleOff, std::uint32_t(row), 0)});
        }
        std::stable_sort(ev.begin(), ev.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        int last = 0;
        for (auto [t, msg] : ev) {
            AppendEvent(p, NewEvent(t - last, msg));
            last = t;
        }
        EXPECT_TRUE(InsertPart(Song->TrackAt(Track), p));
        return p;
    }
    // Makes Part the current part and presses Ctrl+E in the arrange window.
    void OpenAudio(_TPart* Part) {
        Song->UnselectAllParts();
        Part->Flags |= pfSelected;
        Song->SetCurrentPart(Part);
        fmArrange->Show();
        gui.Pump();
        gui.Chord({platform::VK_CONTROL, 'E'});
        gui.Pump();
        s = fmAudio;
        ASSERT_NE(s, nullptr);
    }
    // Screen points of the grid's and the ruler's content points.
    platform::TPoint At(int x, int y) const {
        return testsupport::GuiHarness::At(s->audio->Handle(), x + s->audio->OffsetX,
                                           y + s->audio->OffsetY);
    }
    platform::TPoint RulerAt(int x) const {
        return testsupport::GuiHarness::At(s->meter->Handle(), x + s->meter->OffsetX, 7);
    }
    std::uint32_t Grid(int x, int y) const {
        return gui.Pixel(s->audio->Handle(), x + s->audio->OffsetX, y + s->audio->OffsetY);
    }
    std::uint32_t Ruler(int x, int y) const {
        return gui.Pixel(s->meter->Handle(), x + s->meter->OffsetX, y);
    }
    void Repaint() {
        s->audio->Invalidate();
        s->meter->Invalidate();
        gui.Pump();
    }
    // Press, moves on the way, release; keys held throughout.
    void Drag(std::vector<platform::TPoint> Path, std::initializer_list<platform::UINT> Keys = {}) {
        for (platform::UINT key : Keys)
            gui.KeyDown(key);
        gui.MoveTo(Path.front());
        gui.Press(Path.front());
        for (std::size_t i = 1; i < Path.size(); ++i)
            gui.MoveTo(Path[i]);
        gui.Release(Path.back());
        for (platform::UINT key : Keys)
            gui.KeyUp(key);
        gui.Pump();
    }

    TfmAudio* s = nullptr;
};
