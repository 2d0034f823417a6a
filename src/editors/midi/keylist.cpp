// The key editor's event list: one row per event of the part in time order with its time,
// channel, kind and data, the selection in yellow and the song position as a grey line; clicks
// select, a double click chooses the lane, the column strip sets the list's width, and the
// system-exclusive dialogs are opened from here.
#include "editors/midi/key.h"

#include "app/main.h"
#include "devices/midimsg.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/gdi/gdi.h"
#include "platform/menus/menus.h"
#include "platform/window/window.h"
#include "song/gmnames.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/textconv.h"
#include "song/timebase.h"

#include <algorithm>
#include <cstdio>

using namespace platform;

namespace {

constexpr TColor kSelectedText = 0x00FFFF;
constexpr TColor kPositionLine = 0x808080;

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

bool IsSysex(const _TEvent* E) {
    return MidiStatus(E->Msg) == 0xF0 && MidiData1(E->Msg) == 0;
}

std::string Format(const char* F, int V) {
    char b[16];
    std::snprintf(b, sizeof b, F, V);
    return b;
}

// The "Status", "Data-1" and "Data-2" texts of an event.
void RowTexts(const _TEvent* E, int View, std::string T[3]) {
    const std::uint32_t m = E->Msg, st = MidiStatus(m), d1 = MidiData1(m), d2 = MidiData2(m);
    T[1] = std::to_string(d1);
    T[2] = std::to_string(d2);
    if (IsNoteOn(m)) {
        T[0] = "Note on";
        T[1] = MidiNoteName(int(d1));
    } else if (IsNoteOff(m)) {
        T[0] = "Note off";
        T[1] = MidiNoteName(int(d1));
        T[2].clear();
    } else if (st == 0xC0 || st == 0xA0 || st == 0xD0) {
        T[0] = st == 0xC0 ? "Program change" : st == 0xA0 ? "Key pressure" : "Channel pressure";
        T[2].clear();
    } else if (st == 0xE0) {
        T[0] = "Pitch wheel";
        T[1] = std::to_string(int(128 * d2 + d1) - 8192);
        T[2].clear();
    } else if (st == 0xF0 && d1 == 0) {
        T[0] = "Sysex";
        T[1] = std::to_string(E->DataLen) + " bytes";
        T[2].clear();
    } else if (st == 0xF0 && d1 == 1) {
        const std::uint32_t v = EventValue(*E);
        T[0] = "NRPN";
        T[1] = std::to_string(v & 0xFF) + ", " + std::to_string((v >> 8) & 0xFF);
        T[2] = std::to_string(int(128 * ((v >> 16) & 0xFF) + (v >> 24)) - 8192);
    } else if (st == 0xB0) {
        T[0] = "Control change";
        if (View == 0) ControllerLongName(int(d1), T[1]);
    } else if (st == msAweParam) {
        T[0] = "AWE NRPN";
        AweParamName(int(d1), T[1]);
        T[2] = std::to_string(int(128 * d2 + (m >> 24)) - 8192);
    } else {
        T[0] = "<" + std::to_string(m & 0xFF) + ">";
    }
}

TGuiScrollbar* ListBar(TMScroll* Host) {
    return dynamic_cast<TGuiScrollbar*>(Host->GetControlWithID("listvert"));
}

} // namespace

void TfmKey::BuildEventList() {
    list->OnPaint = [this](TCanvas& C) { PaintEventList(C); };
    list->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        listMouseDown(B, S, X, Y);
    };
    list->OnDblClick = [this](TObject*) {
        TPoint p{};
        GetCursorPos(&p);
        p = list->ScreenToClient(p);
        listDblClick(p.X, p.Y);
    };
    listTitles->OnSectionResize = [this](THeaderControl*, THeaderSection*) { list->Invalidate(); };
    sbListVert->OnControl = [this](TObject*, const std::string& Id, int V, const std::string&) {
        if (Id == "listvert") list->SetOffsetY(-V);
    };
    guiColumns->OnControl = [this](TObject*, const std::string& Id, int, const std::string&) {
        ColumnsClick(Id);
    };
    guiColumns->PopupMenu = PopupColumns;
    guiColumns->PassRightClick = true;
    miViewText->OnClick = [this](TMenuItem*) { SetListView(0); };
    miViewNumber->OnClick = [this](TMenuItem*) { SetListView(1); };
    miViewText->Checked = true;
    miInsertSysex->OnClick = [this](TMenuItem*) { InsertSysex(); };
    miEditSysex->OnClick = [this](TMenuItem*) { EditSysex(); };
}

void TfmKey::ListRowTexts(const _TEvent* Event, int Time, std::string Cells[5]) const {
    Cells[0] = FormatPosition(Time);
    Cells[1] = std::to_string((Event->Msg & 0x0F) + 1);
    RowTexts(Event, ListView, Cells + 2);
}

_TEvent* TfmKey::EventAtRow(int Row, int& Time) const {
    _TPart* part = ThePart();
    if (!part || Row < 0) return nullptr;
    Time = part->Start;
    int r = 0;
    for (_TEvent* e = part->Events; e; e = e->Next, ++r) {
        Time += e->Delta;
        if (r == Row) return e;
    }
    return nullptr;
}

void TfmKey::PaintEventList(TCanvas& C) {
    const int w = list->GetClientWidth(), h = list->GetClientHeight();
    const int top = -list->OffsetY;
    C.Brush.Style = bsSolid;
    C.Brush.Color = fmMdi ? fmMdi->ControlBkColor : TColor(0x1F1F1F);
    C.FillRect({-list->OffsetX, top, -list->OffsetX + w, top + h});
    _TPart* part = ThePart();
    if (!part || !panelList->Visible || panelList->Width == 0) return;
    C.Font = list->Font.Get();
    const int th = C.TextHeight("A");
    RowHeight = std::max(1, th + th / 4);
    const TColor text = fmMdi ? fmMdi->ControlTextColor : TColor(0xC0C0C0);
    if (!part->Events) {
        TRect r{5, 0, w - 5, RowHeight};
        CanvasDrawText(C, "<part is empty>", &r, DT_LEFT | DT_SINGLELINE, text);
    }
    // Column edges: the running sums of the header's sections.
    const int sections = listTitles->SectionCount();
    std::vector<int> edges(std::size_t(sections) + 1, 0);
    for (int i = 0; i < sections; ++i)
        edges[std::size_t(i) + 1] = edges[std::size_t(i)] + listTitles->Sections(i)->Width;
    const bool atPosition =
        Song->Position >= part->Start &&
        std::int64_t(Song->Position) <= std::int64_t(part->Start) + part->Length;
    int lineRow = -1, rows = 0, t = part->Start;
    std::string cells[5];
    for (const _TEvent* e = part->Events; e; e = e->Next, ++rows) {
        t += e->Delta;
        if (atPosition && lineRow < 0 && t >= Song->Position) lineRow = rows;
        const int y = rows * RowHeight;
        if (y < top - RowHeight || y > top + h) continue;
        const TColor colour = (e->Flags & efSelected) ? kSelectedText : text;
        ListRowTexts(e, t, cells);
        for (int i = 0; i < std::min(sections, 5); ++i) {
            TRect r{edges[std::size_t(i)] + 5, y, edges[std::size_t(i) + 1] - 5, y + RowHeight};
            if (r.Right <= r.Left) continue;
            CanvasDrawText(C, cells[i], &r,
                           (i == 1 ? DT_CENTER : DT_LEFT) | DT_SINGLELINE | DT_NOPREFIX, colour);
        }
    }
    if (TGuiScrollbar* bar = ListBar(sbListVert)) {
        const int max = rows * RowHeight - h;
        const bool enabled = max >= 1;
        if (bar->Max != std::max(0, max) || bar->Enabled != enabled) {
            bar->Max = std::max(0, max);
            bar->Enabled = enabled;
            bar->PageSize = std::max(1, h);
            bar->LineStep = RowHeight;
            bar->PageStep = std::max(RowHeight, h - RowHeight);
            bar->SetPosition(bar->Position); // drawn with its new range
        }
    }
    if (lineRow >= 0) {
        const int y = std::max(0, lineRow * RowHeight - 2);
        C.Pen.Mode = pmCopy;
        C.Pen.Style = psSolid;
        C.Pen.Width = 1;
        C.Pen.Color = kPositionLine;
        C.MoveTo(0, y);
        C.LineTo(w - list->OffsetX, y);
    }
}

void TfmKey::RepaintList() {
    if (list) list->Invalidate();
}

void TfmKey::RefreshEventList() {
    if (!list) return;
    list->Invalidate();
    TGuiScrollbar* bar = ListBar(sbListVert);
    if (bar && bar->Position != 0) {
        bar->SetPosition(0);
        bar->Changed();
        list->SetOffsetY(0);
    }
}

void TfmKey::ScrollListToSelection() {
    if (!list) return;
    _TPart* part = ThePart();
    TGuiScrollbar* bar = ListBar(sbListVert);
    list->Invalidate();
    if (!part || !bar) return;
    int row = 0;
    const _TEvent* e = part->Events;
    for (; e && !(e->Flags & efSelected); e = e->Next)
        ++row;
    if (e && bar->Enabled && row * RowHeight != list->GetClientHeight()) {
        bar->SetPosition(std::min(row * RowHeight, bar->Max));
        bar->Changed();
        list->SetOffsetY(-bar->Position);
    } else if (!bar->Enabled && bar->Position != 0) {
        bar->SetPosition(0);
        bar->Changed();
        list->SetOffsetY(0);
    }
}

void TfmKey::listMouseDown(TMouseButton Button, TShiftState Shift, int /*X*/, int Y) {
    _TPart* part = ThePart();
    if (EditMode == 2 || Button == mbRight || !part || !part->Events) return;
    ActiveControl = nullptr;
    if (!(Shift & ssShift)) UnselectEvents(part);
    int t = 0;
    if (_TEvent* e = EventAtRow((Y - list->OffsetY) / std::max(1, RowHeight), t)) {
        if (IsNoteOn(e->Msg)) {
            SelectNote(part, e);
        } else if (!IsNoteOff(e->Msg)) {
            e->Flags |= efSelected;
            if (IsSysex(e)) RepaintLaneNow();
        }
    }
    RepaintList();
    DrawNotes(false);
    if (LaneKind == 1 || LaneKind == 2 || LaneKind == 5) RepaintLaneNow();
    UpdateEditbar();
}

void TfmKey::listDblClick(int /*X*/, int Y) {
    int t = 0;
    const _TEvent* e = EventAtRow((Y - list->OffsetY) / std::max(1, RowHeight), t);
    if (!e) return;
    const std::uint32_t st = MidiStatus(e->Msg);
    if (IsNoteOn(e->Msg))
        SetLane(-4);
    else if (st == 0xB0)
        SetLane(int(MidiData1(e->Msg)));
    else if (st == 0xC0)
        SetLane(-2);
    else if (st == 0xE0)
        SetLane(-3);
    else if (st == msAweParam)
        SetLane(0, int(MidiData1(e->Msg)));
    else if (IsSysex(e))
        SetLane(-1);
    else
        return; // note-offs, NRPN rows and the rest choose no lane
    _TPart* part = ThePart();
    if (EditMode == 3 && part && (LaneKind == 1 || LaneKind == 2 || LaneKind == 5)) {
        Song->SelectLaneEventsAt(part, StepTick - part->Start, LaneCode, LaneKind);
        RepaintList();
    }
    RepaintLaneNow();
}

void TfmKey::SetListView(int View) {
    ListView = std::uint8_t(View);
    miViewText->Checked = View == 0;
    miViewNumber->Checked = View == 1;
    RepaintList();
}

// ---- The list's width ----

void TfmKey::ColumnsClick(const std::string& Id) {
    const int extra = sbListVert->Width + 4;
    std::vector<int> sums;
    int sum = 0;
    for (int i = 0; i < listTitles->SectionCount(); ++i) {
        sum += listTitles->Sections(i)->Width;
        sums.push_back(sum + extra);
    }
    const int width = panelList->Width;
    int to = width;
    if (Id == "less") {
        for (int s : sums)
            if (s < width) to = s;
    } else if (Id == "more") {
        for (int s : sums)
            if (s > width) {
                to = s;
                break;
            }
    } else if (Id == "all") {
        to = sum + extra;
    } else if (Id == "last") {
        to = PrevListWidth;
    } else {
        return;
    }
    PrevListWidth = width;
    panelList->Width = to;
    UpdateHScrollRange();
}

void TfmKey::ColumnItemClick(int Section) {
    int sum = 0;
    for (int i = 0; i <= Section && i < listTitles->SectionCount(); ++i)
        sum += listTitles->Sections(i)->Width;
    panelList->Width = sum + 4;
    UpdateHScrollRange();
}

void TfmKey::BuildColumnMenu() {
    PopupColumns->Items->Clear();
    for (int i = 0; i < listTitles->SectionCount(); ++i) {
        auto* item = new TMenuItem(listTitles->Sections(i)->Text,
                                   [this](TMenuItem* I) { ColumnItemClick(I->Tag); });
        item->Tag = i;
        PopupColumns->Items->Add(item);
    }
}

// ---- System exclusive ----

void TfmKey::InsertSysex() {
    _TPart* part = ThePart();
    if (!part || !KeyEditorSeams().InsertSysexDialog) return;
    const std::int64_t end = std::int64_t(part->Start) + part->Length;
    // The step cursor when it lies in the part, else the part's start.
    const int at = StepTick >= part->Start && StepTick < end ? StepTick : part->Start;
    int bar = 0, beat = 0, tick = 0;
    SplitPosition(at, bar, beat, tick);
    if (KeyEditorSeams().InsertSysexDialog(Format("%0.4d", bar), Format("%0.2d", beat),
                                           Format("%0.3d", tick), part->Start,
                                           part->Start + part->Length)) {
        RepaintViews();
        UpdateEditbar();
    }
}

void TfmKey::EditSysex() {
    _TPart* part = ThePart();
    if (!part || !KeyEditorSeams().EditSysexDialog) return;
    const int selected = CountSelectedEvents(part);
    std::string bars = "----", beats = "--", ticks = "---", hex;
    int t = 0;
    const _TEvent* first = nullptr;
    int firstTime = 0;
    for (const _TEvent* e = part->Events; e; e = e->Next) {
        t += e->Delta;
        if (!(e->Flags & efSelected)) continue;
        if (!first) {
            first = e;
            firstTime = t;
        }
        if (hex.empty() && IsSysex(e)) SysexToHex(*e, hex);
    }
    // One event, or one note with its note-off, has a time of its own.
    if (first && (selected == 1 ||
                  (selected == 2 && IsNoteOn(first->Msg) && CountSelectedNotes(part) == 1))) {
        int bar = 0, beat = 0, tick = 0;
        SplitPosition(firstTime, bar, beat, tick);
        bars = Format("%0.4d", bar);
        beats = Format("%0.2d", beat);
        ticks = Format("%0.3d", tick);
    }
    if (KeyEditorSeams().EditSysexDialog(bars, beats, ticks, hex)) {
        RepaintViews();
        UpdateEditbar();
    }
}
