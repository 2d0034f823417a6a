#pragma once
// The arrange window's track settings bar: the routines of the current track that every window
// calls (its mode changed, its settings shown again).

#include <functional>

// Changes the current track's mode (0 MIDI, 1 audio, 2 softsynth, 3 param, 4 disk): refused
// while the track holds samples, asked when its parts would go, which then go inside the edit
// guard.
void ChangeTrackMode(int Mode);

// The items of the mode box, the Track menu's and the track popup's Mode items, in menu order.
inline constexpr int ModeOfItem[5] = {0, 2, 1, 3, 4};

// Seen by tests: runs inside the edit guard just before a mode change deletes the parts.
extern std::function<void()> ChangeTrackModeHeldHook;
