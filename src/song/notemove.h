#pragma once
// What quantize, groove and moving notes share: a note put at new times in a part whose list
// is in absolute form, growing the part or marking the note for the part after it when it is
// pushed past the end, and the hand-over of the marked events.

#include "song/song.h"

#include <cstdint>

// Grows the part in steps of 960 ticks until Time lies inside, never into the part after it.
// False when a part follows within half a bar, or when growth cannot reach Time.
bool GrowForNote(_TPart* Part, std::int64_t Time);

// Puts a note at new times (times from the part start, the note on at 0 or later). A note off
// past the end of a note on that stays inside ends on the last tick; a note on past the end
// grows the part (GrowForNote) or gets the work mark with its note off. True when the note on
// was pushed past the end.
bool MoveNote(_TPart* Part, _TEvent* On, _TEvent* Off, std::int64_t OnTime, std::int64_t OffTime);

// Part in delta form: the events with the work mark go to the part after it at their time
// minus its length (by InsertEvent, with the given flags), a copy of that part going into the
// undo step first; they leave Part.
void HandOverMarkedEvents(_TPart* Part, std::uint32_t CopyFlags);
