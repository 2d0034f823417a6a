// Putting a new note into a part that may be playing, shared by the note editors.
#pragma once

#include <functional>

struct _TEvent;
struct _TPart;

// Links On and then Off into Part while the renderer is held: the audio thread walks the part's
// notes every block. Hook, when set, runs inside the hold (tests look at the hold from it).
// True when the part grew to take the note-off.
bool LinkNoteHeld(_TPart* Part, _TEvent* On, _TEvent* Off, const std::function<void()>& Hook);
