// Selection of events and parts, and the rectangles the windows scroll to and repaint.
#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song/timebase.h"

#include <climits>

namespace {

// Sets or clears the selected bit; a change also marks the event for redraw when asked.
bool SetSelected(_TEvent* e, bool selected, bool redraw = true) {
    bool was = (e->Flags & efSelected) != 0;
    if (was == selected) return false;
    e->Flags ^= efSelected;
    if (redraw) e->Flags |= efRedraw;
    return true;
}

bool KeyIs(const _TEvent* e, std::uint32_t key) {
    return MidiData1(e->Msg) == key;
}

} // namespace

bool SelectAllEvents(_TPart* Part) {
    bool changed = false;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        changed |= SetSelected(e, true);
    return changed;
}

bool SelectAllNotes(_TPart* Part) {
    bool changed = false;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        if (IsNoteOn(e->Msg) || IsNoteOff(e->Msg))
            changed |= SetSelected(e, true);
        else
            changed |= SetSelected(e, false, false);
    }
    return changed;
}

bool UnselectEvents(_TPart* Part) {
    bool changed = false;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        changed |= SetSelected(e, false);
    return changed;
}

bool InvertSelection(_TPart* Part) {
    if (!Part || !Part->Events) return false;
    for (_TEvent* e = Part->Events; e; e = e->Next)
        e->Flags = (e->Flags ^ efSelected) | efRedraw;
    return true;
}

void SelectNote(_TPart*, _TEvent* NoteOn) {
    if (!NoteOn || (NoteOn->Flags & efSelected)) return;
    SetSelected(NoteOn, true);
    std::uint32_t key = MidiData1(NoteOn->Msg);
    for (_TEvent* e = NoteOn->Next; e; e = e->Next)
        if (IsNoteOff(e->Msg) && KeyIs(e, key) && !(e->Flags & efSelected)) {
            e->Flags |= efSelected;
            return;
        }
}

void DeselectNote(_TPart*, _TEvent* Event) {
    if (!Event || !(Event->Flags & efSelected)) return;
    SetSelected(Event, false);
    std::uint32_t key = MidiData1(Event->Msg);
    for (_TEvent* e = Event->Next; e; e = e->Next)
        if (IsNoteOff(e->Msg) && KeyIs(e, key) && (e->Flags & efSelected)) {
            e->Flags &= ~efSelected;
            return;
        }
}

bool ToggleNotesInArea(_TPart* Part, int T1, int LoNote, int T2, int HiNote) {
    bool any = false;
    std::int64_t time = 0;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        time += e->Delta;
        if (!IsNoteOn(e->Msg)) continue;
        int key = static_cast<int>(MidiData1(e->Msg));
        if (key < LoNote || key > HiNote) continue;
        std::int64_t end = time + NoteLength(Part, e);
        bool hit =
            (time <= T1 && T1 < end) || (time <= T2 && T2 < end) || (T1 <= time && end <= T2);
        if (!hit) continue;
        e->Flags = (e->Flags ^ efSelected) | efRedraw;
        any = true;
        std::uint32_t state = e->Flags & efSelected;
        for (_TEvent* off = e->Next; off; off = off->Next)
            if (IsNoteOff(off->Msg) && KeyIs(off, MidiData1(e->Msg)) &&
                (off->Flags & efSelected) != state) {
                off->Flags = (off->Flags ^ efSelected) | efRedraw | efWork;
                break;
            }
    }
    if (any)
        for (_TEvent* e = Part->Events; e; e = e->Next)
            e->Flags &= ~efWork;
    return any;
}

int TrackSelectedPartCount(const _TTrack* Track) {
    int n = 0;
    for (const _TPart* p = Track ? Track->Parts : nullptr; p; p = p->Next)
        if (p->Flags & pfSelected) ++n;
    return n;
}

_TPart* TrackFirstSelectedPart(const _TTrack* Track) {
    for (_TPart* p = Track ? Track->Parts : nullptr; p; p = p->Next)
        if (p->Flags & pfSelected) return p;
    return nullptr;
}

_TPart* TrackLastSelectedPart(const _TTrack* Track) {
    _TPart* found = nullptr;
    for (_TPart* p = Track ? Track->Parts : nullptr; p; p = p->Next)
        if (p->Flags & pfSelected) found = p;
    return found;
}

void TSong::SelectAllParts() {
    int newly = 0;
    for (int i = 0; i < TrackCount; ++i)
        for (_TPart* p = Tracks[i]->Parts; p; p = p->Next)
            if (!(p->Flags & pfSelected)) {
                p->Flags |= pfSelected | pfRedraw;
                SetCurrentPart(p);
                ++newly;
            }
    if (newly != 1) SetCurrentPart(nullptr);
}

void TSong::UnselectAllParts() {
    for (int i = 0; i < TrackCount; ++i)
        for (_TPart* p = Tracks[i]->Parts; p; p = p->Next)
            if (p->Flags & pfSelected) p->Flags = (p->Flags & ~pfSelected) | pfRedraw;
}

bool TSong::TogglePartsInArea(int Track1, int T1, int Track2, int T2) {
    int loTrack = Track1 < Track2 ? Track1 : Track2, hiTrack = Track1 < Track2 ? Track2 : Track1;
    std::int64_t lo = T1 < T2 ? T1 : T2, hi = T1 < T2 ? T2 : T1;
    if (loTrack < 0) loTrack = 0;
    if (lo < 0) lo = 0;
    bool any = false;
    for (int i = loTrack; i <= hiTrack && i < TrackCount; ++i)
        for (_TPart* p = Tracks[i]->Parts; p; p = p->Next) {
            std::int64_t start = p->Start, end = start + p->Length;
            if ((start <= lo && lo < end) || (start <= hi && hi < end) ||
                (lo <= start && end <= hi)) {
                p->Flags = (p->Flags ^ pfSelected) | pfRedraw;
                any = true;
            }
        }
    return any;
}

int TSong::SelectedPartCount() const {
    int n = 0;
    for (int i = 0; i < TrackCount; ++i)
        n += TrackSelectedPartCount(Tracks[i].get());
    return n;
}

_TPart* TSong::FirstSelectedPart() const {
    for (int i = 0; i < TrackCount; ++i)
        if (_TPart* p = TrackFirstSelectedPart(Tracks[i].get())) return p;
    return nullptr;
}

_TPart* TSong::EarliestSelectedPart() const {
    _TPart* best = nullptr;
    for (int i = 0; i < TrackCount; ++i)
        if (_TPart* p = TrackFirstSelectedPart(Tracks[i].get());
            p && (!best || p->Start < best->Start))
            best = p;
    return best;
}

_TPart* TSong::LastTrackSelectedPart() const {
    for (int i = TrackCount - 1; i >= 0; --i)
        if (_TPart* p = TrackFirstSelectedPart(Tracks[i].get())) return p;
    return nullptr;
}

_TPart* TSong::LatestSelectedPart() const {
    _TPart* best = nullptr;
    std::int64_t bestEnd = 0;
    for (int i = 0; i < TrackCount; ++i)
        if (_TPart* p = TrackLastSelectedPart(Tracks[i].get())) {
            std::int64_t end = static_cast<std::int64_t>(p->Start) + p->Length;
            if (!best || end > bestEnd) {
                best = p;
                bestEnd = end;
            }
        }
    return best;
}

void TSong::SelectedPartsRect(TRect& R) const {
    _TPart* earliest = EarliestSelectedPart();
    _TPart* latest = LatestSelectedPart();
    if (!earliest || !latest) { // nothing selected: an empty rectangle
        R = TRect{};
        return;
    }
    // The same pixels as the part boxes, so that the drag picture sits on its parts.
    R.Left = TickToPixel(earliest->Start);
    R.Right = TickToPixel(latest->Start + latest->Length) - 1;
    R.Top = FirstSelectedPart()->Track * TrackHeight;
    R.Bottom = (LastTrackSelectedPart()->Track + 1) * TrackHeight - 2;
}

void SelectedNotesRect(const _TPart* Part, bool KeyEditor, TSong::TRect& R) {
    std::int64_t earliest = -1, latestEnd = -1;
    int high = -1, low = -1;
    std::int64_t time = 0;
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        time += e->Delta;
        if (!(e->Flags & efSelected) || !IsNoteOn(e->Msg)) continue;
        int key = static_cast<int>(MidiData1(e->Msg));
        std::int64_t end = time + NoteLength(Part, e);
        if (earliest == -1 || time < earliest) earliest = time;
        if (end > latestEnd) latestEnd = end;
        if (high == -1 || key > high) high = key;
        if (low == -1 || key < low) low = key;
    }
    int width = KeyEditor ? Width16th : AudioWidth16th;
    R.Left = FloorToInt(static_cast<float>(static_cast<double>(earliest) * width / 60));
    R.Right = FloorToInt(static_cast<float>(static_cast<double>(latestEnd) * width / 60));
    if (KeyEditor) {
        R.Top = NoteToKeyY(high);
        R.Bottom = NoteToKeyY(low) + NoteHeight;
    } else {
        R.Top = low * SampleHeight;
        R.Bottom = (high + 1) * SampleHeight;
    }
}
