// The main window's keys, which every editor hands its unused keys to, and the metronome
// switch they share with the transport bar.
#include "app/arrange.h"
#include "app/main.h"
#include "app/options.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "platform/window/input.h"
#include "song/song.h"

#include <functional>

using namespace platform;

void TfmMdi::ToggleMetronome() {
    if (!Song) return;
    const bool on = Song->MetronomeOn.load() == 0;
    Song->MetronomeOn = on ? 1 : 0;
    if (Midi)
        Midi->Metronom(on, OptionsPcSpeaker(), OptionsMidiBeep(), Song->Precounts > 0,
                       Song->Precounts, OptionsBeepChannel(), OptionsBeepDevice(),
                       OptionsBeepNote());
    if (paintBeep) paintBeep->Invalidate();
}

std::uint8_t EnterGuard = 0;

namespace {

// The play cursor is an XOR mark: erased at the old place, drawn at the new one.
void MoveSongPosition(int Tick) {
    TTransportWindows& w = TransportWindows();
    w.MovePlayCursor(Song->Position, true, false);
    Song->Position = Tick;
    w.MovePlayCursor(Song->Position, true, false);
}

template <class... A> void Run(const std::function<void(A...)>& Hook, A... Args) {
    if (Hook) Hook(Args...);
}

} // namespace

// Plain Enter toggles play and stop, Shift+Enter loops the selection and plays it, Ctrl+Enter
// plays from the earliest selected part. A held key acts once.
void TfmMdi::EnterKey(TShiftState Shift) {
    if (EnterGuard || !Song) return;
    EnterGuard = 1;
    if (Song->State == 2 && !(Shift & (ssCtrl | ssShift))) {
        StopPlayback(false);
        return;
    }
    {
        TEditGuard guard(this);
        if (!guard) return;
        if (Shift & ssShift) {
            Run(MdiHooks().LocatorsToSelection);
            if (Song->Position != Song->LeftLocator) MoveSongPosition(Song->LeftLocator);
            if (!Song->LoopOn) ToggleLoop(false);
        } else if (Shift & ssCtrl) {
            if (_TPart* p = Song->EarliestSelectedPart()) MoveSongPosition(p->Start);
        }
    }
    StartPlayback(false);
}

void TfmMdi::FormKeyDown(TObject* /*Sender*/, std::uint16_t& Key, TShiftState Shift) {
    if (!Song) return;
    // Auto-repeat of a winding key does not start winding again.
    if ((Key == VK_PRIOR || Key == VK_NEXT) && transportTimer.Enabled) {
        Key = 0;
        return;
    }
    TMdiHooks& h = MdiHooks();
    switch (Key) {
    case VK_RETURN:
        EnterKey(Shift);
        break;
    case VK_SPACE: // never starts playback
    case VK_NUMPAD0:
        StopPlayback(false);
        break;
    case VK_PRIOR:
        StartFastForward(WindStep);
        break;
    case VK_NEXT:
        StartRewind(WindStep);
        break;
    case VK_END:
        GotoSongEnd();
        break;
    case VK_HOME:
    case VK_NUMPAD3:
        GotoSongStart();
        break;
    case VK_NUMPAD1:
        GotoLeftLocator();
        break;
    case VK_NUMPAD2:
        GotoRightLocator();
        break;
    case VK_NUMPAD4: // replay from where the last playback started
        if (Song->State != 0) StopPlayback(false);
        MoveSongPosition(Song->PlayStart);
        StartPlayback(false);
        break;
    case VK_MULTIPLY:
        Run(h.RecordPunchIn);
        break;
    case VK_DIVIDE:
        ToggleLoop(true);
        break;
    case 'A':
        Run(h.ToggleAutoQuantize);
        break;
    case 'B':
        ToggleMetronome();
        break;
    case 'M': // Alt+M and Alt+S belong to the menus
        if (!(Shift & ssAlt)) Run(h.ToggleTrackMute, int(Song->CurrentTrackIndex));
        break;
    case 'S':
        if (!(Shift & ssAlt)) Run(h.ToggleSolo);
        break;
    case VK_F6:
        if (fmArrange) fmArrange->SetAudioEnabled(!(Audio && Audio->AudioOn));
        break;
    case VK_F11:
        ToggleMixer();
        break;
    default:
        break;
    }
}

void TfmMdi::FormKeyUp(TObject* /*Sender*/, std::uint16_t& Key, TShiftState /*Shift*/) {
    switch (Key) {
    case VK_RETURN:
        EnterGuard = 0;
        break;
    case VK_PRIOR:
    case VK_NEXT:
        StopWinding();
        break;
    case VK_HOME:
    case VK_NUMPAD3:
        if (PressedButton == 3) PressedButton = 0;
        break;
    case VK_END:
        if (PressedButton == 4) PressedButton = 0;
        break;
    default:
        break;
    }
}
