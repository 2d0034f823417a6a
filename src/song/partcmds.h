#pragma once
// The arrange window's commands on whole parts. The TSong members (move, copy, delete,
// append, glue, split, rename, mute, group, moving a track) are declared with the song.

#include "song/song.h"

// Moves the start (AtEnd False) or the end of a part by Beats beats; True when events lay
// outside the new span and were removed or pulled in.
bool ResizePart(_TPart* Part, int Beats, bool AtEnd);
