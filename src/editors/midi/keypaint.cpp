// The key editor's note grid, keyboard strip and ruler painting, the play cursor and the
// locator band.
#include "editors/midi/key.h"

void TfmKey::PaintGrid(platform::TCanvas&) {}
void TfmKey::PaintKeyboard(platform::TCanvas&) {}
void TfmKey::PaintRuler(platform::TCanvas&) {}
void TfmKey::MovePlayCursor(int, bool) {}
void TfmKey::DrawLocators() {}
void TfmKey::StepMidiInput(std::uint32_t) {}
