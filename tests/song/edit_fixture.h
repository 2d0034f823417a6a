#pragma once
// Songs built for the editing commands: parts with events at given times, the song as text
// without the redraw marks, and the undo step at a glance.

#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song/undo.h"
#include "song_fixture.h"
#include "song_invariants.h"
#include "songdump/dump.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

using Ev = std::vector<std::pair<int, std::uint32_t>>;

inline std::uint32_t On(int key, int vel = 100, int channel = 0) {
    return PackMidiMsg(0x90 + channel, key, vel);
}
inline std::uint32_t Off(int key, int channel = 0) {
    return PackMidiMsg(0x80 + channel, key, 0);
}
inline std::uint32_t Cc(int n, int v, int channel = 0) {
    return PackMidiMsg(0xB0 + channel, n, v);
}

class EditTest : public SongTest {
protected:
    // MIDI tracks, so that the controllers the commands send show as the port's messages.
    void SetUp() override {
        SongTest::SetUp();
        for (int i = 0; i < TrackCount; ++i)
            Track(i)->Mode = tmMidi;
    }
    _TTrack* Track(int i) { return Song->Tracks[i].get(); }

    // A part linked into a track, with events at the given times from its start.
    _TPart* AddPart(int track, int start, int length, Ev events = {}, bool selected = true,
                    const char* name = "p") {
        _TPart* p = NewPart(name, start, length, track);
        EXPECT_TRUE(InsertPart(Track(track), p));
        int last = 0;
        for (auto [t, m] : events) {
            AppendEvent(p, NewEvent(t - last, m));
            last = t;
        }
        EXPECT_EQ(p->Length, length) << "events past the end";
        if (selected) p->Flags |= pfSelected;
        return p;
    }

    // (time from the part start, message) of every event.
    static Ev Events(const _TPart* p) {
        Ev out;
        int time = 0;
        for (const _TEvent* e = p->Events; e; e = e->Next)
            out.push_back({time += e->Delta, e->Msg});
        return out;
    }

    static _TEvent* EventAt(_TPart* p, int index) {
        _TEvent* e = p->Events;
        while (e && index-- > 0)
            e = e->Next;
        return e;
    }

    // The song as text without the redraw marks and the modified flag; with
    // WithoutPartSelection the parts' selection is left out too (and kept in the song).
    std::string Snapshot(bool WithoutPartSelection = false) {
        std::vector<std::pair<_TPart*, std::uint32_t>> selected;
        for (int i = 0; i < TrackCount; ++i)
            for (_TPart* p = Track(i)->Parts; p; p = p->Next) {
                p->Flags &= ~pfRedraw;
                if (WithoutPartSelection && (p->Flags & pfSelected)) {
                    selected.push_back({p, p->Flags});
                    p->Flags &= ~pfSelected;
                }
                for (_TEvent* e = p->Events; e; e = e->Next)
                    e->Flags &= ~efRedraw;
            }
        std::uint8_t modified = Song->Modified;
        Song->Modified = 0;
        std::string text = DumpSong(*Song);
        Song->Modified = modified;
        for (auto [p, flags] : selected)
            p->Flags = flags;
        return text;
    }

    TUndo& Undo() { return *Song->UndoStore; }

    // Equal texts, or the first lines where they differ.
    static testing::AssertionResult SameText(const std::string& a, const std::string& b) {
        if (a == b) return testing::AssertionSuccess();
        std::istringstream sa(a), sb(b);
        std::string la, lb;
        auto failure = testing::AssertionFailure();
        int shown = 0;
        for (int line = 1; shown < 6; ++line) {
            bool ga = static_cast<bool>(std::getline(sa, la));
            bool gb = static_cast<bool>(std::getline(sb, lb));
            if (!ga && !gb) break;
            if (!ga) la = "<end>";
            if (!gb) lb = "<end>";
            if (la != lb) {
                failure << "\nline " << line << ":\n  - " << la << "\n  + " << lb;
                ++shown;
            }
        }
        return failure;
    }

    std::vector<std::uint32_t> SentMessages() {
        std::vector<std::uint32_t> out;
        for (const TMidiSent& s : midi.Sent)
            out.push_back(s.Msg);
        midi.Sent.clear();
        return out;
    }
};
