#pragma once
// 16-bit thunking. Only the 32-bit Windows 9x kernel offered it; like every NT-family system,
// this platform has none, so the program takes the multimedia MIDI path. Tests turn the switch
// on to reach the other path.

namespace platform {

bool Has16BitThunking();
void SetHas16BitThunking(bool on);

} // namespace platform
