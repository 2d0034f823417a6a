#include "song/notemove.h"

#include "song/primitives.h"
#include "song/undo.h"

#include <algorithm>
#include <climits>

bool GrowForNote(_TPart* Part, std::int64_t Time) {
    if (BarsToNextPart(Part) == 0) return false;
    std::int64_t limit = Part->Next ? static_cast<std::int64_t>(Part->Next->Start) - Part->Start
                                    : static_cast<std::int64_t>(INT_MAX) - std::max(Part->Start, 0);
    std::int64_t length = Part->Length;
    while (length <= Time && length < limit)
        length += 960;
    length = std::min(length, limit);
    if (length > Part->Length) {
        Part->Length = static_cast<std::int32_t>(length);
        Part->Flags |= pfRedraw;
    }
    return Time < Part->Length;
}

bool MoveNote(_TPart* Part, _TEvent* On, _TEvent* Off, std::int64_t OnTime, std::int64_t OffTime) {
    OnTime = std::clamp<std::int64_t>(OnTime, 0, INT_MAX);
    OffTime = std::clamp<std::int64_t>(OffTime, OnTime, INT_MAX);
    On->Delta = static_cast<std::int32_t>(OnTime);
    if (OnTime < Part->Length) {
        Off->Delta = static_cast<std::int32_t>(std::min<std::int64_t>(OffTime, Part->Length - 1));
        return false;
    }
    Off->Delta = static_cast<std::int32_t>(OffTime);
    if (GrowForNote(Part, OnTime)) {
        // Growth stopped by the next part may leave the note off outside.
        if (Off->Delta >= Part->Length) Off->Delta = Part->Length - 1;
    } else {
        On->Flags |= efWork;
        Off->Flags |= efWork;
    }
    return true;
}

void HandOverMarkedEvents(_TPart* Part, std::uint32_t CopyFlags) {
    _TPart* next = Part->Next;
    if (!next) return;
    Song->UndoStore->AddPart(SnapshotPart(next));
    next->Flags |= pfRedraw;
    std::int64_t time = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        time += e->Delta;
        if (!(e->Flags & efWork)) continue;
        _TEvent* copy = NewEvent(static_cast<int>(time - Part->Length), e->Msg);
        copy->Flags = CopyFlags;
        _TPart* target = next;
        InsertEvent(target, copy);
    }
    DeleteMarkedEvents(Part);
}
