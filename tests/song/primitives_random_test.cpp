// Thousands of random primitive operations on a song; the track and part invariants must hold
// after each, and note pairs inserted into a part must stay paired there.
#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song_fixture.h"
#include "song_invariants.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace {

class RandomPrimitivesTest : public SongTest, public testing::WithParamInterface<unsigned> {
protected:
    std::mt19937 rng{GetParam()};
    std::set<_TPart*> paired; // parts whose every note on is known to have its note off

    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    std::vector<_TPart*> AllParts() {
        std::vector<_TPart*> parts;
        for (int t = 0; t < 4; ++t)
            for (_TPart* p = Song->Tracks[t]->Parts; p; p = p->Next)
                parts.push_back(p);
        return parts;
    }

    _TPart* AnyPart() {
        auto parts = AllParts();
        return parts.empty() ? nullptr : parts[Pick(0, int(parts.size()) - 1)];
    }

    std::uint32_t AnyController() {
        return PackMidiMsg(0xB0 + Pick(0, 15), Pick(0, 127), Pick(0, 127));
    }

    void Forget(_TPart* p) { paired.erase(p); }

    // Inserts a note on and its note off; true when the part still pairs its notes.
    void InsertPair(_TPart* p) {
        bool sample = Pick(0, 3) == 0;
        int key = Pick(0, 3) + 60;
        // A note of no length at the head would go in before its own note on, by design.
        int t = Pick(0, p->Length + 500), len = Pick(1, 700);
        std::uint32_t on = sample ? PackMidiMsg(0x20, key, 100) : PackMidiMsg(0x90, key, 90);
        std::uint32_t off = sample ? PackMidiMsg(0x30, key, 0) : PackMidiMsg(0x80, key, 0);
        _TPart* a = p;
        _TPart* b = p;
        InsertEvent(a, NewEvent(t, on));
        InsertEvent(b, NewEvent(t + len, off));
        bool wrapping = Song->State == 1;
        if (a != b || wrapping) {
            // Handed over by design: neither part is known to pair any more.
            Forget(a);
            Forget(b);
        } else if (paired.count(a)) {
            ASSERT_TRUE(CheckNotePairing(*a)) << "seed " << GetParam();
        }
    }

    void Step() {
        _TPart* p = AnyPart();
        int op = Pick(0, 15);
        if (!p && op > 1) op = 0;
        switch (op) {
        case 0:
        case 1: { // a new part, sometimes with notes, sometimes without length
            int track = Pick(0, 3);
            _TPart* n = NewPart("r", Pick(-100, 20000), Pick(-1, 3000), track);
            if (Pick(0, 1) && n->Length > 0) {
                paired.insert(n);
                for (int i = Pick(0, 4); i > 0; --i)
                    InsertPair(n);
            }
            if (!InsertPart(Song->Tracks[track].get(), n)) {
                Forget(n);
                FreePart(n);
            }
            break;
        }
        case 2: { // take a part out and put it back elsewhere
            _TTrack* track = Song->Tracks[p->Track].get();
            _TPart* u = UnlinkPartAt(track, p->Start);
            ASSERT_EQ(u, p);
            u->Start += Pick(-2000, 2000);
            if (!InsertPart(track, u)) {
                Forget(u);
                FreePart(u);
            }
            break;
        }
        case 3:
            Forget(p);
            DeletePart(Song->Tracks[p->Track].get(), p);
            break;
        case 4:
        case 5: { // a single event anywhere, even far past the end
            _TPart* q = p;
            InsertEvent(q, NewEvent(Pick(-10, p->Length * 3), AnyController()));
            break;
        }
        case 6:
        case 7:
            InsertPair(p);
            break;
        case 8:
            AppendEvent(p, NewEvent(Pick(-5, 1500), AnyController()));
            break;
        case 9: { // absolute form, shuffled times, sorted back
            EventsToAbsolute(p);
            for (_TEvent* e = p->Events; e; e = e->Next)
                if (Pick(0, 3) == 0) e->Delta = Pick(0, p->Length - 1);
            SortPartEvents(p);
            EventsToDelta(p);
            Forget(p);
            break;
        }
        case 10: { // some selection, then a delete by flag
            switch (Pick(0, 3)) {
            case 0:
                SelectNote(p, FirstNoteOn(p, Pick(-1, 63)));
                break;
            case 1:
                ToggleNotesInArea(p, Pick(0, 2000), 60, Pick(0, 2000), Pick(60, 64));
                break;
            case 2:
                InvertSelection(p);
                break;
            default:
                SelectAllNotes(p);
                break;
            }
            for (_TEvent* e = p->Events; e; e = e->Next)
                if (Pick(0, 5) == 0) e->Flags |= efWork;
            switch (Pick(0, 2)) {
            case 0:
                DeleteSelectedEvents(p);
                break;
            case 1:
                DeleteMarkedEvents(p);
                break;
            default:
                DeleteUnselectedEvents(p);
                break;
            }
            Forget(p);
            break;
        }
        case 11: { // a copy, put in another track or dropped
            _TPart* c = CopyPart(p);
            c->Track = Pick(0, 3);
            if (paired.count(p)) paired.insert(c);
            if (!InsertPart(Song->Tracks[c->Track].get(), c)) {
                Forget(c);
                FreePart(c);
            }
            break;
        }
        case 12:
            FreePartEvents(p);
            paired.insert(p);
            break;
        case 13: { // a hostile or plain time signature
            static const int bars[] = {4, 3, 7, 0, -2, 1};
            Song->BeatsPerBar = bars[Pick(0, 5)];
            break;
        }
        case 14: // a loop recording into this part, or not
            if (Pick(0, 1)) {
                Song->State = 1;
                Song->Looping = 1;
                Song->RightLocator = p->Start + p->Length;
            } else {
                Song->State = 0;
                Song->Looping = 0;
            }
            break;
        default:
            if (Pick(0, 20) == 0) {
                Song->Clear();
                paired.clear();
            }
            break;
        }
    }
};

TEST_P(RandomPrimitivesTest, InvariantsHoldAfterEveryOperation) {
    for (int i = 0; i < 4000; ++i) {
        Step();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(CheckSongInvariants(*Song)) << "seed " << GetParam() << ", step " << i;
    }
    Song->State = 0;
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomPrimitivesTest, testing::Values(1u, 2u, 3u, 4u));

} // namespace
