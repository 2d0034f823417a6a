// The parts area's mouse: a click selects (Shift and the rubber band toggle), a drag moves the
// selected parts (Ctrl copies them), Alt+drag resizes a part by whole snap steps or scrolls the
// view on empty space, a double-click inserts a part between the locators or opens the part's
// editor, Alt+double-click splits the selected parts. The song changes only at the release,
// inside the edit guard; selection changes stay outside it.
#include "app/arrange.h"

#include "app/main.h"
#include "app/transport.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "song/partcmds.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/timebase.h"

using namespace platform;

namespace {

// Rows are whole TrackHeight bands from content y 0; above it there is no row.
int RowAt(int Y) {
    return Y < 0 ? -1 : Y / TrackHeight;
}

_TPart* PartUnder(int X, int Y) {
    const _TTrack* t = Song->TrackAt(RowAt(Y));
    return t ? PartAtTick(t, PixelToTick(X)) : nullptr;
}

// Tracks a vertical drag of Dy pixels moves: the nearest row, an exact half away from zero.
int RowsMoved(int StartY, int CurY) {
    const int dy = CurY - StartY, half = TrackHeight / 2;
    return StartY < CurY ? (dy + half) / TrackHeight : (dy - half) / TrackHeight;
}

void SetDragRectToSelection(TfmArrange& A) {
    TSong::TRect r;
    Song->SelectedPartsRect(r);
    DragRect->Rect = TRect{r.Left, r.Top, r.Right, r.Bottom};
    DragRect->Snap = A.DragSnapStep();
}

} // namespace

int TfmArrange::DragSnapStep() const {
    return SnapMode == 2 ? BeatWidth * SongBeatsPerBar() : BeatWidth;
}

void TfmArrange::InstallPartsMouse() {
    arrange->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        PartsMouseDown(B, S, X, Y);
    };
    arrange->OnMouseMove = [this](TObject*, TShiftState S, int X, int Y) {
        PartsMouseMove(S, X, Y);
    };
    arrange->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        PartsMouseUp(B, S, X, Y);
    };
    OnDeactivate = [this](TObject*) { CancelDrag(); };

    TMenuItem* edit = MainMenu->Items->Items(0); // "&Edit"
    miSnap = new TMenuItem("Snap", [this](TMenuItem*) {
        miSnapBeats->Checked = SnapMode == 1;
        miSnapBars->Checked = SnapMode == 2;
    });
    edit->Add(miSnap);
    miSnapBeats = new TMenuItem("Beats", [this](TMenuItem*) { SnapMode = 1; });
    miSnapBars = new TMenuItem("Bars", [this](TMenuItem*) { SnapMode = 2; });
    for (TMenuItem* i : {miSnapBeats, miSnapBars}) {
        i->RadioItem = true;
        miSnap->Add(i);
    }
}

void TfmArrange::PartsMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    ActiveControl = nullptr;
    if (Button == mbRight || !Song || !DragRect) return;
    const int x = X - arrange->OffsetX, y = Y - arrange->OffsetY;
    const int row = RowAt(y);
    _TPart* part = PartUnder(x, y);

    if (Shift & ssDouble) {
        if (Shift & ssAlt) {
            TEditGuard guard;
            if (!guard) return;
            const int t = PixelToTickSnapped(x);
            Song->SplitParts(t, t, true);
            guard.Release();
            arrange->Invalidate();
            return;
        }
        const int t = PixelToTick(x);
        if (Song->TrackAt(row) && !part && t >= Song->LeftLocator && t < Song->RightLocator) {
            InsertPartBetweenLocators(row);
        } else if (part) {
            Song->UnselectAllParts();
            Song->SetCurrentPart(part);
            part->Flags |= pfSelected | pfRedraw;
            RedrawParts(false);
            OpenPartEditor();
        }
        return;
    }

    SetCapture(arrange->Handle());
    arrange->ApplyOrigin();
    TCanvas& c = arrange->Canvas();
    if (part && (Shift & ssAlt)) {
        Song->UnselectAllParts();
        part->Flags |= pfSelected | pfRedraw;
        Song->SetCurrentPart(part);
        SetDragRectToSelection(*this);
        const bool left = PixelToTickSnapped(x) < part->Start + part->Length / 2;
        DragRect->BeginDrag(left ? 6 : 5, 1, c, x, y, 2000);
        SetScreenCursor(CursorOf(crSizeWE));
        RedrawParts(false);
        Dragging = 1;
    } else if (!part && (Shift & ssAlt)) {
        HandScroll = 1;
        HandScrollX = X;
        HandScrollY = Y;
    } else if (!part || (Shift & ssShift)) {
        if (!(Shift & ssShift)) {
            Song->UnselectAllParts();
            RedrawParts(false);
            Song->SetCurrentPart(nullptr);
        }
        DragRect->BeginDrag(1, 1, c, x, y, 2000);
        Dragging = 1;
    } else {
        if (!(part->Flags & pfSelected)) {
            Song->UnselectAllParts();
            part->Flags |= pfSelected | pfRedraw;
            if (part->Group > 0) Song->SelectGroup(part->Group);
            Song->SetCurrentPart(part);
            RedrawParts(false);
        }
        SetDragRectToSelection(*this);
        const bool copy = Shift & ssCtrl;
        DragRect->BeginDrag(copy ? 3 : 2, 1, c, x, y, TrackHeight * 128 - 2);
        PaintDragBitmap();
        if (copy) SetScreenCursor(CursorOf(crDrag));
        Dragging = 1;
    }
}

void TfmArrange::PartsMouseMove(TShiftState Shift, int X, int Y) {
    if (!Song || !DragRect) return;
    const int x = X - arrange->OffsetX, y = Y - arrange->OffsetY;
    const int ox = arrange->OffsetX, oy = arrange->OffsetY;
    if (DragRect->Mode != 0) {
        if (x < -ox || x > arrange->GetClientWidth() - ox || y < -oy ||
            y > arrange->GetClientHeight() - oy) {
            StartAutoScroll();
        } else {
            arrange->ApplyOrigin();
            DragRect->DragTo(arrange->Canvas(), x, y);
        }
    } else if (Shift & ssAlt) {
        SetScreenCursor(PartUnder(x, y) ? CursorOf(crSizeWE) : 0);
        if (HandScroll && ScrollX && ScrollY) {
            ScrollX->SetPosition(ScrollX->Position - (X - HandScrollX));
            ScrollX->Changed();
            ScrollY->SetPosition(ScrollY->Position - (Y - HandScrollY));
            ScrollY->Changed();
            HandScrollX = X;
            HandScrollY = Y;
        }
    } else {
        SetScreenCursor(0);
    }
}

void TfmArrange::PartsMouseUp(TMouseButton Button, TShiftState /*Shift*/, int X, int Y) {
    HandScroll = 0;
    SetScreenCursor(0);
    scrollTimer.Enabled = false;
    if (Button == mbRight || !Song || !DragRect) return;
    ReleaseCapture();
    const int x = X - arrange->OffsetX, y = Y - arrange->OffsetY;
    arrange->ApplyOrigin();
    TCanvas& c = arrange->Canvas();
    TSelect& d = *DragRect;
    switch (d.Mode) {
    case 5:
    case 6: {
        const bool atEnd = d.Mode == 5;
        Dragging = 0;
        d.EndDrag(c, x, y);
        arrange->Update();
        EraseSelectedParts();
        const int beats = (PixelToTickSnapped(d.CurX) - PixelToTickSnapped(d.StartX)) / 240;
        _TPart* part = Song->CurrentPart;
        // ResizePart frees events and moves the part's span: never under a running block. A
        // drag back to its start column changes nothing and keeps the last undo step.
        if (part && beats != 0) {
            TEditGuard guard;
            if (guard) ResizePart(part, beats, atEnd);
        }
        if (part) part->Flags |= pfRedraw;
        RedrawParts(false);
        break;
    }
    case 1: {
        Dragging = 0;
        d.EndDrag(c, x, y);
        if (Song->TogglePartsInArea(d.StartY / TrackHeight, PixelToTick(d.StartX),
                                    d.CurY / TrackHeight, PixelToTick(d.CurX))) {
            RedrawParts(false);
            Song->SetCurrentPart(Song->SelectedPartCount() == 1 ? Song->FirstSelectedPart()
                                                                : nullptr);
        }
        break;
    }
    case 2:
    case 3: {
        const bool copy = d.Mode == 3;
        Dragging = 0;
        d.EndDrag(c, x, y);
        const int tracks = RowsMoved(d.StartY, d.CurY);
        const int ticks = PixelToTickSnapped(d.CurX) - PixelToTickSnapped(d.StartX);
        if (tracks == 0 && ticks == 0) {
            if (!copy) RedrawSelectedParts();
            break;
        }
        TEditGuard guard;
        if (!guard) break; // dropped: the outline is gone, the parts stay
        if (copy) {
            Song->CopySelectedParts(tracks, ticks);
            guard.Release();
            RedrawParts(false);
        } else {
            EraseSelectedParts();
            Song->MoveSelectedParts(tracks, ticks);
            RedrawParts(false);
            guard.Release();
        }
        break;
    }
    default:
        break;
    }
}

void TfmArrange::CancelDrag() {
    if (!Dragging || !DragRect || DragRect->Mode == 0) return; // its own drags only
    arrange->ApplyOrigin();
    DragRect->EndDrag(arrange->Canvas(), 0, 0);
    SetScreenCursor(0);
    // The drag is over: playback may scroll the view again and no auto-scroll outlives it.
    Dragging = 0;
    scrollTimer.Enabled = false;
    ReleaseCapture();
}
