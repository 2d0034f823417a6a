#pragma once
// The edit guard and the transport commands of the main window, and what they ask of the
// windows that show the transport (the arrange window with its play cursor, the transport bar,
// the editors, the editor plug-ins). Those windows fill TTransportWindows when they are built;
// until then a headless default answers.

#include "devices/inport.h" // WM_SYNCSTARTSTOP
#include "platform/core/messages.h"

#include <cstdint>

// A granted pause is in force; the song was playing when the last pause was granted.
extern std::uint8_t Paused;
extern std::uint8_t WasPlaying;

// Messages the main window handles (besides WM_USER, WM_HOTKEY, MM_MIM_DATA, WM_MOUSEWHEEL and
// WM_DROPFILES of the platform).
inline constexpr platform::UINT WM_DONE = platform::WM_USER + 123;
inline constexpr platform::UINT WM_DISKREPAINT = platform::WM_USER + 125;
inline constexpr platform::UINT WM_AUDIORECORDDONE = platform::WM_USER + 150;
inline constexpr platform::UINT WM_WHEELFORWARD = platform::WM_USER + 200;
inline constexpr platform::UINT WM_SETSONGPOS = platform::WM_USER + 501;
inline constexpr platform::UINT WM_REFILLQUEUE = platform::WM_USER + 502;
inline constexpr platform::UINT WM_TRACKACTIVITY = platform::WM_USER + 503;
inline constexpr platform::UINT WM_RESTARTAUDIO = platform::WM_USER + 987;
inline constexpr platform::UINT WM_ENGINEERROR = platform::WM_USER + 999;

// What the transport asks of the windows of the arrange window, transport bar, editors, mixer
// and editor plug-ins. Every default but the transport bar's does nothing (the window does not
// exist yet).
class TTransportWindows {
public:
    virtual ~TTransportWindows() = default;
    // The arrange window exists (fmArrange is not nil).
    virtual bool ArrangeExists() { return false; }
    // TfmArrange.MovePlayCursor: XOR-draws the play cursor at Position (called once at the old
    // place to erase, once at the new one to draw); InEditors also in every open editor.
    virtual void MovePlayCursor(int /*Position*/, bool /*InEditors*/, bool /*NoScroll*/) {}
    // The transport bar: the song-position field, the buttons, the loop button (the defaults
    // paint the main window's bar, transportbar.cpp).
    virtual void PaintSongPosition();
    virtual void PaintTransportButtons();
    virtual void PaintLoopButton();
    // The MIDI LED's field (after its level changed), when that field is visible.
    virtual void PaintMidiLed();
    // Bank, program, volume, pan, reverb and chorus of every MIDI track (file menu).
    virtual void SendTrackSetup(); // the file menu's
    // The arrange window's horizontal scroll bar: to 0 (song start), or so that Tick stands in
    // the middle of the parts area, growing the bar's maximum when needed (song end).
    virtual void ScrollArrangeToStart() {}
    virtual void ScrollArrangeToEnd(int /*Tick*/) {}
    // After a recording: the key editor's grid, lane and event list repaint (when the key
    // editor exists and there is a current part); the arrange window redraws the current part.
    virtual void RepaintKeyEditor() {}
    virtual void RedrawCurrentPart() {}
    // The key editor's window (MM_MIM_DATA goes on to it); 0 while it does not exist.
    virtual platform::HWND KeyEditorWindow() { return 0; }
    // WM_USER+125: the disk-track editor repaints its track view when it exists.
    virtual void RepaintDiskEditor() {}
    // WM_USER+150: an audio take ended (recording).
    virtual void AudioRecordDone() {}
    // WM_DROPFILES (file menu); the default only releases the drop.
    virtual void DropFiles(platform::WPARAM Drop);
    // WM_USER wParam 2, the set of plug-ins changed: output menus and track settings bar,
    // track list, softsynth count, and the current softsynth's editor shown or hidden.
    virtual void BuildOutputMenus() {}
    virtual void RepaintTrackList() {}
    virtual void NotifySoftsynthCount(); // the default is the main window's (synthmenu.cpp)
    virtual void ToggleSynthEditor() {}
    // TEditorEngine.Broadcast to the editor plug-ins (8: 1 stop, 2 start, 3 continue); the
    // default is the engine's (editorhost.cpp).
    virtual void BroadcastEditors(int Cmd, std::intptr_t A, std::intptr_t B);
};
TTransportWindows& TransportWindows();
void SetTransportWindows(TTransportWindows* Windows);

// The scope of one edit: the pause is taken on entry and, when it was granted, the resume runs
// on leaving, also when the edit ends by an exception. Nothing may change the song when the
// pause was refused:
//     TEditGuard guard;
//     if (!guard) return;
class TfmMdi;
class TEditGuard {
public:
    explicit TEditGuard(TfmMdi* Form = CurrentMainWindow());
    ~TEditGuard();
    TEditGuard(const TEditGuard&) = delete;
    TEditGuard& operator=(const TEditGuard&) = delete;
    explicit operator bool() const { return granted_; }
    // Resumes now (once), before the scope ends.
    void Release();

private:
    static TfmMdi* CurrentMainWindow();
    TfmMdi* form_;
    bool granted_ = false;
};

// Runs a modal dialog that takes over the MIDI message window for as long as it is shown (the
// options, transpose-tool and compose-notes dialogs). Such a dialog passes WM_USER+501 and
// WM_USER+502 on with ForwardTransportMessage. Returns the dialog's modal result.
namespace platform {
class TForm;
}
int ShowModalWithMidiWindow(platform::TForm& Dialog);
// True when Msg was a position or refill message and the main window handled it.
bool ForwardTransportMessage(platform::UINT Msg, platform::WPARAM W, platform::LPARAM L);
