#include "song/noteedit.h"

#include "devices/midimsg.h"
#include "song/ctrledit.h"
#include "song/notemove.h"
#include "song/primitives.h"
#include "song/random.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>
#include <array>
#include <climits>
#include <iterator>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

bool Wanted(const _TEvent* e, bool SelectedOnly) {
    return !SelectedOnly || (e->Flags & efSelected);
}

// The message with a new data 1, keeping its other bytes.
std::uint32_t WithKey(std::uint32_t Msg, int Key) {
    return (Msg & ~0xFF00u) | (static_cast<std::uint32_t>(Key) << 8);
}

// The message rebuilt from status, data 1 and a new data 2, without its fourth byte.
std::uint32_t Rebuilt(std::uint32_t Msg, int Data1, int Data2) {
    return PackMidiMsg(Msg & 0xFF, static_cast<std::uint32_t>(Data1),
                       static_cast<std::uint32_t>(Data2));
}

// The first later note off of a note on's key that passes Free, without the broken-part
// message.
template <class F> _TEvent* LaterNoteOff(_TEvent* NoteOn, F&& Free) {
    std::uint32_t key = MidiData1(NoteOn->Msg);
    for (_TEvent* e = NoteOn->Next; e; e = e->Next)
        if (IsNoteOff(e->Msg) && MidiData1(e->Msg) == key && Free(e)) return e;
    return nullptr;
}

void ClearWork(_TPart* Part) {
    for (_TEvent* e = Part->Events; e; e = e->Next)
        e->Flags &= ~efWork;
}

void Finish(_TPart* Part) {
    SortPartEvents(Part);
    EventsToDelta(Part);
    Part->Flags |= pfRedraw;
}

void OpenPartStep(_TPart* Part, const char* Caption) {
    Song->UndoStore->Begin(ukEdit, Caption);
    Song->UndoStore->AddPart(SnapshotPart(Part));
}

void SendAllNotesOff(_TPart* Part) {
    if (Song) SendPartController(Song->TrackAt(Part->Track), Part, 123, 0);
}

// Legato (Overlap nil) and overlap: each note's note off goes up to the next later note on.
void JoinNotes(_TPart* Part, const int* Overlap, bool SelectedOnly) {
    if (!Part) return;
    EventsToAbsolute(Part);
    std::vector<_TEvent*> ons;
    for (_TEvent* e = Part->Events; e; e = e->Next)
        if (IsNoteOn(e->Msg)) ons.push_back(e);
    // For each note on, the first note on that starts later (list order is time order).
    std::vector<_TEvent*> later(ons.size(), nullptr);
    for (std::size_t i = ons.size(); i-- > 1;)
        later[i - 1] = ons[i]->Delta > ons[i - 1]->Delta ? ons[i] : later[i];
    for (std::size_t i = 0; i < ons.size(); ++i) {
        _TEvent* on = ons[i];
        if (!Wanted(on, SelectedOnly)) continue;
        _TEvent* off = FindNoteOff(on);
        if (!off) continue;
        _TEvent* next = later[i];
        if (!next) {
            off->Delta = Part->Length - 1;
        } else if (off->Delta < next->Delta) {
            std::int64_t to = static_cast<std::int64_t>(next->Delta) - 1;
            if (Overlap && MidiData1(next->Msg) != MidiData1(on->Msg)) to += *Overlap;
            to = std::clamp<std::int64_t>(to, on->Delta, Part->Length - 1);
            off->Delta = static_cast<std::int32_t>(to);
        }
        off->Flags |= efRedraw;
    }
    Finish(Part);
}

// Grows the part by a bar as InsertEvent does, never past the part after it; False when it
// cannot grow.
bool GrowOneBar(_TPart* Part) {
    std::int64_t start = Part->Start, end = start + Part->Length;
    std::int64_t limit;
    if (Part->Next && Part->Next->Start >= end) {
        limit = Part->Next->Start - start;
    } else {
        std::int64_t room = static_cast<std::int64_t>(INT_MAX) - std::max<std::int64_t>(start, 0);
        limit = std::max<std::int64_t>(room, Part->Length);
    }
    std::int64_t length = std::min<std::int64_t>(Part->Length + BarTicks(), limit);
    if (length <= Part->Length) return false;
    Part->Length = static_cast<std::int32_t>(length);
    return true;
}

// Inserts events whose Delta holds their time from the part start, from the last to the
// first, with the result of InsertEvent on each, but without walking the list for each one:
// the last event of every time is kept in a map.
void InsertCopies(_TPart* Part, const std::vector<_TEvent*>& Copies) {
    if (Song && Song->State == 1 && Song->Looping) { // the recording wrap: InsertEvent knows it
        for (auto it = Copies.rbegin(); it != Copies.rend(); ++it) {
            _TPart* target = Part;
            InsertEvent(target, *it);
        }
        return;
    }
    EventsToAbsolute(Part);
    std::map<std::int64_t, _TEvent*> lastAt;
    for (_TEvent* e = Part->Events; e; e = e->Next)
        lastAt[e->Delta] = e;
    for (auto it = Copies.rbegin(); it != Copies.rend(); ++it) {
        _TEvent* c = *it;
        c->Next = nullptr;
        std::int64_t t = std::max(c->Delta, 0);
        bool handed = false;
        while (t >= Part->Length) {
            if (BarsToNextPart(Part) == 0) {
                Part->Flags |= pfRedraw;
                c->Delta = static_cast<std::int32_t>(t - Part->Length);
                _TPart* next = Part->Next;
                InsertEvent(next, c);
                handed = true;
                break;
            }
            if (!GrowOneBar(Part)) {
                t = Part->Length - 1;
                break;
            }
        }
        if (handed) continue;
        c->Delta = static_cast<std::int32_t>(t);
        _TEvent* first = Part->Events;
        if (!first || first->Delta >= t) {
            // At the head an event goes before the first one of the same time.
            c->Next = first;
            Part->Events = c;
            lastAt.emplace(t, c);
            continue;
        }
        // Elsewhere after every event of its time or earlier.
        auto at = std::prev(lastAt.upper_bound(t));
        c->Next = at->second->Next;
        at->second->Next = c;
        lastAt[t] = c;
    }
    EventsToDelta(Part);
    Part->Last = nullptr;
}

} // namespace

void SetVelocities(_TPart* Part, int Value, int Mode, bool SelectedOnly) {
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        if (!IsNoteOn(e->Msg) || !Wanted(e, SelectedOnly)) continue;
        int velocity = 0;
        switch (Mode) {
        case 0:
            velocity = Value;
            break;
        case 2:
            velocity = static_cast<int>(MidiData2(e->Msg)) + Value;
            break;
        case 3: {
            int lo = Value & 0xFF, hi = (Value >> 8) & 0xFF;
            velocity = lo + RandomInt(hi - lo + 1);
            break;
        }
        default:
            break;
        }
        e->Msg = Rebuilt(e->Msg, MidiData1(e->Msg), Clamp(velocity, 1, 127));
        e->Flags |= efRedraw;
    }
}

void RampVelocities(_TPart* Part, int FromTick, int ToTick, bool SelectedOnly, int EndVelocity,
                    int StartVelocity) {
    if (!Part) return;
    if (ToTick == -1) ToTick = Part->Length;
    std::int64_t time = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        time += e->Delta;
        if (!IsNoteOn(e->Msg) || !Wanted(e, SelectedOnly) || time < FromTick || time > ToTick)
            continue;
        int v = RampValue(time, FromTick, ToTick, StartVelocity, EndVelocity);
        e->Msg = Rebuilt(e->Msg, MidiData1(e->Msg), Clamp(v, 1, 127));
        e->Flags |= efRedraw;
    }
}

void LegatoNotes(_TPart* Part, bool SelectedOnly) {
    JoinNotes(Part, nullptr, SelectedOnly);
}

void OverlapNotes(_TPart* Part, int Overlap, bool SelectedOnly) {
    if (!Part) return;
    OpenPartStep(Part, "Undo overlap");
    JoinNotes(Part, &Overlap, SelectedOnly);
}

void SetNoteLengths(_TPart* Part, int Ticks, bool SelectedOnly) {
    if (!Part) return;
    EventsToAbsolute(Part);
    ClearWork(Part);
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        if (!IsNoteOn(e->Msg)) continue;
        _TEvent* off = LaterNoteOff(e, [](const _TEvent*) { return true; });
        if (!off || (off->Flags & efWork) || !Wanted(off, SelectedOnly)) continue;
        std::int64_t to = static_cast<std::int64_t>(e->Delta) + Ticks - 1;
        off->Delta =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(to, e->Delta, Part->Length - 1));
        off->Flags |= efWork | efRedraw;
    }
    ClearWork(Part);
    Finish(Part);
}

void ResizeNotes(_TPart* Part, int DeltaTicks, bool SelectedOnly, bool RecordUndo) {
    if (!Part) return;
    if (RecordUndo) OpenPartStep(Part, "Undo resize");
    EventsToAbsolute(Part);
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        if (!IsNoteOn(e->Msg) || !Wanted(e, SelectedOnly)) continue;
        _TEvent* off = FindNoteOff(e);
        if (!off) continue;
        std::int64_t to = static_cast<std::int64_t>(off->Delta) + DeltaTicks;
        if (to <= e->Delta) continue;
        off->Delta = static_cast<std::int32_t>(std::min<std::int64_t>(to, Part->Length - 1));
        off->Flags |= efRedraw;
    }
    Finish(Part);
}

bool MoveNotes(_TPart* Part, int DeltaTicks, int DeltaNotes) {
    if (!Part || (DeltaTicks == 0 && DeltaNotes == 0)) return false;
    SendAllNotesOff(Part);
    OpenPartStep(Part, "Undo move");
    EventsToAbsolute(Part);
    ClearWork(Part);
    // The note off of each selected note on, found before anything moves; a note off moves
    // with its note on and is handed over only with it.
    std::vector<std::pair<_TEvent*, _TEvent*>> notes; // in list order
    std::unordered_set<_TEvent*> owned;
    for (_TEvent* e = Part->Events; e; e = e->Next)
        if ((e->Flags & efSelected) && IsNoteOn(e->Msg))
            if (_TEvent* off = FindNoteOff(e)) {
                notes.push_back({e, off});
                owned.insert(off);
            }
    bool moved = false, marked = false;
    auto key = [&](const _TEvent* e) {
        return Clamp(static_cast<int>(MidiData1(e->Msg)) + DeltaNotes, 0, 127);
    };
    for (auto& [on, off] : notes) {
        std::int64_t onTime =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(on->Delta) + DeltaTicks);
        std::int64_t offTime =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(off->Delta) + DeltaTicks);
        on->Msg = WithKey(on->Msg, key(on));
        off->Msg = WithKey(off->Msg, key(off));
        MoveNote(Part, on, off, onTime, offTime);
        on->Flags |= efRedraw;
        off->Flags |= efRedraw;
        marked |= (on->Flags & efWork) != 0;
        moved = true;
    }
    // Selected note offs whose note on stays.
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        if (!(e->Flags & efSelected) || !IsNoteOff(e->Msg) || owned.count(e)) continue;
        std::int64_t to =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(e->Delta) + DeltaTicks);
        e->Delta = static_cast<std::int32_t>(std::min<std::int64_t>(to, Part->Length - 1));
        e->Msg = WithKey(e->Msg, key(e));
        e->Flags |= efRedraw;
        moved = true;
    }
    Finish(Part);
    if (marked) HandOverMarkedEvents(Part, efSelected | efRedraw);
    return moved;
}

void RotateNotes(_TPart* Part, int DeltaTicks) {
    if (!Part || Part->Length <= 0) return;
    SendAllNotesOff(Part);
    OpenPartStep(Part, "Undo rotate");
    EventsToAbsolute(Part);
    ClearWork(Part);
    const std::int64_t length = Part->Length;
    auto wrap = [&](std::int64_t t) { return ((t % length) + length) % length; };
    struct TNote {
        _TEvent* On;
        _TEvent* Off;
        std::int64_t Length;
    };
    std::vector<TNote> notes;
    std::unordered_set<_TEvent*> paired;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        if (!(e->Flags & efSelected)) continue;
        std::int64_t t = static_cast<std::int64_t>(e->Delta) + DeltaTicks;
        if (IsNoteOn(e->Msg)) {
            _TEvent* off = LaterNoteOff(
                e, [&](_TEvent* o) { return !(o->Flags & efWork) && !paired.count(o); });
            if (off) {
                paired.insert(off);
                notes.push_back({e, off, static_cast<std::int64_t>(off->Delta) - e->Delta});
            }
            if (t < 0 || t >= length) {
                t = wrap(t);
                if (off) off->Flags |= efWork;
            }
        } else if (IsNoteOff(e->Msg) && (t < 0 || t >= length)) {
            t = (e->Flags & efWork) ? wrap(t) : std::clamp<std::int64_t>(t, 0, length - 1);
        } else if (t < 0 || t >= length) {
            t = std::clamp<std::int64_t>(t, 0, length - 1);
        }
        e->Delta = static_cast<std::int32_t>(t);
        e->Flags |= efRedraw;
    }
    // A note whose note on wrapped while its note off stayed would end before it starts: it
    // keeps its length as far as the part's end allows.
    for (const TNote& n : notes)
        if (n.Off->Delta < n.On->Delta)
            n.Off->Delta = static_cast<std::int32_t>(std::min(n.On->Delta + n.Length, length - 1));
    ClearWork(Part);
    Finish(Part);
}

void DuplicateNotes(_TPart* Part, int DeltaTicks, int DeltaNotes) {
    if (!Part) return;
    // Note offs of selected note ons: a copied note off goes past the end only with its note on.
    std::unordered_map<_TEvent*, _TEvent*> onOf;
    for (_TEvent* e = Part->Events; e; e = e->Next)
        if ((e->Flags & efSelected) && IsNoteOn(e->Msg))
            if (_TEvent* off = LaterNoteOff(e, [&](_TEvent* o) { return !onOf.count(o); }))
                onOf.emplace(off, e);
    std::unordered_map<_TEvent*, bool> onPast;
    std::vector<_TEvent*> copies;
    std::int64_t time = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        time += e->Delta;
        if (!(e->Flags & efSelected) || !(IsNoteOn(e->Msg) || IsNoteOff(e->Msg))) continue;
        e->Flags = (e->Flags & ~efSelected) | efRedraw;
        std::int64_t t = std::clamp<std::int64_t>(time + DeltaTicks, 0, INT_MAX);
        int key = Clamp(static_cast<int>(MidiData1(e->Msg)) + DeltaNotes, 0, 127);
        if (IsNoteOn(e->Msg)) {
            onPast[e] = t >= Part->Length;
        } else if (t >= Part->Length) {
            auto owner = onOf.find(e);
            bool withOn = owner != onOf.end() && onPast[owner->second];
            if (!withOn) t = Part->Length - 1;
        }
        _TEvent* c = NewEvent(static_cast<int>(t), WithKey(e->Msg, key));
        c->Flags = efSelected | efRedraw;
        copies.push_back(c);
    }
    InsertCopies(Part, copies);
    Part->Flags |= pfRedraw;
}

void DeleteDoubleNotes(_TPart* Part) {
    if (!Part) return;
    UnselectEvents(Part);
    ClearWork(Part);
    std::vector<std::pair<_TEvent*, std::int64_t>> ons;
    std::int64_t time = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        time += e->Delta;
        if (IsNoteOn(e->Msg)) ons.push_back({e, time});
    }
    for (std::size_t i = 0; i + 1 < ons.size(); ++i) {
        if (ons[i + 1].second != ons[i].second) continue;
        _TEvent* on = ons[i].first;
        on->Flags |= efWork;
        if (_TEvent* off = LaterNoteOff(on, [](const _TEvent* o) { return !(o->Flags & efWork); }))
            off->Flags |= efWork;
    }
    DeleteMarkedEvents(Part);
    Part->Flags |= pfRedraw;
}

namespace {

std::array<bool, 256> SelectedKeys(const _TPart* Part) {
    std::array<bool, 256> keys{};
    for (const _TEvent* e = Part->Events; e; e = e->Next)
        if ((e->Flags & efSelected) && IsNoteOn(e->Msg)) keys[MidiData1(e->Msg)] = true;
    return keys;
}

} // namespace

void DeleteNotesLikeSelected(_TPart* Part) {
    if (!Part) return;
    std::array<bool, 256> keys = SelectedKeys(Part);
    UnselectEvents(Part);
    for (_TEvent* e = Part->Events; e; e = e->Next)
        if (IsNoteOn(e->Msg) && keys[MidiData1(e->Msg)]) SelectNote(Part, e);
    DeleteSelectedEvents(Part);
    Part->Flags |= pfRedraw;
}

void KeepNotesLikeSelected(_TPart* Part) {
    if (!Part) return;
    std::array<bool, 256> keys = SelectedKeys(Part);
    SelectAllEvents(Part);
    for (_TEvent* e = Part->Events; e; e = e->Next)
        if (IsNoteOn(e->Msg) && keys[MidiData1(e->Msg)]) DeselectNote(Part, e);
    DeleteSelectedEvents(Part);
    Part->Flags |= pfRedraw;
}

void TSong::VelocitySelectedParts(int Value, int Mode, bool SelectedOnly) {
    EditSelectedParts(*this, ukEdit, "Undo velocity", true, [&](_TTrack*, _TPart* p) {
        SetVelocities(p, Value, Mode, SelectedOnly);
        return false;
    });
}

void TSong::RampVelocitySelectedParts(int FromTick, int ToTick, bool SelectedOnly, int EndVelocity,
                                      int StartVelocity) {
    EditSelectedParts(*this, ukEdit, "Undo velocity", false, [&](_TTrack*, _TPart* p) {
        RampVelocities(p, FromTick, ToTick, SelectedOnly, EndVelocity, StartVelocity);
        return false;
    });
}

void TSong::LegatoSelectedParts(bool SelectedOnly) {
    EditSelectedParts(*this, ukEdit, "Undo legato", false, [&](_TTrack*, _TPart* p) {
        LegatoNotes(p, SelectedOnly);
        return false;
    });
}

void TSong::LengthSelectedParts(int Ticks, bool SelectedOnly) {
    EditSelectedParts(*this, ukLength, "Undo length", false, [&](_TTrack*, _TPart* p) {
        SetNoteLengths(p, Ticks, SelectedOnly);
        return false;
    });
}

void TSong::TransposeSelectedParts(int Semitones) {
    EditSelectedParts(*this, ukEdit, "Undo transpose", true, [&](_TTrack* t, _TPart* p) {
        for (_TEvent* e = p->Events; e; e = e->Next)
            if (IsNoteOn(e->Msg) || IsNoteOff(e->Msg)) {
                int key = Clamp(static_cast<int>(MidiData1(e->Msg)) + Semitones, 0, 127);
                e->Msg = Rebuilt(e->Msg, key, MidiData2(e->Msg));
                e->Flags |= efRedraw;
            }
        SendPartController(t, p, 123, 0);
        return false;
    });
}

void TSong::SetPitchSelectedParts(int Note, bool SelectedOnly) {
    int key = Clamp(Note, 0, 127);
    EditSelectedParts(*this, ukEdit, "Undo transpose", false, [&](_TTrack* t, _TPart* p) {
        for (_TEvent* e = p->Events; e; e = e->Next)
            if ((IsNoteOn(e->Msg) || IsNoteOff(e->Msg)) && Wanted(e, SelectedOnly)) {
                e->Msg = WithKey(e->Msg, key); // a sample note keeps its pan
                e->Flags |= efRedraw;
            }
        SendPartController(t, p, 123, 0);
        return false;
    });
}

void TSong::DeleteDoublesSelectedParts() {
    EditSelectedParts(*this, ukEdit, "Undo delete doubles", false, [&](_TTrack*, _TPart* p) {
        DeleteDoubleNotes(p);
        return false;
    });
}

void TSong::StretchNotesToEnd(_TPart* Part, bool SelectedOnly) {
    if (!Part) return;
    OpenPartStep(Part, "Undo stretch to end");
    EventsToAbsolute(Part);
    for (_TEvent* e = Part->Events; e; e = e->Next)
        if (IsNoteOn(e->Msg) && Wanted(e, SelectedOnly))
            if (_TEvent* off = FindNoteOff(e)) {
                off->Delta = Part->Length - 1;
                off->Flags |= efRedraw;
            }
    Finish(Part);
}

void TSong::SelectEventsByField(_TPart* Part, int Value, int Field) {
    if (!Part || Field < 0 || Field > 3) return;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        std::uint32_t m = e->Msg;
        std::uint32_t v = Field == 0   ? MidiChannel(m)
                          : Field == 1 ? MidiData1(m)
                          : Field == 2 ? MidiData2(m)
                                       : MidiStatus(m);
        if (static_cast<int>(v) == Value) e->Flags |= efSelected | efRedraw;
    }
}
