#include "editors/noteinsert.h"

#include "devices/audio.h"
#include "song/primitives.h"

bool LinkNoteHeld(_TPart* Part, _TEvent* On, _TEvent* Off, const std::function<void()>& Hook) {
    TRendererHold hold;
    if (Hook) Hook();
    _TPart* p = Part;
    InsertEvent(p, On);
    p = Part;
    return InsertEvent(p, Off) == 4;
}
