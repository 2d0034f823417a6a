#include "song/quantize.h"

#include "devices/midimsg.h"
#include "song/notemove.h"
#include "song/primitives.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>

TGroove::~TGroove() {
    while (First) {
        _TGroovesItem* next = First->Next;
        delete First;
        First = next;
    }
}

_TGroovesItem* TGroove::GetItem(int Index) const {
    _TGroovesItem* item = Index >= 0 ? First : nullptr;
    while (item && Index-- > 0)
        item = item->Next;
    return item;
}

void TGroove::Delete(int Index) {
    if (Index < 0) return;
    _TGroovesItem** link = &First;
    while (*link && Index-- > 0)
        link = &(*link)->Next;
    if (_TGroovesItem* item = *link) {
        *link = item->Next;
        delete item;
    }
}

_TGroovesItem* TSong::AddGroove(const std::string& Name, int Count) {
    _TGroovesItem* item = new _TGroovesItem;
    item->Name = Name;
    item->Count = Count;
    item->UseVelocity = true;
    item->Next = Grooves->First;
    Grooves->First = item;
    return item;
}

namespace {

// Quantize (Groove nil) or groove one part.
bool ShiftToGrid(_TPart* Part, int Grid, const _TGroovesItem* Groove, bool SelectedNotesOnly) {
    if (!Part || Grid <= 0) return false;
    EventsToAbsolute(Part);
    for (_TEvent* e = Part->Events; e; e = e->Next)
        e->Flags &= ~efWork;
    // A template's count outside 1-8 never reaches past its steps.
    int count = Groove ? std::clamp<int>(Groove->Count, 1, 8) : 1;
    bool pushed = false, marked = false;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        if (!IsNoteOn(e->Msg) || (SelectedNotesOnly && !(e->Flags & efSelected))) continue;
        std::int64_t time = e->Delta;
        std::int64_t r = time % Grid;
        if (r == 0 && !Groove) continue;
        _TEvent* off = FindNoteOff(e);
        if (!off) continue;
        std::int64_t d = r == 0 ? 0 : r <= Grid * 0.5 ? -r : Grid - r; // a half goes back
        std::int64_t to = time + d;
        if (Groove) {
            const TGrooveStep& step = Groove->Steps[(to / 60) % count];
            to += Round(static_cast<double>(step.Time) * Grid * 0.01);
            if (to < 0) to = 0; // nothing goes before the part's start
            if (Groove->UseVelocity) {
                int velocity = std::clamp<int>(Groove->Steps[(to / 60) % count].Velocity, 1, 127);
                e->Msg = (e->Msg & ~0xFF0000u) | (static_cast<std::uint32_t>(velocity) << 16);
            }
        }
        if (MoveNote(Part, e, off, to, off->Delta + (to - time))) {
            pushed = true;
            marked |= (e->Flags & efWork) != 0;
        }
    }
    SortPartEvents(Part);
    EventsToDelta(Part);
    if (marked) HandOverMarkedEvents(Part, 0);
    return pushed;
}

} // namespace

bool QuantizePart(_TPart* Part, int Grid, bool SelectedNotesOnly) {
    return ShiftToGrid(Part, Grid, nullptr, SelectedNotesOnly);
}

bool GroovePart(_TPart* Part, int Grid, const _TGroovesItem* Groove, bool SelectedNotesOnly) {
    if (!Groove) return false;
    return ShiftToGrid(Part, Grid, Groove, SelectedNotesOnly);
}

bool TSong::QuantizeSelectedParts(int Grid, bool SelectedNotesOnly) {
    return EditSelectedParts(*this, ukEdit, "Undo quantize", false, [&](_TTrack*, _TPart* p) {
        return QuantizePart(p, Grid, SelectedNotesOnly);
    });
}

bool TSong::GrooveSelectedParts(int Grid, const _TGroovesItem* Groove, bool SelectedNotesOnly) {
    return EditSelectedParts(*this, ukEdit, "Undo groove", false, [&](_TTrack*, _TPart* p) {
        return GroovePart(p, Grid, Groove, SelectedNotesOnly);
    });
}
