#pragma once
// The commands that route the current track: its MIDI channel (the output, softsynth and tempo
// items are the arrange window's, app/arrange.h).

// Sets the current track's MIDI channel (0..15, -1 Off) inside the edit guard, ending the
// notes that sound on the old one; the thru route takes the new value itself.
void SetTrackChannel(int Channel);
