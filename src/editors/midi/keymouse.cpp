// The key editor's note grid and ruler under the mouse.
#include "editors/midi/key.h"

void TfmKey::BindGridMouse() {}
void TfmKey::CancelDrag() {}
void TfmKey::ChangeNoteLength(int) {}
