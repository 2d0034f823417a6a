// The arrange window's track list: one row per track with its input activity, name, channel,
// mute, output, bank and program, the four mixer controllers (sliders that send controllers 7,
// 10, 91 and 93 at once) and the input transposition. A click makes a row the current track,
// a drag moves the track to another row, the header's texts open the matching dialogs and
// menus.
#include "app/arrange.h"

#include "app/arrangetransport.h"
#include "app/dialogs.h"
#include "app/editcommands.h"
#include "app/main.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/midimsg.h"
#include "editors/audio/sampleedit.h"
#include "editors/midi/key.h"
#include "gui/scroll.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/gdi/gdi.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/gmnames.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/timebase.h"
#include "song/trackout.h"

#include <algorithm>
#include <string>

using namespace platform;

namespace {

// Columns 6..9: the controller each sends and what goes out when it is set to none.
constexpr int kVolumeColumn = 6;
constexpr int kControllers[4] = {7, 10, 91, 93};
constexpr int kNeutral[4] = {127, 64, 0, 0};
constexpr int kMuteColumn = 3;
constexpr TColor kMutedText = 0x808080;
constexpr TColor kInpHeaderPen = 0xFF0000;

bool IsValueColumn(int Column) {
    return Column >= kVolumeColumn && Column < kVolumeColumn + 4;
}

template <class Track> auto& ValueField(Track& T, int Column) {
    switch (Column - kVolumeColumn) {
    case 0:
        return T.Volume;
    case 1:
        return T.Pan;
    case 2:
        return T.Reverb;
    default:
        return T.Chorus;
    }
}

// The row under a client y; outside 0..127 when there is none.
int RowAtY(const TScroll& List, int Y) {
    return (Y - List.OffsetY) / TrackHeight;
}

// The list's rename choice: the track list repaints itself; each window starts with names.
class TArrangeTrackList : public TTrackListSeam {
public:
    void Repaint() override {
        if (fmArrange) fmArrange->tracks->Invalidate();
    }
};
TArrangeTrackList g_trackList;

std::string ProgText(const _TTrack& T) {
    if (T.Mode == tmAudio) return "---";
    std::string s;
    if (T.Bank == -1)
        s = "-";
    else if (T.Layout & 0x4000)
        s = std::to_string(T.Bank / 65536) + "/" + std::to_string(T.Bank % 65536);
    else
        s = std::to_string(T.Bank);
    return s + "/" + (T.Program == -1 ? std::string("-") : std::to_string(T.Program));
}

std::string NameText(const _TTrack& T) {
    // A stored program beyond the 128 GM names keeps the track's own name.
    if (!TrackList().TrackNames() && T.Mode == tmMidi && T.Program >= 0 && T.Program < 128)
        return std::string(GmProgramNames[std::size_t(T.Program)]);
    return T.Name;
}

std::string ChannelText(const _TTrack& T) {
    if (!IsMidiMode(T.Mode)) return "---";
    return T.Channel == -1 ? std::string("Off") : std::to_string(T.Channel + 1);
}

} // namespace

void TfmArrange::InstallTrackList() {
    tracks->OnPaint = [this](TCanvas& C) { DrawTrackRows(C); };
    tracks->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        TracksMouseDown(B, S, X, Y);
    };
    tracks->OnMouseMove = [this](TObject*, TShiftState S, int X, int Y) {
        TracksMouseMove(S, X, Y);
    };
    tracks->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        TracksMouseUp(B, S, X, Y);
    };
    tracks->PopupMenu = TrackPopup;
    trackTitles->OnSectionClick = [this](THeaderControl*, THeaderSection* S) {
        TrackTitlesSectionClick(S->GetText());
    };
    trackTitles->OnSectionTrack = [this](THeaderControl*, THeaderSection* S, int Width,
                                         TSectionTrackState) { OnSectionTrack(S->Index(), Width); };
    trackTitles->OnDrawSection = [](THeaderControl* H, THeaderSection*, const TRect& R, bool) {
        TCanvas& c = H->Canvas();
        c.Pen.Style = psSolid;
        c.Pen.Mode = pmCopy;
        c.Pen.Color = kInpHeaderPen;
        c.Pen.Width = 2;
        c.MoveTo(R.Left + 2, R.Top + 5);
        c.LineTo(R.Right - 5, R.Top + 5);
        c.MoveTo(R.Left + 2, R.Top + 9);
        c.LineTo((R.Left + R.Right) / 4, R.Top + 9);
        c.MoveTo(R.Left + 2, R.Top + 13);
        c.LineTo((R.Left + R.Right) / 2, R.Top + 13);
        c.Pen.Width = 1;
    };
    g_trackList.SetTrackNames(true);
    SetTrackList(&g_trackList);
    MdiHooks().ToggleTrackMute = [](int Track) {
        if (fmArrange) fmArrange->ToggleTrackMute(Track);
    };
}

void TfmArrange::RemoveTrackList() {
    if (&TrackList() == &g_trackList) SetTrackList(nullptr);
}

int TfmArrange::ColumnAt(int X, int& Left, int& Right) const {
    int found = 0, left = 0;
    for (int i = 0; i < trackTitles->SectionCount(); ++i) {
        const int right = left + trackTitles->Sections(i)->Width;
        if (left <= X && X <= right) {
            found = i;
            Left = left;
            Right = right;
        }
        left = right;
    }
    return found;
}

void TfmArrange::SetTrackValue(int Row, int Column, int X, int Left, int Right) {
    _TTrack* t = Song->TrackAt(Row);
    const int l = Left + 5, r = Right - 5;
    // A column of 10 pixels or less has no slider.
    if (!t || !IsValueColumn(Column) || r <= l) return;
    const int v = Clamp(RoundExtended(static_cast<long double>(X - l) /
                                      (static_cast<long double>(r - l) * (1.0L / 127))),
                        -1, 127);
    const int k = Column - kVolumeColumn;
    ValueField(*t, Column) = v < 0 ? -1 : v;
    SendOnTrackChannel(
        t,
        PackMidiMsg(0xB0, std::uint32_t(kControllers[k]), std::uint32_t(v < 0 ? kNeutral[k] : v)),
        tsQueued);
    InvalidateTrackRow(Row);
}

void TfmArrange::ToggleTrackMute(int Track) {
    _TTrack* t = Song ? Song->TrackAt(Track) : nullptr;
    if (!t) return;
    if (t->Mode == tmDisk) {
        t->Mute = !t->Mute;
    } else {
        TEditGuard guard;
        if (!guard) return;
        t->Mute = !t->Mute;
        if (t->Mute) TrackAllNotesOff(t);
    }
    InvalidateTrackRow(Track);
    RefreshTrackbar();
    if (fmKey) fmKey->UpdateMuteButton();
    if (fmAudio) fmAudio->UpdateMuteButton();
}

void TfmArrange::TracksMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    ActiveControl = nullptr;
    if (Button == mbRight || !Song || Song->State == 1) return;
    int left = 0, right = 0;
    const int c = ColumnAt(X, left, right);
    const int row = RowAtY(*tracks, Y);
    const bool onRow = row >= 0 && row < TrackCount;
    if (c == kMuteColumn && onRow) {
        ToggleTrackMute(row);
        return;
    }
    if (IsValueColumn(c) && onRow) {
        ValueDragColumn = c;
        ValueDragRow = row;
        SetTrackValue(row, c, X, left, right);
        TrackDragRow = -2;
        SetCapture(tracks->Handle());
        return;
    }
    bool repaint = false;
    if (onRow && row != Song->CurrentTrackIndex) {
        InvalidateTrackRow(Song->CurrentTrackIndex);
        Song->CurrentTrackIndex = row;
        InvalidateTrackRow(row);
        SendThru();
        RefreshTrackbar();
        if (Song->SoloTrack != -1 && fmMdi) fmMdi->ToggleSolo(true);
        if (Song->SelectedPartCount() > 0) {
            Song->UnselectAllParts();
            repaint = true;
        }
    }
    TrackDragRow = onRow ? int(Song->CurrentTrackIndex) : -1;
    if (TrackDragRow >= 0) SetCapture(tracks->Handle());
    if (Shift & ssShift) {
        for (_TPart* p = Song->CurrentTrack()->Parts; p; p = p->Next)
            p->Flags |= pfSelected | pfRedraw;
        repaint = true;
    }
    if (Shift & ssDouble) TransportWindows().ToggleSynthEditor();
    if (repaint) RedrawParts(false);
}

void TfmArrange::TracksMouseMove(TShiftState, int X, int Y) {
    const int row = RowAtY(*tracks, Y);
    if (TrackDragRow >= 0) {
        const int over = std::clamp(row, 0, TrackCount - 1);
        SetScreenCursor(over != TrackDragRow ? CursorOf(crDrag) : 0);
    } else if (TrackDragRow == -2) {
        // A value drag stays in its cell; outside it the value waits.
        int left = 0, right = 0;
        const int c = ColumnAt(X, left, right);
        if (IsValueColumn(c) && c == ValueDragColumn && row == ValueDragRow)
            SetTrackValue(row, c, X, left, right);
    }
}

void TfmArrange::TracksMouseUp(TMouseButton, TShiftState, int, int Y) {
    const int row = std::clamp(RowAtY(*tracks, Y), 0, TrackCount - 1);
    if (TrackDragRow >= 0 && row != TrackDragRow) {
        TEditGuard guard;
        if (guard) {
            Song->MoveTrack(TrackDragRow, row);
            SendThru(); // the moved track's index is the thru route's
            guard.Release();
            arrange->Invalidate();
            tracks->Invalidate();
        }
    }
    if (TrackDragRow != -1 && GetCapture() == tracks->Handle()) ReleaseCapture();
    TrackDragRow = -1;
    SetScreenCursor(0);
}

void TfmArrange::TrackTitlesSectionClick(const std::string& Text) {
    if (!Song) return;
    _TTrack* t = Song->CurrentTrack();
    const bool midi = t && IsMidiMode(t->Mode);
    TPoint p{};
    GetCursorPos(&p);
    if (Text == "Tracks") {
        if (fmMdi) fmMdi->ShowRenameTrack();
    } else if (Text == "M") {
        ToggleTrackMute(Song->CurrentTrackIndex);
    } else if (Text == "Ch") {
        if (midi) PopupCh->Popup(p.X, p.Y);
    } else if (Text == "Prog") {
        if (!midi) return;
        if (EditCommandSeams().ShowUserBank) EditCommandSeams().ShowUserBank();
        InvalidateTrackRow(Song->CurrentTrackIndex);
    } else if (Text == "Output") {
        if (PopupDevice) PopupDevice->Popup(p.X, p.Y);
    } else if (Text == "Transp") {
        if (midi && fmMdi) fmMdi->ShowTrackTranspose();
    }
}

void TfmArrange::OnSectionTrack(int Section, int Width) {
    THeaderSection* s = trackTitles->Sections(Section);
    if (s->Width != Width) s->Width = Width;
    tracks->Invalidate();
    if (tracks->HandleAllocated()) UpdateWindow(tracks->Handle());
}

void TfmArrange::DrawTrackRows(TCanvas& C) {
    if (!Song || !fmMdi) return;
    const int w = tracks->GetClientWidth(), h = tracks->GetClientHeight() - tracks->OffsetY;
    const TRect clip = C.ClipRect();
    C.Pen.Mode = pmCopy;
    C.Pen.Width = 1;
    if (fmMdi->UseBitmap && !Image1.Empty()) {
        const int bw = Image1.Width(), bh = Image1.Height();
        for (int y = clip.Top / bh * bh; y < clip.Bottom; y += bh)
            for (int x = clip.Left / bw * bw; x < clip.Right; x += bw)
                C.Draw(x, y, Image1);
    } else {
        C.Brush.Style = bsSolid;
        C.Brush.Color = fmMdi->ControlBkColor;
        C.FillRect({0, 0, w, h});
    }
    const int current = Song->CurrentTrackIndex;
    C.Pen.Style = psSolid;
    C.Pen.Color = TracksSelBkColor;
    C.Brush.Style = bsSolid;
    C.Brush.Color = TracksSelBkColor;
    C.Rectangle(0, current * TrackHeight, w, (current + 1) * TrackHeight);

    // The sections' lefts and widths; a separator right of each but the first runs the list's
    // whole height.
    const int n = std::min(trackTitles->SectionCount(), 11);
    int xs[11] = {}, ws[11] = {};
    C.Pen.Color = fmMdi->ColumnSeparator;
    for (int i = 0, x = 5; i < n; ++i) {
        xs[i] = x;
        ws[i] = trackTitles->Sections(i)->Width;
        x += ws[i];
        if (i == 0) continue;
        C.MoveTo(xs[i] + ws[i] - 6, 0);
        C.LineTo(xs[i] + ws[i] - 6, h);
    }

    C.Font = tracks->Font.Get();
    const TColor font = tracks->Font.Get().Color;
    std::string text;
    for (int r = 0; r < TrackCount; ++r) {
        const int y = r * TrackHeight;
        if (clip.Bottom < y) break;
        if (clip.Top > y + TrackHeight) continue;
        const _TTrack& t = *Song->TrackAt(r);
        const int mode = t.Mode;
        const TColor colour = r == current ? TracksSelColor : t.Mute ? kMutedText : font;
        for (int i = 1; i < n; ++i) {
            TRect cell{xs[i], y, xs[i] + ws[i] - 10, y + TrackHeight};
            unsigned format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_CENTER;
            switch (i) {
            case 1:
                text = NameText(t);
                format &= ~DT_CENTER;
                break;
            case 2:
                text = ChannelText(t);
                break;
            case 3:
                text = t.Mute ? "x" : "";
                break;
            case 4:
                TrackOutputText(t, text);
                format &= ~DT_CENTER;
                break;
            case 5:
                text = ProgText(t);
                break;
            case 10:
                text = mode == tmAudio ? "---" : std::to_string(t.Transpose);
                break;
            default: {
                const int v = ValueField(t, i);
                const bool shown = !(i == 7 && !IsMidiMode(mode)) && !(i >= 8 && mode != tmMidi);
                if (v == -1 || cell.Right <= cell.Left || !shown) {
                    text = "---";
                    break;
                }
                C.Brush.Style = bsSolid;
                C.Brush.Color = fmMdi->PartsBkColor;
                C.Pen.Color = fmMdi->PartsBkColor;
                C.Rectangle(cell.Left, cell.Top + 4,
                            cell.Left +
                                RoundExtended(static_cast<long double>(cell.Right - cell.Left) *
                                              (1.0L / 127) * v),
                            cell.Bottom - 4);
                C.Pen.Color = 0;
                text = std::to_string(v);
                break;
            }
            }
            if (text.empty()) continue;
            C.Brush.Style = bsClear;
            CanvasDrawText(C, text, &cell, format, colour);
        }
    }
}

bool TfmArrange::DecayInputActivity() {
    bool any = false;
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song ? Song->TrackAt(i) : nullptr;
        if (!t || t->InputActivity == 0) continue;
        t->InputActivity = t->InputActivity - 2;
        any = true;
    }
    return any;
}

void TfmArrange::DrawInputLeds() {
    if (!fmMdi || !fmMdi->LedActive || !Song || !tracks->HandleAllocated()) return;
    const int w0 = trackTitles->SectionCount() > 0 ? int(trackTitles->Sections(0)->Width) : 0;
    const int oy = tracks->OffsetY;
    TCanvas* c = nullptr;
    for (int r = 0; r < TrackCount; ++r) {
        _TTrack* t = Song->TrackAt(r);
        int a = t->InputActivity;
        if (a == 0) continue;
        if (a <= 2) t->InputActivity = a = 0;
        const bool current = r == Song->CurrentTrackIndex;
        const TColor colour = Song->State == 1 && current ? TColor(255) : fmMdi->LedColor;
        const int top = TrackHeight * r + 4 + oy, bottom = TrackHeight * (r + 1) - 4 + oy;
        const int right = RoundExtended(static_cast<long double>(w0) * 0.1L * a);
        if (!c) c = &tracks->Canvas();
        c->Brush.Style = bsSolid;
        c->Brush.Color = colour;
        c->FillRect({0, top, right, bottom});
        const TRect rest{right, top, w0, bottom};
        if (current) {
            c->Brush.Color = TracksSelBkColor;
            c->FillRect(rest);
        } else if (rest.Right > rest.Left) {
            InvalidateRect(tracks->Handle(), &rest, true);
        }
    }
}
