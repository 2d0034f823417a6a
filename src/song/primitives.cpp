#include "song/primitives.h"

#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "song/recordpool.h"
#include "song/timebase.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

std::int64_t PartEnd(const _TPart* P) {
    return static_cast<std::int64_t>(P->Start) + P->Length;
}

// The longest the part may grow: up to the start of the part after it, or to the end of the
// tick range, and never longer than a length can be (a part of a hostile file may start far
// before tick 0, further from the next part than any length).
std::int64_t GrowthLimit(const _TPart* P) {
    std::int64_t room = static_cast<std::int64_t>(INT_MAX) - (P->Start > 0 ? P->Start : 0);
    if (P->Next && P->Next->Start >= PartEnd(P))
        room = std::min<std::int64_t>(room, static_cast<std::int64_t>(P->Next->Start) - P->Start);
    return room > P->Length ? room : P->Length;
}

// Grows the part by Bars bars, never past GrowthLimit; False when it cannot grow at all.
bool GrowByBar(_TPart* P, std::int64_t Bars = 1) {
    std::int64_t len = static_cast<std::int64_t>(P->Length) + Bars * BarTicks();
    std::int64_t limit = GrowthLimit(P);
    if (len > limit) len = limit;
    if (len <= P->Length) return false;
    P->Length = static_cast<std::int32_t>(len);
    return true;
}

} // namespace

namespace {

// Never destroyed: records may be freed by the destructors of other static objects.
TRecordPool<_TEvent>& EventRecords() {
    static auto* pool = new TRecordPool<_TEvent>;
    return *pool;
}

TRecordPool<_TPart, 256>& PartRecords() {
    static auto* pool = new TRecordPool<_TPart, 256>;
    return *pool;
}

} // namespace

_TEvent* NewEvent(int Delta, std::uint32_t Msg) {
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    _TEvent* e = EventRecords().New();
    e->Delta = Delta;
    e->ToGo = Delta;
    e->Msg = Msg;
    return e;
}

_TEvent* NewReadEvent(int Delta, std::uint32_t Msg) {
    _TEvent* e = EventRecords().New();
    e->Delta = Delta;
    e->ToGo = Delta;
    e->Msg = Msg;
    return e;
}

void FreeEvent(_TEvent* E) {
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    EventRecords().Free(E);
}

_TPart* NewPart(std::string Name, int Start, int Length, int TrackIndex) {
    _TPart* p = PartRecords().New();
    p->Name = std::move(Name);
    p->Start = Start;
    p->Length = Length;
    p->Track = TrackIndex;
    p->Flags = pfRedraw;
    return p;
}

bool InsertPart(_TTrack* Track, _TPart* Part) {
    // A part without length could never hold an event and would break the track's order.
    if (!Track || !Part || Part->Length <= 0) return false;
    EventListEpoch.fetch_add(1, std::memory_order_relaxed); // the track's walk changes
    _TPart* first = Track->Parts;
    if (!first) {
        Part->Next = nullptr;
        Track->Parts = Part;
        return true;
    }
    if (first->Start > Part->Start) {
        if (first->Start < PartEnd(Part)) return false;
        Part->Next = first;
        Track->Parts = Part;
        return true;
    }
    if (first->Start == Part->Start) return false;
    _TPart* prev = first;
    while (prev->Next && prev->Next->Start < Part->Start)
        prev = prev->Next;
    _TPart* next = prev->Next;
    if (next && next->Start == Part->Start) return false;
    if (PartEnd(prev) > Part->Start) return false;
    if (next && PartEnd(Part) > next->Start) {
        if (Part->Events) return false;
        Part->Length = next->Start - Part->Start;
    }
    Part->Next = next;
    prev->Next = Part;
    return true;
}

_TPart* UnlinkPartAt(_TTrack* Track, int Start) {
    if (!Track) return nullptr;
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    for (_TPart** link = &Track->Parts; *link; link = &(*link)->Next) {
        if ((*link)->Start == Start) {
            _TPart* p = *link;
            *link = p->Next;
            p->Next = nullptr;
            return p;
        }
    }
    return nullptr;
}

void DeletePart(_TTrack* Track, _TPart* Part) {
    if (!Part) return;
    _TPart* p = UnlinkPartAt(Track, Part->Start);
    if (!p) return;
    // Nothing may keep pointing at a freed part.
    if (Song) {
        if (Song->RecordPart == p) Song->RecordPart = nullptr;
        if (Song->CurrentPart == p) Song->SetCurrentPart(nullptr);
    }
    FreePart(p);
}

int InsertEvent(_TPart*& Part, _TEvent* Event) {
    if (!Part || !Event) return 0;
    Event->Next = nullptr;
    std::int64_t t = Event->Delta < 0 ? 0 : Event->Delta;
    int result = 0;

    // While a loop records, what falls past the right locator wraps into the part.
    if (Song && Song->State == 1 && Song->Looping && Part->Length > 0 &&
        PartEnd(Part) == Song->RightLocator && t > Part->Length)
        t = IsNoteOn(Event->Msg) ? t % Part->Length : Part->Length - 1;

    while (t >= Part->Length) {
        const int toNext = BarsToNextPart(Part);
        if (toNext == 0) {
            // The next part follows within half a bar: it takes the event.
            Part->Flags |= pfRedraw;
            t -= Part->Length;
            Part = Part->Next;
            result = 0;
            continue;
        }
        // Bar by bar in effect, in one step: by the bars the event needs, and short of the bar
        // that brings the next part within half a bar (no bar before that one can).
        std::int64_t bars = (t - Part->Length) / BarTicks() + 1;
        if (toNext > 1)
            bars = std::min<std::int64_t>(bars, toNext - 1);
        else if (Part->Next)
            bars = 1;
        if (!GrowByBar(Part, bars)) {
            // Only at the end of the tick range: the event goes on the part's last tick.
            t = Part->Length > 0 ? Part->Length - 1 : 0;
            break;
        }
        result = 4;
    }
    Part->Last = nullptr; // the tail is no longer known

    _TEvent* first = Part->Events;
    if (!first) {
        Event->Delta = static_cast<std::int32_t>(t);
        Part->Events = Event;
        Part->EndTime += Event->Delta;
        return result;
    }
    if (first->Delta >= t) {
        Event->Delta = static_cast<std::int32_t>(t);
        Event->Next = first;
        first->Delta -= Event->Delta;
        Part->Events = Event;
        return result;
    }
    _TEvent* prev = first;
    t -= first->Delta;
    while (prev->Next && prev->Next->Delta <= t) {
        prev = prev->Next;
        t -= prev->Delta;
    }
    Event->Delta = static_cast<std::int32_t>(t);
    Event->Next = prev->Next;
    prev->Next = Event;
    if (Event->Next)
        Event->Next->Delta -= Event->Delta;
    else
        Part->EndTime += Event->Delta;
    return result;
}

int AppendEvent(_TPart* Part, _TEvent* Event) {
    if (!Part || !Event) return 0;
    Event->Next = nullptr;
    if (Event->Delta < 0) Event->Delta = 0;
    int result = 0;
    std::int64_t t = static_cast<std::int64_t>(Part->EndTime) + Event->Delta;
    while (t >= Part->Length) {
        // At once by the bars the event needs: a time far beyond the end costs one step.
        if (GrowByBar(Part, (t - Part->Length) / BarTicks() + 1)) {
            result = 4;
            continue;
        }
        if (Part->Next && Part->Next->Start == PartEnd(Part)) {
            // Grown up to the next part: that part takes the event at its own time.
            Part->Flags |= pfRedraw;
            Event->Delta = static_cast<std::int32_t>(t - Part->Length);
            _TPart* next = Part->Next;
            InsertEvent(next, Event);
            return result;
        }
        // End of the tick range: the event goes on the last tick it can have.
        std::int64_t last = Part->Length - 1;
        Event->Delta = static_cast<std::int32_t>(last > Part->EndTime ? last - Part->EndTime : 0);
        break;
    }
    _TEvent* tail = Part->Last;
    if (!tail && Part->Events) // the tail was not kept: find it
        for (tail = Part->Events; tail->Next; tail = tail->Next) {
        }
    if (tail)
        tail->Next = Event;
    else
        Part->Events = Event;
    Part->Last = Event;
    Part->EndTime += Event->Delta;
    return result;
}

_TPart* CopyPart(const _TPart* Part) {
    if (!Part) return nullptr;
    _TPart* copy = NewPart(Part->Name, Part->Start, Part->Length, Part->Track);
    copy->Flags = pfRedraw | Part->Flags;
    copy->Sample = Part->Sample;
    for (const _TEvent* e = Part->Events; e; e = e->Next) {
        _TEvent* c = NewEvent(e->Delta, e->Msg);
        c->Flags = e->Flags;
        if (const std::uint8_t* block = EventBlock(*e); block && e->DataLen >= 1) {
            SetEventBlock(*c, block, e->DataLen);
        } else if (std::holds_alternative<std::uint32_t>(e->Data)) {
            SetEventValue(*c, EventValue(*e));
        }
        AppendEvent(copy, c);
    }
    return copy;
}

void FreePartEvents(_TPart* Part) {
    if (!Part) return;
    // Also for a part without events: what remembers the part itself holds no more.
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    _TEvent* first = Part->Events;
    if (first) {
        // A ring (the metronome's) ends where it began.
        EventRecords().FreeAll(
            first, [first](_TEvent* e) { return e->Next == first ? nullptr : e->Next; });
    }
    Part->Events = nullptr;
    Part->EndTime = 0;
    Part->Last = nullptr; // it pointed at a freed event
}

void FreePart(_TPart* Part) {
    if (!Part) return;
    FreePartEvents(Part);
    PartRecords().Free(Part);
}

void EventsToAbsolute(_TPart* Part) {
    if (!Part) return;
    std::int64_t time = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        time += e->Delta;
        e->Delta = static_cast<std::int32_t>(time);
    }
}

void EventsToDelta(_TPart* Part) {
    if (!Part) return;
    std::int32_t previous = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        std::int32_t time = e->Delta;
        e->Delta = time - previous;
        previous = time;
    }
    Part->EndTime = previous;
}

void SwapEventData(_TEvent* A, _TEvent* B) {
    std::swap(A->Delta, B->Delta);
    std::swap(A->Msg, B->Msg);
    std::swap(A->Flags, B->Flags);
    std::swap(A->Data, B->Data);
    std::swap(A->DataLen, B->DataLen);
}

void SortPartEvents(_TPart* Part) {
    if (!Part || !Part->Events) return;
    _TEvent* prev = nullptr;
    bool ordered = true;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        e->Prev = prev;
        if (prev && e->Delta < prev->Delta) ordered = false;
        prev = e;
    }
    if (ordered) return;
    // The contents move while the events keep their places in the list, as swapping them
    // along would; sorting by time and list position keeps equal times in their order, in
    // n log n.
    std::vector<_TEvent*> nodes;
    std::vector<std::pair<std::int32_t, std::uint32_t>> order;
    bool data = false;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        order.push_back({e->Delta, static_cast<std::uint32_t>(nodes.size())});
        nodes.push_back(e);
        data |= e->Data.index() != 0;
    }
    std::sort(order.begin(), order.end());
    struct TPlain {
        std::int32_t Delta;
        std::uint32_t Msg, Flags;
        std::int32_t DataLen;
    };
    std::vector<TPlain> plain;
    plain.reserve(nodes.size());
    for (const _TEvent* e : nodes)
        plain.push_back({e->Delta, e->Msg, e->Flags, e->DataLen});
    std::vector<TEventData> blocks;
    if (data)
        for (_TEvent* e : nodes)
            blocks.push_back(std::move(e->Data));
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::uint32_t from = order[i].second;
        _TEvent* e = nodes[i];
        e->Delta = plain[from].Delta;
        e->Msg = plain[from].Msg;
        e->Flags = plain[from].Flags;
        e->DataLen = plain[from].DataLen;
        if (data) e->Data = std::move(blocks[from]);
    }
}

int EventTime(const _TPart* Part, const _TEvent* Event) {
    std::int64_t time = 0;
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        time += e->Delta;
        if (e == Event) break;
    }
    return static_cast<int>(time);
}

int NoteLength(const _TPart*, const _TEvent* NoteOn) {
    if (!NoteOn) return 0;
    std::int64_t ticks = 0;
    std::uint32_t key = MidiData1(NoteOn->Msg);
    for (const _TEvent* e = NoteOn->Next; e; e = e->Next) {
        ticks += e->Delta;
        if (IsNoteOff(e->Msg) && MidiData1(e->Msg) == key) return static_cast<int>(ticks);
    }
    return 0;
}

_TEvent* FindNoteOff(_TEvent* NoteOn) {
    if (NoteOn && IsNoteOn(NoteOn->Msg)) {
        std::uint32_t key = MidiData1(NoteOn->Msg);
        for (_TEvent* e = NoteOn->Next; e; e = e->Next)
            if (IsNoteOff(e->Msg) && MidiData1(e->Msg) == key) return e;
    }
    platform::MessageBox("Internal error: 1201. Part is invalide", "Error",
                         platform::MB_OK | platform::MB_ICONERROR);
    return nullptr;
}

namespace {

bool KeyMatches(const _TEvent* e, int Note) {
    return Note == -1 || MidiData1(e->Msg) == static_cast<std::uint32_t>(Note);
}

} // namespace

_TEvent* FirstNoteOn(const _TPart* Part, int Note) {
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if (IsNoteOn(e->Msg) && KeyMatches(e, Note)) return e;
    return nullptr;
}

_TEvent* NextNoteOn(const _TEvent* Event, int Note) {
    for (_TEvent* e = Event ? Event->Next : nullptr; e; e = e->Next)
        if (IsNoteOn(e->Msg) && KeyMatches(e, Note)) return e;
    return nullptr;
}

_TEvent* NoteAt(const _TPart* Part, int Tick, int Note) {
    std::int64_t time = 0;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        time += e->Delta;
        if (IsNoteOn(e->Msg) && MidiData1(e->Msg) == static_cast<std::uint32_t>(Note) &&
            time <= Tick && Tick < time + NoteLength(Part, e))
            return e;
    }
    return nullptr;
}

int TicksToNextNote(const _TEvent* Event) {
    std::int64_t ticks = 0;
    for (const _TEvent* e = Event ? Event->Next : nullptr; e; e = e->Next) {
        ticks += e->Delta;
        if (IsNoteOn(e->Msg)) return static_cast<int>(ticks);
    }
    return -1;
}

int CountPartEvents(const _TPart* Part) {
    int n = 0;
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        ++n;
    return n;
}

int CountSelectedNotes(const _TPart* Part) {
    int n = 0;
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if ((e->Flags & efSelected) && IsNoteOn(e->Msg)) ++n;
    return n;
}

int CountSelectedEvents(const _TPart* Part) {
    int n = 0;
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if (e->Flags & efSelected) ++n;
    return n;
}

_TEvent* FirstSelectedNote(const _TPart* Part, int Note) {
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if ((e->Flags & efSelected) && IsNoteOn(e->Msg) && KeyMatches(e, Note)) return e;
    return nullptr;
}

_TEvent* LastSelectedNote(const _TPart* Part, int Note) {
    _TEvent* found = nullptr;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if ((e->Flags & efSelected) && IsNoteOn(e->Msg) && KeyMatches(e, Note)) found = e;
    return found;
}

_TEvent* FirstSelectedEvent(const _TPart* Part) {
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if (e->Flags & efSelected) return e;
    return nullptr;
}

bool IsEventSelected(const _TEvent* Event) {
    return Event && (Event->Flags & efSelected);
}

_TPart* PartAtTick(const _TTrack* Track, int Tick) {
    for (_TPart* p = Track ? Track->Parts : nullptr; p; p = p->Next)
        if (PartContainsTick(p, Tick)) return p;
    return nullptr;
}

bool PartContainsTick(const _TPart* Part, int Tick) {
    return Part && Part->Start <= Tick && Tick < PartEnd(Part);
}

int BarsToNextPart(const _TPart* Part) {
    if (!Part || !Part->Next) return -1;
    double gap = static_cast<double>(Part->Next->Start) - static_cast<double>(PartEnd(Part));
    return Round(gap / BarTicks());
}

int GapToNextPart(const _TPart* Part) {
    if (!Part || !Part->Next) return INT_MAX; // nothing follows: the gap has no end
    std::int64_t gap = static_cast<std::int64_t>(Part->Next->Start) - Part->Start - Part->EndTime;
    return gap > INT_MAX ? INT_MAX : gap < INT_MIN ? INT_MIN : static_cast<int>(gap);
}

// Deleting by flag: the list is rebuilt from the events that stay, last to first, so that
// events of equal time keep their order.
namespace {

template <class Drop> void RebuildWithout(_TPart* Part, Drop drop) {
    EventsToAbsolute(Part);
    std::vector<_TEvent*> keep;
    for (_TEvent* e = Part->Events; e;) {
        _TEvent* next = e->Next;
        if (drop(e))
            FreeEvent(e);
        else
            keep.push_back(e);
        e = next;
    }
    Part->Events = nullptr;
    Part->EndTime = 0;
    Part->Last = nullptr;
    for (auto it = keep.rbegin(); it != keep.rend(); ++it) {
        _TPart* p = Part;
        InsertEvent(p, *it);
    }
}

} // namespace

void DeleteSelectedEvents(_TPart* Part) {
    if (!Part) return;
    _TEvent* lastSel = LastSelectedNote(Part, -1);
    _TEvent* choice = nullptr;
    if (lastSel) {
        choice = NextNoteOn(lastSel, -1);
        if (!choice) {
            _TEvent* firstSel = FirstSelectedNote(Part, -1);
            for (_TEvent* e = Part->Events; e && e != firstSel; e = e->Next)
                if (IsNoteOn(e->Msg) && !(e->Flags & efSelected)) choice = e;
        }
    }
    RebuildWithout(Part, [](const _TEvent* e) { return (e->Flags & efSelected) != 0; });
    _TTrack* track = Song ? Song->TrackAt(Part->Track) : nullptr;
    if (choice && track && IsMidiMode(track->Mode)) SelectNote(Part, choice);
}

void DeleteMarkedEvents(_TPart* Part) {
    if (!Part) return;
    RebuildWithout(Part, [](const _TEvent* e) { return (e->Flags & efWork) != 0; });
}

void DeleteUnselectedEvents(_TPart* Part) {
    if (!Part) return;
    RebuildWithout(Part, [](const _TEvent* e) { return (e->Flags & efSelected) == 0; });
}
