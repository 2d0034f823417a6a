#pragma once
// The arrange window's side of the transport (kept apart from arrange.h: the transport's
// message constants meet the MIDI input's in some units).

#include "app/arrange.h"
#include "app/transport.h"

// What the transport asks of the arrange window: its play cursor, the scroll to the song start
// or end, the current part redrawn after a recording, the track list and output menus. The
// window installs it at creation unless other answers are installed already (a window that
// answers more of the transport's questions derives from it and installs itself).
class TArrangeTransportWindows : public TTransportWindows {
public:
    bool ArrangeExists() override { return fmArrange != nullptr; }
    void MovePlayCursor(int Position, bool InEditors, bool NoScroll) override;
    void ScrollArrangeToStart() override;
    void ScrollArrangeToEnd(int Tick) override;
    void RedrawCurrentPart() override;
    void BuildOutputMenus() override;
    void RepaintTrackList() override;
    // An audio take ended: the main window's handler.
    void AudioRecordDone() override;
    // The current softsynth track's editor window shown or hidden.
    void ToggleSynthEditor() override;
    // The key editor's grid, lane and list; its window for MIDI input.
    void RepaintKeyEditor() override;
    platform::HWND KeyEditorWindow() override;
};
