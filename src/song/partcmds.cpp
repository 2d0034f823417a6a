#include "song/partcmds.h"

#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song/undo.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

std::int64_t PartEnd(const _TPart* P) {
    return static_cast<std::int64_t>(P->Start) + P->Length;
}

// Whether a part of track From may go DTracks tracks away: MIDI and softsynth mix freely,
// audio and parameter parts stay on their track, disk parts go to disk tracks.
bool MayGo(const TSong& S, int From, int DTracks) {
    const _TTrack* src = S.TrackAt(From);
    const _TTrack* dst = S.TrackAt(From + DTracks);
    if (!src || !dst) return false;
    int a = src->Mode, b = dst->Mode;
    if (IsMidiMode(a) && IsMidiMode(b)) return true;
    if (a == tmAudio && b == tmAudio) return DTracks == 0;
    if (a == tmDisk && b == tmDisk) return true;
    if (a == tmParameter && b == tmParameter) return DTracks == 0;
    return false;
}

// A start tick that a part can have: within 0 and the tick range.
bool ValidStart(std::int64_t Start, int Length) {
    return Start >= 0 && Start + Length <= INT_MAX;
}

_TPart* PartBefore(const _TTrack* T, const _TPart* P) {
    _TPart* prev = nullptr;
    for (_TPart* q = T ? T->Parts : nullptr; q && q != P; q = q->Next)
        prev = q;
    return prev;
}

void SelectOnlyCurrent(TSong& S) {
    S.SetCurrentPart(S.SelectedPartCount() == 1 ? S.FirstSelectedPart() : nullptr);
}

void CloseIfEmpty(TSong& S) {
    if (S.UndoStore->Parts.empty()) S.UndoStore->Begin(ukNone, "Undo");
}

// The first later note off of a note on's key, without the broken-part message.
_TEvent* LaterNoteOff(_TEvent* NoteOn) {
    std::uint32_t key = MidiData1(NoteOn->Msg);
    for (_TEvent* e = NoteOn->Next; e; e = e->Next)
        if (IsNoteOff(e->Msg) && MidiData1(e->Msg) == key) return e;
    return nullptr;
}

// Cuts P at song tick X (inside it): P keeps what lies before X, with notes that cross the cut
// ending one tick before it; a new selected part takes the rest. Answers the new part.
_TPart* CutPart(_TTrack* T, _TPart* P, int X) {
    int rel = X - P->Start;
    EventsToAbsolute(P);
    _TEvent* list = P->Events;
    P->Events = nullptr;
    P->EndTime = 0;
    P->Last = nullptr;
    _TPart* right = NewPart(P->Name, X, static_cast<int>(PartEnd(P) - X), P->Track);
    right->Flags |= pfSelected;
    P->Length = rel;
    P->Flags |= pfSelected | pfRedraw;
    InsertPart(T, right); // the room after P is free: P held it

    for (_TEvent* e = list; e; e = e->Next)
        if (e->Delta < rel && IsNoteOn(e->Msg))
            if (_TEvent* off = LaterNoteOff(e); off && off->Delta >= rel) off->Delta = rel - 1;
    // Moved note offs lie after every other event before the cut, so both halves stay in order.
    _TEvent** leftTail = &P->Events;
    _TEvent** rightTail = &right->Events;
    for (_TEvent* e = list; e;) {
        _TEvent* next = e->Next;
        e->Next = nullptr;
        if (e->Delta < rel) {
            *leftTail = e;
            leftTail = &e->Next;
        } else {
            e->Delta -= rel;
            *rightTail = e;
            rightTail = &e->Next;
        }
        e = next;
    }
    EventsToDelta(P);
    EventsToDelta(right);
    return right;
}

} // namespace

bool TSong::MoveSelectedParts(int DTracks, int DTicks) {
    UndoStore->Begin(ukMove, "Undo move");
    UndoStore->Arg1 = DTicks;
    UndoStore->Arg2 = DTracks;
    struct TTaken {
        _TPart* Part;
        int Track, Start;
        bool Linked;
    };
    std::vector<TTaken> taken;
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Tracks[i].get();
        for (_TPart* p = t->Parts; p;) {
            _TPart* next = p->Next;
            if (p->Flags & pfSelected) {
                p->Flags |= pfRedraw;
                if (MayGo(*this, i, DTracks)) {
                    UnlinkPartAt(t, p->Start);
                    SendPartController(t, p, 123, 0);
                    taken.push_back({p, i, p->Start, false});
                }
            }
            p = next;
        }
    }
    // One taken part that cannot go keeps them all where they were; a start before the song
    // start counts as such.
    bool fits = true;
    for (const TTaken& k : taken) {
        std::int64_t start = static_cast<std::int64_t>(k.Start) + DTicks;
        if (!ValidStart(start, k.Part->Length) ||
            PartAtTick(TrackAt(k.Track + DTracks), static_cast<int>(start)))
            fits = false;
    }
    bool result = false;
    bool stuck = false;
    for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
        _TPart* p = it->Part;
        if (fits) {
            p->Start = it->Start + DTicks;
            p->Track = it->Track + DTracks;
            if (InsertPart(TrackAt(p->Track), p)) {
                it->Linked = true;
                UndoStore->AddPart(SnapshotPart(p));
                continue;
            }
        }
        p->Start = it->Start;
        p->Track = it->Track;
        result = true;
        it->Linked = InsertPart(TrackAt(p->Track), p);
        stuck |= !it->Linked;
    }
    if (stuck) {
        // A part that went back found its place taken by another moved part: everything goes
        // back where it was, which is free again once the moved parts are out.
        for (TTaken& k : taken) {
            if (k.Linked) UnlinkPartAt(TrackAt(k.Part->Track), k.Part->Start);
            k.Part->Start = k.Start;
            k.Part->Track = k.Track;
        }
        for (const TTaken& k : taken)
            InsertPart(TrackAt(k.Track), k.Part);
        UndoStore->Begin(ukNone, "Undo");
        return true;
    }
    CloseIfEmpty(*this);
    return result;
}

void TSong::CopySelectedParts(int DTracks, int DTicks) {
    UndoStore->Begin(ukAdded, "Undo copy");
    int largest = 0;
    for (int i = 0; i < TrackCount; ++i)
        for (_TPart* p = TrackFirstSelectedPart(Tracks[i].get()); p; p = p->Next)
            largest = std::max(largest, p->Group);
    std::vector<_TPart*> copies;
    for (int i = 0; i < TrackCount; ++i)
        for (_TPart* p = Tracks[i]->Parts; p; p = p->Next) {
            if (!(p->Flags & pfSelected)) continue;
            if (!MayGo(*this, i, DTracks)) {
                p->Flags |= pfRedraw;
                continue;
            }
            _TPart* c = CopyPart(p);
            c->Flags |= pfSelected;
            c->Start = static_cast<int>(std::clamp<std::int64_t>(
                static_cast<std::int64_t>(p->Start) + DTicks, INT_MIN, INT_MAX));
            c->Track = i + DTracks;
            if (p->Group > 0) c->Group = p->Group + largest + 1;
            p->Flags = (p->Flags & ~pfSelected) | pfRedraw;
            copies.push_back(c);
        }
    for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
        _TPart* c = *it;
        if (ValidStart(static_cast<std::int64_t>(c->Start), c->Length) &&
            InsertPart(TrackAt(c->Track), c))
            UndoStore->AddPart(SnapshotPart(c));
        else
            FreePart(c);
    }
    if (SelectedPartCount() == 1) SetCurrentPart(FirstSelectedPart());
    CloseIfEmpty(*this);
}

void TSong::DeleteSelectedParts(bool WithUndo) {
    if (WithUndo) UndoStore->Begin(ukDelete, "Undo delete");
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Tracks[i].get();
        for (_TPart* p = t->Parts; p;) {
            _TPart* next = p->Next;
            if (p->Flags & pfSelected) {
                UnlinkPartAt(t, p->Start);
                if (State == 2) SendPartController(t, p, 123, 0);
                if (RecordPart == p) RecordPart = nullptr;
                if (CurrentPart == p) CurrentPart = nullptr;
                if (WithUndo)
                    UndoStore->AddPart(p);
                else
                    FreePart(p);
            }
            p = next;
        }
    }
    SetCurrentPart(nullptr);
    if (WithUndo) CloseIfEmpty(*this);
}

void TSong::AppendParts() {
    UndoStore->Begin(ukAdded, "Undo append");
    _TPart* latest = LatestSelectedPart();
    _TPart* earliest = EarliestSelectedPart();
    if (!latest || !earliest) {
        CloseIfEmpty(*this);
        return;
    }
    std::int64_t offset = PartEnd(latest) - earliest->Start;
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Tracks[i].get();
        std::vector<_TPart*> copies;
        for (_TPart* p = t->Parts; p; p = p->Next) {
            if (!(p->Flags & pfSelected)) continue;
            _TPart* c = CopyPart(p);
            c->Flags |= pfSelected;
            std::int64_t start = p->Start + offset;
            c->Start = ValidStart(start, c->Length) ? static_cast<int>(start) : -1;
            p->Flags = (p->Flags & ~pfSelected) | pfRedraw;
            copies.push_back(c);
        }
        for (auto it = copies.rbegin(); it != copies.rend(); ++it) {
            _TPart* c = *it;
            if (c->Start >= 0 && InsertPart(t, c))
                UndoStore->AddPart(SnapshotPart(c));
            else
                FreePart(c);
        }
    }
    SelectOnlyCurrent(*this);
    CloseIfEmpty(*this);
}

void TSong::GlueParts() {
    UndoStore->Begin(ukGlue, "Undo glue");
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Tracks[i].get();
        _TPart* p = TrackFirstSelectedPart(t);
        if (!p) continue;
        UndoStore->AddPart(SnapshotPart(p));
        p->Flags |= pfRedraw;
        while (p->Next && (p->Next->Flags & pfSelected)) {
            _TPart* q = p->Next;
            UndoStore->AddPart(SnapshotPart(q));
            // Empty parts on either side add no events and no time.
            if (q->Events) {
                std::int64_t gap = static_cast<std::int64_t>(q->Start) - p->Start - p->EndTime;
                q->Events->Delta = static_cast<std::int32_t>(q->Events->Delta + gap);
                if (p->Events) {
                    _TEvent* last = p->Events;
                    while (last->Next)
                        last = last->Next;
                    last->Next = q->Events;
                } else {
                    p->Events = q->Events;
                }
                p->EndTime = static_cast<std::int32_t>(p->EndTime + gap + q->EndTime);
                q->Events = nullptr;
                q->EndTime = 0;
            }
            p->Length = static_cast<std::int32_t>(PartEnd(q) - p->Start);
            p->Last = nullptr;
            DeletePart(t, q);
        }
    }
    SelectOnlyCurrent(*this);
    CloseIfEmpty(*this);
}

void TSong::SplitParts(int TickA, int TickB, bool SelectedOnly) {
    int low = std::min(TickA, TickB), high = std::max(TickA, TickB);
    UndoStore->Begin(ukSplit, "Undo split");
    UndoStore->Arg1 = low;
    UndoStore->Arg2 = high;
    auto inside = [](const _TPart* p, int tick) { return p->Start < tick && tick < PartEnd(p); };
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Tracks[i].get();
        if (t->Mode == tmDisk) continue;
        // A right half made here is the next part of the walk.
        for (_TPart* p = t->Parts; p; p = p->Next) {
            if (SelectedOnly && !(p->Flags & pfSelected)) continue;
            bool atLow = inside(p, low);
            if (!atLow && !inside(p, high)) continue;
            _TPart* before = SnapshotPart(p);
            before->Flags |= pfBeforeSplit;
            UndoStore->AddPart(before);
            if (atLow) {
                _TPart* right = CutPart(t, p, low);
                UndoStore->AddPart(SnapshotPart(p));
                UndoStore->AddPart(SnapshotPart(right));
            }
            if (inside(p, high)) {
                _TPart* right = CutPart(t, p, high);
                UndoStore->AddPart(SnapshotPart(p));
                UndoStore->AddPart(SnapshotPart(right));
            }
        }
    }
    CloseIfEmpty(*this);
}

void TSong::RenameSelectedParts(const std::string& Name) {
    // The step stays open even when no part is selected.
    UndoStore->Begin(ukEdit, "Undo rename");
    ForSelectedParts(*this, false, [&](_TTrack*, _TPart* p) {
        UndoStore->AddPart(SnapshotPart(p));
        p->Name = Name;
        p->Flags |= pfRedraw;
    });
}

void TSong::ToggleSelectedPartsMute() {
    // What the renderer remembers of walking the parts holds no more.
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    ForSelectedParts(*this, false, [&](_TTrack* t, _TPart* p) {
        p->Flags = (p->Flags ^ pfMuted) | pfRedraw;
        if (p->Flags & pfMuted) SendPartController(t, p, 123, 0);
    });
}

void TSong::GroupSelectedParts() {
    int largest = 0;
    for (int i = 0; i < TrackCount; ++i)
        for (_TPart* p = Tracks[i]->Parts; p; p = p->Next)
            largest = std::max(largest, p->Group);
    ForSelectedParts(*this, false, [&](_TTrack*, _TPart* p) {
        p->Group = largest + 1;
        p->Flags |= pfRedraw;
    });
}

void TSong::SelectGroup(int Group) {
    for (int i = 0; i < TrackCount; ++i)
        for (_TPart* p = Tracks[i]->Parts; p; p = p->Next)
            if (p->Group == Group) p->Flags |= pfSelected | pfRedraw;
}

void TSong::UngroupSelectedParts() {
    ForSelectedParts(*this, false, [&](_TTrack*, _TPart* p) {
        p->Group = 0;
        p->Flags |= pfRedraw;
    });
}

void TSong::MoveTrack(int FromIndex, int ToIndex) {
    if (FromIndex == ToIndex || !TrackAt(FromIndex) || !TrackAt(ToIndex)) return;
    std::unique_ptr<_TTrack> moved = std::move(Tracks[FromIndex]);
    if (FromIndex < ToIndex)
        for (int i = FromIndex; i < ToIndex; ++i)
            Tracks[i] = std::move(Tracks[i + 1]);
    else
        for (int i = FromIndex; i > ToIndex; --i)
            Tracks[i] = std::move(Tracks[i - 1]);
    Tracks[ToIndex] = std::move(moved);
    for (int i = std::min(FromIndex, ToIndex); i <= std::max(FromIndex, ToIndex); ++i)
        for (_TPart* p = Tracks[i]->Parts; p; p = p->Next) {
            p->Track = i;
            p->Flags |= pfRedraw;
        }
    // The solo and the clipboard's copies stay with their tracks.
    if (SoloTrack != -1) SoloTrack = MovedIndex(SoloTrack, FromIndex, ToIndex);
    for (_TPart* p = Clipboard; p; p = p->Next)
        p->Track = MovedIndex(p->Track, FromIndex, ToIndex);
    CurrentTrackIndex = ToIndex;
    UndoStore->TrackMoved(FromIndex, ToIndex);
}

bool ResizePart(_TPart* Part, int Beats, bool AtEnd) {
    if (!Part || !Song) return false;
    TSong& s = *Song;
    _TTrack* track = s.TrackAt(Part->Track);
    std::int64_t d = static_cast<std::int64_t>(Beats) * 240;
    if (AtEnd) {
        std::int64_t length = Part->Length + d;
        if (length <= 0 || Part->Start + length > INT_MAX) return false;
        if (Part->Next && Part->Start + length > Part->Next->Start) return false;
        s.UndoStore->Begin(ukEdit, "Undo resize");
        s.UndoStore->AddPart(SnapshotPart(Part));
        Part->Length = static_cast<std::int32_t>(length);
        Part->Flags |= pfRedraw;
        if (!Part->Events || Part->EndTime < Part->Length) return false;
        EventsToAbsolute(Part);
        for (_TEvent* e = Part->Events; e; e = e->Next)
            e->Flags &= ~efSelected;
        for (_TEvent* e = Part->Events; e; e = e->Next) {
            if (e->Delta < Part->Length) continue;
            if (IsNoteOn(e->Msg))
                SelectNote(Part, e);
            else if (IsNoteOff(e->Msg) && !(e->Flags & efSelected))
                e->Delta = Part->Length - 1;
            else
                e->Flags |= efSelected;
        }
        EventsToDelta(Part);
        DeleteSelectedEvents(Part);
        return true;
    }

    s.UndoStore->Begin(ukResizeStart, "Undo resize");
    s.UndoStore->AddPart(SnapshotPart(Part));
    bool result = false;
    if (d < 0) {
        // Never before the part in front of it, nor before the song start.
        _TPart* prev = PartBefore(track, Part);
        std::int64_t earliest = prev ? PartEnd(prev) : 0;
        if (Part->Start + d < earliest) d = earliest - Part->Start;
    } else if (d > 0 && d < Part->Length && Part->Events) {
        EventsToAbsolute(Part);
        for (_TEvent* e = Part->Events; e; e = e->Next)
            e->Flags &= ~efSelected;
        for (_TEvent* e = Part->Events; e; e = e->Next) {
            if (e->Delta >= d) continue;
            result = true;
            if (IsNoteOn(e->Msg)) {
                if (!(e->Flags & efSelected)) SelectNote(Part, e);
            } else if (!IsNoteOff(e->Msg)) {
                e->Flags |= efSelected;
            }
        }
        for (_TEvent* e = Part->Events; e; e = e->Next)
            e->Delta = static_cast<std::int32_t>(e->Delta - d);
        EventsToDelta(Part);
        DeleteSelectedEvents(Part);
    } else if (d != 0 && d >= Part->Length) {
        return false;
    }
    if (d == 0) return false;
    if (d < 0 && Part->Events) {
        // The events keep their places in the song.
        Part->Events->Delta = static_cast<std::int32_t>(Part->Events->Delta - d);
        Part->EndTime = static_cast<std::int32_t>(Part->EndTime - d);
    }
    Part->Length = static_cast<std::int32_t>(Part->Length - d);
    Part->Start = static_cast<std::int32_t>(Part->Start + d);
    Part->Flags |= pfRedraw;
    s.UndoStore->AddPart(SnapshotPart(Part));
    return result;
}
