// The arrange window's keys: a focused edit field keeps them, a drag ends with Esc, and the
// transport and the other global keys go on to the main window.
#include "app/arrange.h"
#include "app/main.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/window/input.h"

using namespace platform;

void TfmArrange::FormKeyDown(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
    if (dynamic_cast<TEdit*>(ActiveControl())) return; // the key is the field's
    // A box's open list takes the keys that choose in it (Enter would also play the song).
    if (auto* box = dynamic_cast<TComboBox*>(ActiveControl()); box && box->DroppedDown) return;
    if (Key == VK_ESCAPE || Key == 220) CancelDrag();
    if (Key == VK_SPACE && (Shift & ssCtrl)) {
        ToggleSynthEditor();
        return;
    }
    switch (Key) {
    // The window's own navigation and area keys; they never reach the main window.
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case 'T':
    case VK_F1:
    case VK_F2:
    case VK_F3:
    case VK_F4:
    case VK_F5:
    case VK_F6:
    case VK_F7:
    case VK_F8:
    case VK_F9:
    case VK_F10:
    case 226:
        return;
    default:
        if (fmMdi) fmMdi->FormKeyDown(Sender, Key, Shift);
        return;
    }
}

void TfmArrange::FormKeyUp(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
    if (Key != VK_RIGHT && fmMdi) fmMdi->FormKeyUp(Sender, Key, Shift);
}
