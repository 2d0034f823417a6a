#include "app/editorhost.h"

#include "app/arrange.h"
#include "app/main.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/audio.h"
#include "devices/meditor.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "devices/ui/editorform.h"
#include "editors/audio/sampleedit.h"
#include "gui/scroll.h"
#include "platform/core/messages.h"
#include "platform/window/focus.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/trackout.h"
#include "song/undo.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

using namespace platform;

namespace {

TEditorHostSeams seams;

// Set while a pause that a plug-in asked for (operation 2, A = 1) is in force; only that pause
// is ended by operation 2 with A = 2.
bool pluginPause = false;

// Furthest a plug-in may move the song position.
constexpr std::intptr_t MaxPosition = 1 << 30;

bool PartInSong(const _TPart* Part) {
    if (!Part || !Song) return false;
    for (int i = 0; i < TrackCount; ++i)
        for (const _TPart* p = Song->Tracks[i]->Parts; p; p = p->Next)
            if (p == Part) return true;
    return false;
}

// The parts area and an open key editor repaint.
void RepaintEditedParts() {
    MainWindow().PaintParts(-1);
    MidiEditors().InvalidateViews();
    if (fmAudio) fmAudio->audio->Invalidate();
}

// A new event from a plug-in's node, Tick after its part's start.
_TEvent* EventFromNode(const TMeEvent& Node, int Tick) {
    _TEvent* e = NewEvent(std::max(Tick, 0), Node.Message);
    if (MidiStatus(Node.Message) == 0xF0) {
        if (MidiData1(Node.Message) == 0) {
            if (Node.Length > 0 && Node.Data.Bytes) SetEventBlock(*e, Node.Data.Bytes, Node.Length);
        } else if (MidiData1(Node.Message) == 1) {
            SetEventValue(*e, static_cast<std::uint32_t>(Node.Data.Value));
        }
    }
    return e;
}

void Transport(std::intptr_t A, std::intptr_t B) {
    if (!fmMdi) return;
    switch (A) {
    case 1:
        fmMdi->StopPlayback(false);
        break;
    case 2:
        fmMdi->StartPlayback(false);
        break;
    case 3:
        switch (B) {
        case -1:
            fmMdi->GotoLeftLocator();
            break;
        case -2:
            fmMdi->GotoRightLocator();
            break;
        case -3:
            fmMdi->GotoSongStart();
            break;
        case -4:
            fmMdi->GotoSongEnd();
            break;
        case -5:
            fmMdi->StartFastForward(fmMdi->WindStep);
            break;
        case -6:
            fmMdi->StartRewind(fmMdi->WindStep);
            break;
        case -7:
            fmMdi->StopWinding();
            break;
        default:
            fmMdi->SetSongPosition(static_cast<int>(std::clamp<std::intptr_t>(B, 0, MaxPosition)));
            break;
        }
        break;
    case 4:
        if (MdiHooks().RecordPunchIn) MdiHooks().RecordPunchIn();
        break;
    default:
        break;
    }
}

std::int32_t Edit(std::intptr_t A) {
    if (!fmMdi) return -1;
    if (A == 1) {
        if (pluginPause || !fmMdi->PausePlayback()) return -1;
        pluginPause = true;
        return 1;
    }
    if (A == 2 && pluginPause) {
        pluginPause = false;
        fmMdi->ResumePlayback();
    }
    return -1;
}

void Send(std::intptr_t A) {
    _TTrack* track = Song ? Song->CurrentTrack() : nullptr;
    if (!track) return;
    std::uint32_t msg = static_cast<std::uint32_t>(A);
    const std::uint32_t status = msg & 0xFF;
    // Only channel messages take the track's channel; system messages pass as they are.
    if (track->Channel >= 0 && status >= 0x80 && status <= 0xEF)
        msg = (msg & ~0x0Fu) | static_cast<std::uint32_t>(track->Channel & 0x0F);
    SendToTrack(track, msg);
}

// Operation 5: every node goes in from Part, its delta counting from Part's start.
void Insert(_TPart* Part, const TMeEvent* First) {
    {
        TEditGuard guard;
        if (!guard) return;
        for (const TMeEvent* n = First; n; n = n->Next) {
            _TPart* into = Part;
            InsertEvent(into, EventFromNode(*n, n->Delta));
            into->Flags |= pfRedraw;
        }
        Song->Modified = 1;
    }
    RepaintEditedParts();
    MidiEditors().UpdateEventListScroll();
}

std::int32_t OpenUndoStep(std::intptr_t B) {
    if (!Song || !Song->CurrentPart) return -1;
    TEditGuard guard;
    if (!guard) return -1;
    const char* text = reinterpret_cast<const char*>(B);
    Song->UndoStore->Begin(ukEdit, "Undo " + std::string(text ? text : ""));
    Song->UndoStore->AddPart(SnapshotPart(Song->CurrentPart));
    return 1;
}

void Undo() {
    if (seams.UndoAndRepaint) {
        seams.UndoAndRepaint();
        return;
    }
    if (!Song) return;
    {
        TEditGuard guard;
        if (!guard) return;
        Song->Undo();
    }
    RepaintEditedParts();
}

void Delete(_TPart* Part, std::intptr_t B) {
    if (B == 0 || B == 1) {
        // The scheduler, the softsynth queues and their voices hold the part's events while
        // the song plays: they are freed only inside an edit pause, the plug-in's own or one
        // taken here.
        std::optional<TEditGuard> guard;
        if (!pluginPause) {
            guard.emplace();
            if (!*guard) return;
        }
        if (seams.BeforeDelete) seams.BeforeDelete();
        if (B == 0)
            FreePartEvents(Part);
        else
            DeleteSelectedEvents(Part);
        Song->Modified = 1;
    }
    Part->Flags |= pfRedraw;
    RepaintEditedParts();
}

// Operation 8: the nodes go into the recording part at the MIDI position.
void Record(const TMeEvent* First) {
    if (!Song || !Song->RecordPart || !First || !Midi) return;
    const int pos = Midi->GetPos();
    TRendererHold hold; // the audio thread walks the recording part
    for (const TMeEvent* n = First; n && Song->RecordPart; n = n->Next)
        InsertEvent(Song->RecordPart, EventFromNode(*n, pos - Song->RecordPart->Start));
}

std::int32_t Position(std::intptr_t A) {
    if (A != 0 && A != 1) return 0;
    int ticks = 0;
    if (Midi && Midi->Pending)
        ticks = Midi->GetPos();
    else if (Song)
        ticks = Song->Position;
    if (A == 0) return ticks;
    return static_cast<std::int32_t>(std::nearbyint(TicksToMs(ticks)));
}

} // namespace

TEditorHostSeams& EditorHostSeams() {
    return seams;
}

bool EditorPluginPaused() {
    return pluginPause;
}

extern "C" std::int32_t EditorHostCallback(void* /*Context*/, std::int32_t Op, std::intptr_t A,
                                           std::intptr_t B) {
    if (Op == ME_OP_POSITION) return Position(A);
    // Everything else works on the song and the windows: the GUI thread's alone.
    if (!IsGuiThread() || !Song) return -1;
    switch (Op) {
    case ME_OP_TRANSPORT:
        Transport(A, B);
        return -1;
    case ME_OP_EDIT:
        return Edit(A);
    case ME_OP_FOCUS:
        if (fmMdi) {
            HWND h = fmMdi->Handle();
            if (IsWindowVisible(h) && IsWindowEnabled(h)) SetFocus(h);
        }
        return -1;
    case ME_OP_SEND:
        Send(A);
        return -1;
    case ME_OP_INSERT: {
        auto* part = reinterpret_cast<_TPart*>(A);
        if (PartInSong(part)) Insert(part, reinterpret_cast<const TMeEvent*>(B));
        return -1;
    }
    case ME_OP_UNDO:
        if (A == 0) return OpenUndoStep(B);
        if (A == 1) Undo();
        return -1;
    case ME_OP_DELETE: {
        auto* part = reinterpret_cast<_TPart*>(A);
        if (PartInSong(part)) Delete(part, B);
        return -1;
    }
    case ME_OP_RECORD:
        Record(reinterpret_cast<const TMeEvent*>(A));
        return -1;
    default:
        return -1;
    }
}

// Command 8 of the transport: to the editor plug-ins that asked for it.
void TTransportWindows::BroadcastEditors(int Cmd, std::intptr_t A, std::intptr_t B) {
    if (EditorEngine) EditorEngine->Broadcast(Cmd, A, B);
}

void InstallEditorPlugins() {
    InstallEditorForms();
    ArrangeSeams().BuildEditorsMenu = [] { BuildEditorSlots(); };
}
