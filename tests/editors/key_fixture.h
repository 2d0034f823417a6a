#pragma once
// The key editor headless: the program started with its arrange window, parts added to the
// song, and the key editor opened for one of them the way a user does (the part clicked
// current, Ctrl+E in the arrange window).

#include "app/arrange_fixture.h"
#include "devices/midimsg.h"
#include "editors/midi/key.h"
#include "platform/window/input.h"

#include <vector>

// The ticks of the part's selected note-ons.
inline std::vector<int> SelectedNoteTicks(const _TPart* P) {
    std::vector<int> r;
    int t = 0;
    for (const _TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        if (IsNoteOn(e->Msg) && (e->Flags & efSelected)) r.push_back(t);
    }
    return r;
}

class KeyTest : public ArrangeTest {
protected:
    void TearDown() override {
        ArrangeTest::TearDown();
        KeyEditorSeams() = {};
        NoteHeight = 7;
        Width16th = 16;
    }
    // A part on Track with notes (tick in the part, key, length), velocity 100 on channel 1.
    static _TPart* AddPart(int Track, int Start, int Length,
                           std::initializer_list<std::tuple<int, int, int>> Notes = {},
                           const std::string& Name = "Part") {
        return AddPartWithNotes(Track, Start, Length, Name, Notes);
    }
    // Makes Part the current part and presses Ctrl+E in the arrange window.
    void OpenKey(_TPart* Part) {
        Song->UnselectAllParts();
        Part->Flags |= pfSelected;
        Song->SetCurrentPart(Part);
        fmArrange->Show();
        gui.Pump();
        gui.Chord({platform::VK_CONTROL, 'E'});
        gui.Pump();
        k = fmKey;
        ASSERT_NE(k, nullptr);
    }

    TfmKey* k = nullptr;
};
