#pragma once
// Note editing: velocity, length, legato, overlap, transpose, pitch, resizing, moving,
// rotating and duplicating notes, deleting doubles, and keeping or deleting notes like the
// selected ones. The commands over the selected parts are TSong members; these work on the one
// part the caller gives.

#include "song/song.h"

// Mode 0 sets Value, 2 adds it, 3 draws from the low byte to the second byte of Value; any
// other mode gives 0. Velocities stay within 1-127.
void SetVelocities(_TPart* Part, int Value, int Mode, bool SelectedOnly);
// A straight line of velocities from FromTick to ToTick (-1: the part's length).
void RampVelocities(_TPart* Part, int FromTick, int ToTick, bool SelectedOnly, int EndVelocity,
                    int StartVelocity);
void LegatoNotes(_TPart* Part, bool SelectedOnly);
// Records its own undo step.
void OverlapNotes(_TPart* Part, int Overlap, bool SelectedOnly);
void SetNoteLengths(_TPart* Part, int Ticks, bool SelectedOnly);
void ResizeNotes(_TPart* Part, int DeltaTicks, bool SelectedOnly, bool RecordUndo);
// Records its own undo step; True when a selected note event moved.
bool MoveNotes(_TPart* Part, int DeltaTicks, int DeltaNotes);
// Records its own undo step.
void RotateNotes(_TPart* Part, int DeltaTicks);
void DuplicateNotes(_TPart* Part, int DeltaTicks, int DeltaNotes);
void DeleteDoubleNotes(_TPart* Part);
void DeleteNotesLikeSelected(_TPart* Part);
void KeepNotesLikeSelected(_TPart* Part);
