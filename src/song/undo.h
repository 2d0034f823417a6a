#pragma once
// The song's one undo step: whole parts saved before a command changes them (or the parts it
// took out), two integers, a name and one object; TSong::Undo puts the song back by the kind.
// Also the few helpers every editing command shares.

#include "devices/wave.h"
#include "song/song.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Undo kinds; the others (4, 6, 8-10, 14, 15, 20, 21) undo nothing.
constexpr int ukNone = 0;
constexpr int ukDelete = 1; // the deleted parts themselves
constexpr int ukMove = 2;   // copies of the moved parts at their new places
constexpr int ukAdded = 3;  // copies of added parts: copy, append, paste, remix, unmix
constexpr int ukInsert = 5; // the arrange window's inserted part
constexpr int ukGlue = 7;
constexpr int ukRecord = 11; // MIDI recording
constexpr int ukSingle = 12; // single-part edits of the editors
constexpr int ukLength = 13;
constexpr int ukEdit = 16; // note, controller, rename, quantize and tool commands
constexpr int ukStep = 17; // step input and the audio editor
constexpr int ukSplit = 18;
constexpr int ukArea = 19;    // insert and cut area of the arrange window
constexpr int ukReplace = 22; // a sample's wave replaced by the audio editor
constexpr int ukResizeStart = 23;
constexpr int ukRecordOver = 24; // audio recorded over an existing sample
constexpr int ukRecordNew = 25;  // audio recorded into a new sample

// Where track Index ends up when the track record at From moves to To (the rows between shift
// by one).
int MovedIndex(int Index, int From, int To);

// Marks, in the undo store, the copy of a part as it was before a split.
constexpr std::uint32_t pfBeforeSplit = 0x20;

// What a step may own beside its parts (the audio editor keeps a copy of a sample's wave).
class TUndoExtra {
public:
    virtual ~TUndoExtra() = default;
};

class TUndo {
public:
    explicit TUndo(TSong& Owner); // Create
    ~TUndo();
    TUndo(const TUndo&) = delete;
    TUndo& operator=(const TUndo&) = delete;

    std::string Caption = "Unndo";
    std::int32_t Arg1 = 0;
    std::int32_t Arg2 = 0;
    std::string Name;
    std::int32_t Kind = ukNone;
    std::vector<_TPart*> Parts; // owned
    std::unique_ptr<TUndoExtra> Extra;

    void Begin(int Kind, std::string_view Caption);
    void AddPart(_TPart* Part);
    _TPart* PopPart();

    // A track record moved from one row to another: the saved parts follow their tracks.
    void TrackMoved(int FromIndex, int ToIndex);
    // Where the part saved at Index goes back to when a move is undone.
    int MoveSourceTrack(std::size_t Index) const;

private:
    void FreeParts();

    TSong& Owner;
    // Source tracks of a move step once a track move broke the one track offset in Arg2.
    std::vector<int> MoveSources;
};

// Seen by tests: runs as a step opens, which every command does before it changes the song.
extern std::function<void(int Kind, std::string_view Caption)> UndoBeginHook;

// The copy of a sample's wave that the audio editor and the audio recorder keep.
class TUndoWave : public TUndoExtra {
public:
    TWave Wave;
};

// The sample pool and the audio tracks' sample slots as the undo of the audio editor and the
// audio recorder reaches them; the default works on the song's sample pool.
class TUndoSamples {
public:
    virtual ~TUndoSamples() = default;
    virtual int PoolCount(TSong& S);
    // The pool's sample Index takes its wave from Extra (a TUndoWave) and the name Name.
    virtual void RestoreSample(TSong& S, int Index, TUndoExtra& Extra, const std::string& Name);
    // Frees the pool's sample Index; it leaves the pool.
    virtual void FreeSample(TSong& S, int Index);
    // Removes sample slot Slot of Track and frees it; the track's mixer strip goes with the
    // last slot.
    virtual void RemoveSampleSlot(TSong&, _TTrack& Track, int Slot);
};

TUndoSamples& UndoSamples();
void SetUndoSamples(TUndoSamples* Seam);

// A copy of a part for the undo store: CopyPart with the part's group, so that undo gives
// groups back.
_TPart* SnapshotPart(const _TPart* Part);

// Sends a controller at once to the track's instrument (SendToTrack) on the track's channel. A
// track without a channel of its own (-1) plays each event on the event's channel, so the message
// goes on every channel the part's events use (none for a part without channel messages).
void SendPartController(const _TTrack* Track, const _TPart* Part, int Controller, int Value);

// Calls F on every selected part of tracks 0-127 (of MIDI-event tracks only when MidiOnly).
template <class F> void ForSelectedParts(TSong& S, bool MidiOnly, F&& f) {
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = S.Tracks[i].get();
        if (MidiOnly && !IsMidiMode(t->Mode)) continue;
        for (_TPart* p = t->Parts; p; p = p->Next)
            if (p->Flags & pfSelected) f(t, p);
    }
}

// The common frame of a command over the selected parts: opens the step, saves a copy of each
// part before F changes it, marks it for redraw, and closes the step again when nothing was
// saved. F answers whether it did what the command reports (or-ed into the result).
template <class F>
bool EditSelectedParts(TSong& S, int Kind, std::string_view Caption, bool MidiOnly, F&& f) {
    S.UndoStore->Begin(Kind, Caption);
    bool result = false;
    ForSelectedParts(S, MidiOnly, [&](_TTrack* t, _TPart* p) {
        S.UndoStore->AddPart(SnapshotPart(p));
        p->Flags |= pfRedraw;
        result |= f(t, p);
    });
    if (S.UndoStore->Parts.empty()) S.UndoStore->Begin(ukNone, "Undo");
    return result;
}
