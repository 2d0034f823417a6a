// The edit guard, the transport commands and the main window's messages and hot keys.
//
// The song is shared with the audio thread without locks. While the guard is in force the GUI
// thread holds the renderer (HoldRenderer): blocks that come meanwhile play silence and touch
// no song data. A granted pause of a playing song holds from the moment MIDI stops until its
// resume has located and fed the scheduler; the hold ends just before TMIDI::Play, because the
// audio callback issues a pending MIDI start before it renders and that block must render.
#include "app/transport.h"

#include "app/filemenu.h"
#include "app/main.h"
#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "devices/vsthost.h"
#include "gui/skinbind.h"
#include "platform/core/dialogs.h"
#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/audioengine.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"

#include <algorithm>
#include <exception>
#include <string>

using namespace platform;

std::uint8_t Paused = 0;
std::uint8_t WasPlaying = 0;

namespace {

TTransportWindows defaultWindows;
TTransportWindows* windows = nullptr;

// The pause in force holds the renderer (released by the resume).
bool pauseHolds = false;

void ShowHourglass() {
    SetScreenCursor(CursorOf(crHourGlass));
}
void RestoreCursor() {
    if (GetCursor() != CursorOf(crDefault)) SetScreenCursor(0);
}

void AllNotesOff() {
    if (Midi) Midi->AllNotesOff(-1, -1);
}

// Erases the play cursor at the song position, moves the position, draws it there.
void MoveSongPosition(int Target) {
    TTransportWindows& w = TransportWindows();
    w.MovePlayCursor(Song->Position, true, false);
    Song->Position = Target;
    w.MovePlayCursor(Song->Position, true, false);
}

// The renderer's queues and voices start empty at the next run.
void ClearEngines() {
    if (SoftEngine) SoftEngine->ResetQueues();
    if (Song->AudioEngine) Song->AudioEngine->Clear();
    if (Song->Engine) Song->Engine->Clear();
}

// The 16-bit engine recorded the input itself: what it holds goes into the record part.
void CollectEngineInput() {
    if (!Midi || !Song->RecordPart) return;
    const int mode = Song->CurrentTrack()->Mode;
    while (Midi->MoreMidiIn()) {
        std::uint32_t msg = 0, time = 0;
        Midi->ReadMidiIn(msg, time);
        if (!Song->RecordPart || (mode != tmMidi && mode != tmSoftsynth)) continue;
        // Input stamped before the part's start goes to its first tick, never before the part.
        const long long delta = static_cast<long long>(time) - Song->RecordPart->Start;
        _TEvent* e = NewEvent(static_cast<int>(std::clamp<long long>(delta, 0, 1 << 30)), msg);
        InsertEvent(Song->RecordPart, e);
    }
}

} // namespace

void TTransportWindows::DropFiles(WPARAM Drop) {
    if (fmMdi)
        fmMdi->WMDropFiles(Drop);
    else
        DragFinish(static_cast<HDROP>(Drop));
}

void TTransportWindows::SendTrackSetup() {
    ::SendTrackSetup();
}

TTransportWindows& TransportWindows() {
    return windows ? *windows : defaultWindows;
}
void SetTransportWindows(TTransportWindows* Windows) {
    windows = Windows;
}

TEditGuard::TEditGuard(TfmMdi* Form) : form_(Form), granted_(Form && Form->PausePlayback()) {}

TfmMdi* TEditGuard::CurrentMainWindow() {
    return fmMdi;
}

void TEditGuard::Release() {
    if (!granted_) return;
    granted_ = false;
    form_->ResumePlayback();
}

TEditGuard::~TEditGuard() {
    if (!granted_) return;
    // On the way out of an exception nothing may be thrown from here.
    if (std::uncaught_exceptions() > 0) {
        try {
            form_->ResumePlayback();
        } catch (...) {
        }
        return;
    }
    try {
        form_->ResumePlayback();
    } catch (...) {
        Application->ShowException(std::current_exception());
    }
}

bool TfmMdi::PausePlayback() {
    if (Audio) Audio->NotifyRecording(false);
    if (Paused || !Song) return false;
    const int state = Song->State;
    if (state == 2) {
        WasPlaying = 1;
        ShowHourglass();
        HoldRenderer();
        pauseHolds = true;
        StopSoftsynthNotes();
        const int pos = Midi ? Midi->Stop(0) : Song->Position.load();
        Song->State = 0;
        if (!Winding) MoveSongPosition(pos + 1);
    } else if (state == 0) {
        WasPlaying = 0;
        if (Audio && Audio->Running) Audio->Stop();
        HoldRenderer();
        pauseHolds = true;
    } else {
        return false;
    }
    Paused = 1;
    return true;
}

void TfmMdi::ResumePlayback() {
    if (!Song) return;
    // Whatever the relocation throws, the renderer is free and the pause over afterwards.
    struct TEnd {
        ~TEnd() {
            if (pauseHolds) {
                pauseHolds = false;
                ReleaseRenderer();
            }
            Paused = 0;
        }
    } end;
    if (WasPlaying) {
        Song->Locate(Song->Position, true);
        Song->StartMidiEngine(Song->Position);
        if (Song->Engine) Song->FeedMidiEngine(*Song->Engine);
        if (pauseHolds) {
            pauseHolds = false;
            ReleaseRenderer();
        }
        if (Midi) Midi->Play(Song->Position, Song->LeftLocator, Song->RightLocator, Song->Looping);
    } else {
        if (pauseHolds) {
            pauseHolds = false;
            ReleaseRenderer();
        }
        if (Song->State == 0 && Audio) Audio->Start();
    }
    TransportWindows().BroadcastEditors(8, 3, Song->Position);
    RestoreCursor();
}

void TfmMdi::StartPlayback(bool RecordAudio) {
    if (!Song || Song->State == 2) return;
    if (Song->State == 1) StopPlayback(false);
    AudioRecord = RecordAudio;
    Song->PlayStart = Song->Position.load();
    {
        TRendererHold hold;
        const int pos = Song->Position;
        Song->Locate(pos, true);
        Song->StartMidiEngine(pos);
        if (Song->Engine) Song->FeedMidiEngine(*Song->Engine);
        TransportWindows().BroadcastEditors(8, 2, pos);
        VstTransportStarted();
    }
    if (Midi) Midi->Play(Song->Position, Song->LeftLocator, Song->RightLocator, Song->Looping);
}

void TfmMdi::StopPlayback(bool StopAudio) {
    if (!Song) return;
    {
        // No block walks the record part, the voices or the queues while Stop changes them.
        TRendererHold hold;
        const bool wasRecording = Song->State == 1;
        StopSoftsynthNotes();
        if (Midi) Midi->Stop(StopAudio ? 1 : 0);
        if (Audio) Audio->NotifyRecording(false);
        PostMessage(Handle(), WM_DISKREPAINT, 0, 0);
        if (wasRecording && MidiMode == 0) CollectEngineInput();
        Song->RecordPart = nullptr;
        Song->State = 0;
        AllNotesOff();
        TTransportWindows& w = TransportWindows();
        w.BroadcastEditors(8, 1, 0);
        if (wasRecording && Song->CurrentPart) w.RepaintKeyEditor();
        if ((wasRecording || AudioRecord) && w.ArrangeExists()) w.RedrawCurrentPart();
        if (wasRecording) Song->SetCurrentPart(Song->CurrentPart);
        ClearEngines();
    }
    if (!Audio || !Audio->Running) {
        if (VU) {
            VU->PeakL = 0.0f;
            VU->PeakR = 0.0f;
        }
        CpuLoad = 0;
    }
    AudioRecord = false;
    VstTransportStopped();
}

// The relocation commands: through the guard, erase the cursor, move, draw it again, all notes
// off, and a playing song goes on from the target.
namespace {
// Inside the guard: the play cursor moves to Target, the position field follows, all notes off.
void RelocateTo(int Target) {
    TTransportWindows& w = TransportWindows();
    w.MovePlayCursor(Song->Position, true, false);
    Song->Position = Target;
    w.PaintSongPosition();
    w.MovePlayCursor(Song->Position, true, false);
    AllNotesOff();
}

void GotoLocator(TfmMdi& Form, int Target) {
    TEditGuard guard(&Form);
    if (guard) RelocateTo(Target);
}
} // namespace

void TfmMdi::GotoSongStart() {
    TEditGuard guard(this);
    if (!guard) return;
    PressedButton = 3;
    TransportWindows().PaintTransportButtons();
    RelocateTo(0);
    TransportWindows().SendTrackSetup();
    guard.Release();
    if (Song->State == 0) TransportWindows().ScrollArrangeToStart();
}

void TfmMdi::GotoSongEnd() {
    TEditGuard guard(this);
    if (!guard) return;
    PressedButton = 4;
    TransportWindows().PaintTransportButtons();
    RelocateTo(Song->SongEnd());
    guard.Release();
    if (Song->State == 0) TransportWindows().ScrollArrangeToEnd(Song->Position);
}

void TfmMdi::GotoLeftLocator() {
    if (Song) GotoLocator(*this, Song->LeftLocator);
}

void TfmMdi::GotoRightLocator() {
    if (Song) GotoLocator(*this, Song->RightLocator);
}

void TfmMdi::SetSongPosition(int Position) {
    {
        TEditGuard guard(this);
        if (!guard) return;
        TransportWindows().MovePlayCursor(Song->Position, true, false);
        Song->Position = std::max(Position, 0);
        AllNotesOff();
    }
    TransportWindows().MovePlayCursor(Song->Position, true, false);
}

void TfmMdi::ToggleLoop(bool Pause) {
    if (!Song) return;
    if (Pause) {
        TEditGuard guard(this);
        if (!guard) return;
        Song->LoopOn = Song->LoopOn ? 0 : 1;
    } else {
        Song->LoopOn = Song->LoopOn ? 0 : 1;
    }
    TransportWindows().PaintLoopButton();
}

// Winding moves the song position by WindStep sixteenths every 50 ms; a playing song sounds on
// from where it was and restarts at the wound position when winding ends.
namespace {
void StartWinding(TfmMdi& Form, int Button) {
    if (!Song || Song->State == 1) return;
    Form.PressedButton = Button;
    Form.transportTimer.Interval = 50;
    Form.transportTimer.Enabled = true;
    Form.Winding = true;
    Form.transportTimerTimer();
}
} // namespace

void TfmMdi::StartFastForward(int /*Step*/) {
    StartWinding(*this, 1);
}

void TfmMdi::StartRewind(int /*Step*/) {
    StartWinding(*this, 2);
}

void TfmMdi::transportTimerTimer() {
    if (!Song) return;
    TTransportWindows& w = TransportWindows();
    const bool arrange = w.ArrangeExists();
    if (arrange) w.MovePlayCursor(Song->Position, true, true);
    const long long step = static_cast<long long>(WindStep) * 60;
    long long pos = Song->Position;
    pos = PressedButton == 2 ? std::max(pos - step, 0LL) : pos + step;
    Song->Position = static_cast<int>(std::min<long long>(pos, 1 << 30));
    if (arrange) w.MovePlayCursor(Song->Position, true, false);
}

void TfmMdi::StopWinding() {
    transportTimer.Enabled = false;
    {
        TEditGuard guard(this);
        if (guard) {
            AllNotesOff();
            guard.Release();
            Winding = false;
            TransportWindows().PaintSongPosition();
        }
    }
    PressedButton = 0;
}

// Messages and hot keys.

void TfmMdi::InstallTransport() {
    transportTimer.Interval = 50;
    transportTimer.Enabled = false;
    transportTimer.OnTimer = [this] { transportTimerTimer(); };
    Application->OnMinimize = [this](TObject*) { AppMinimize(); };
    Application->OnRestore = [this](TObject*) { AppRestore(); };
    // The VST host callback posts its repaint and idle requests here.
    VstHostWindow = Handle();
}

LRESULT TfmMdi::WndProc(UINT Msg, WPARAM W, LPARAM L) {
    switch (Msg) {
    case MM_MIM_DATA:
        WMMidiInData(L);
        return 0;
    case WM_HOTKEY:
        WMHotKey(W);
        return 0;
    case WM_MOUSEWHEEL:
        WMMouseWheel(W, L);
        return 0;
    case WM_DROPFILES:
        TransportWindows().DropFiles(W);
        return 0;
    case WM_USER:
        WMUser(W);
        return 0;
    case WM_APPLYSKIN:
        SkinBinding().WMApplySkin();
        return 0;
    case WM_DONE:
        WMDone();
        return 0;
    case WM_VSTHOST:
        WMPluginIdle(W, L);
        return 0;
    case WM_DISKREPAINT:
        WMDiskRepaint();
        return 0;
    case WM_AUDIORECORDDONE:
        TransportWindows().AudioRecordDone();
        return 0;
    case WM_SETSONGPOS:
        WMSetSongPos(L);
        return 0;
    case WM_REFILLQUEUE:
        WMRefillQueue();
        return 0;
    case WM_TRACKACTIVITY:
        WMTrackActivity(W);
        return 0;
    case WM_SYNCSTARTSTOP:
        WMSyncStartStop(W);
        return 0;
    case WM_RESTARTAUDIO:
        WMRestartAudio();
        return 0;
    case WM_ENGINEERROR:
        WMEngineError(W);
        return 0;
    case WM_DESTROY:
        transportTimer.Enabled = false;
        if (VstHostWindow == Handle()) VstHostWindow = 0;
        Application->OnMinimize = nullptr;
        Application->OnRestore = nullptr;
        break;
    default:
        break;
    }
    return TForm::WndProc(Msg, W, L);
}

void TfmMdi::WMHotKey(WPARAM Key) {
    switch (Key) {
    case VK_RETURN:
        StartPlayback(false);
        break;
    case VK_SPACE:
    case VK_NUMPAD0:
        StopPlayback(false);
        break;
    case VK_HOME:
        GotoSongStart();
        break;
    case VK_NUMPAD2:
        GotoRightLocator();
        break;
    case VK_NUMPAD9:
        EmergencyQuit();
        break;
    default: // Ctrl+Alt+NumPad1 is registered and does nothing
        break;
    }
}

void TfmMdi::WMMidiInData(LPARAM Msg) {
    const auto m = static_cast<std::uint32_t>(Msg);
    if (MidiLed && (IsNoteOn(m) || IsNoteOff(m))) {
        MidiLed->Level += IsNoteOn(m) ? 1.0f : -1.0f;
        TransportWindows().PaintMidiLed();
    }
    if (HWND key = TransportWindows().KeyEditorWindow()) PostMessage(key, MM_MIM_DATA, 0, Msg);
}

void TfmMdi::WMMouseWheel(WPARAM W, LPARAM L) {
    TPoint p{};
    if (!GetCursorPos(&p)) return;
    const HWND target = WindowFromPoint(p);
    if (target && target != Handle()) SendMessage(target, WM_WHEELFORWARD, W, L);
}

void TfmMdi::WMSetSongPos(LPARAM Position) {
    TTransportWindows& w = TransportWindows();
    if (!Song || !w.ArrangeExists() || Winding) return;
    w.MovePlayCursor(Song->Position, true, false);
    Song->Position = static_cast<int>(Position);
    w.MovePlayCursor(Song->Position, true, false);
    w.PaintSongPosition();
}

void TfmMdi::WMRefillQueue() {
    if (Song && Midi && Midi->Pending && Song->Engine) Song->FeedMidiEngine(*Song->Engine);
}

void TfmMdi::WMTrackActivity(WPARAM Track) {
    if (!Song || Track >= WPARAM(TrackCount)) return;
    if (_TTrack* t = Song->TrackAt(static_cast<int>(Track))) t->InputActivity = 12;
}

void TfmMdi::WMSyncStartStop(WPARAM Kind) {
    if (!Song || !Song->RespondToStartStop) return;
    const bool stopped = Song->State == 0;
    switch (Kind) {
    case 1:
        GotoSongStart();
        if (stopped) StartPlayback(false);
        break;
    case 2:
        if (!stopped) StopPlayback(false);
        break;
    case 3:
        if (stopped) StartPlayback(false);
        break;
    default:
        break;
    }
}

void TfmMdi::WMUser(WPARAM W) {
    if (W != 2) return;
    TTransportWindows& w = TransportWindows();
    w.BuildOutputMenus();
    MainWindow().RefreshTrackbar();
    w.RepaintTrackList();
    TSoftEngine::UpdateMuteSolo();
    AudioWindows().RebuildMixer();
    w.NotifySoftsynthCount();
    w.ToggleSynthEditor();
}

void TfmMdi::WMPluginIdle(WPARAM W, LPARAM Effect) {
    // The record is only compared with the loaded plug-ins' own, never read through.
    const auto* effect = reinterpret_cast<const AEffect*>(Effect);
    auto matches = [effect](const TMFX* P) {
        return P && P->Loaded && P->Kind == 1 && P->Effect && P->Effect == effect;
    };
    if (W == 0) {
        if (!SoftEngine) return;
        for (TSoftItem* item : SoftEngine->Items)
            if (item && matches(item->Plugin.get()) && item->Plugin->EditorOpen && item->EditorWnd)
                UpdateWindow(item->EditorWnd);
        return;
    }
    if (W != 1) return;
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            if (item && matches(item->Plugin.get())) item->Plugin->WantsIdle = true;
    if (SubEngine)
        for (TSub* sub : SubEngine->Buses)
            if (sub && matches(sub->Plugin)) sub->Plugin->WantsIdle = true;
}

void TfmMdi::WMRestartAudio() {
    ShowHourglass();
    {
        TEditGuard guard(this);
        if (guard && Audio && Audio->AudioOn) {
            Audio->Stop();
            Audio->Close();
            Audio->Open(Handle());
            Audio->Start();
        }
    }
    SetScreenCursor(0);
}

void TfmMdi::WMEngineError(WPARAM Code) {
    StopPlayback(false);
    MessageBox("Error " + std::to_string(static_cast<long long>(Code)), "", MB_OK);
}

void TfmMdi::WMDone() {
    Caption = "Done";
}

void TfmMdi::WMDiskRepaint() {
    TransportWindows().RepaintDiskEditor();
}

// Minimise hides the owned pop-up windows (plug-in editors, floating tools); restore shows
// again exactly those.
void TfmMdi::AppMinimize() {
    hiddenPopups_.clear();
    for (HWND h : TopLevelWindows()) {
        if (h == Handle() || GetWindow(h, GW_OWNER) != Handle() || !IsWindowVisible(h)) continue;
        ShowWindow(h, SW_HIDE);
        hiddenPopups_.push_back(h);
    }
    SetActiveWindow(0);
}

void TfmMdi::AppRestore() {
    for (HWND h : hiddenPopups_)
        if (IsWindow(h)) ShowWindow(h, SW_SHOWNA);
    hiddenPopups_.clear();
}

// The MIDI message window for a modal dialog.

int ShowModalWithMidiWindow(TForm& Dialog) {
    if (Midi) Midi->SetWnd(Dialog.Handle());
    struct TBack {
        ~TBack() {
            if (Midi && fmMdi) Midi->SetWnd(fmMdi->Handle());
        }
    } back;
    return Dialog.ShowModal();
}

bool ForwardTransportMessage(UINT Msg, WPARAM /*W*/, LPARAM L) {
    if (!fmMdi) return false;
    if (Msg == WM_SETSONGPOS) {
        fmMdi->WMSetSongPos(L);
        return true;
    }
    if (Msg == WM_REFILLQUEUE) {
        fmMdi->WMRefillQueue();
        return true;
    }
    return false;
}
