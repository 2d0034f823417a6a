#pragma once
// The key editors' own screen cursors: insert (a pencil) and step input (a pencil with a step
// mark), registered by the main window's creation under their numbers.

inline constexpr int crKeyInsert = 500; // "KEYINSERT"
inline constexpr int crKeyStep = 501;   // "KEYSTEP"

// Draws both cursors into the settings folder's "cursors" folder and registers them; a cursor
// whose picture cannot be written shows as the arrow.
void RegisterKeyCursors();
