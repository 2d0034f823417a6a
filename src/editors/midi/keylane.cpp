// The key editor's controller lane: one kind of event of the current part at a time (note
// velocities, pitch bend, one controller, one sound-card parameter, system exclusive, program
// change) painted as bars or a staircase, drawn with the mouse (a free stroke or, with Shift, a
// straight line), and its toolbar: the lane chooser, quick select, nudging, the value field and
// the popup. Strokes change the part first, holding the renderer off it for each value, and
// restart playback once at the release.
#include "editors/midi/key.h"

#include "app/main.h"
#include "app/transport.h"
#include "devices/audio.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/hemibtn.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/ctrledit.h"
#include "song/gmnames.h"
#include "song/noteedit.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>
#include <cstdio>

using namespace platform;

namespace {

constexpr TColor kSelectedBar = 0x80FFFF, kStairPen = 0xC0C0C0, kMidLine = 0x808080;
constexpr const char* kStepNoLane = "Step mode - No controller is selected...";

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

bool LaneEventMatches(const _TEvent* E, int Kind, int Code) {
    const std::uint32_t s = MidiStatus(E->Msg);
    switch (Kind) {
    case 1:
        return s == 0xE0;
    case 2:
        return s == 0xB0 && int(MidiData1(E->Msg)) == Code;
    case 3:
        return s == msAweParam && int(MidiData1(E->Msg)) == Code;
    case 5:
        return s == 0xC0;
    default:
        return false;
    }
}

int AweEventValue(const _TEvent* E) {
    return int(128 * MidiData2(E->Msg) + (E->Msg >> 24)) - 8192;
}

// Lane walks start near the view: a mark every few thousand events of the part the lane last
// showed, good while the part's lists stay as they were (EventListEpoch), the lane shows the same
// events and nothing records. A mark keeps the lane's last event before it for the staircase.
struct TLaneMark {
    _TEvent* Next = nullptr;
    std::int64_t Time = 0; // of the event before Next
    const _TEvent* Last = nullptr;
    std::int64_t LastTime = 0;
};
struct TLaneMarks {
    const _TPart* Part = nullptr;
    std::uint64_t Epoch = 0;
    int Kind = -1, Code = 0;
    std::vector<TLaneMark> Marks;
};
constexpr int kEventsPerMark = 4096;
TLaneMarks g_marks;

// The mark to walk from for a view starting at tick Edge; Extend: the walk passes the last mark
// and adds marks on its way.
TLaneMark WalkStart(_TPart* Part, int Kind, int Code, std::int64_t Edge, bool& Extend) {
    TLaneMarks& m = g_marks;
    Extend = false;
    if (Song->State == 1) return {Part->Events, 0, nullptr, 0};
    const std::uint64_t epoch = EventListEpoch.load(std::memory_order_relaxed);
    if (m.Part != Part || m.Epoch != epoch || m.Kind != Kind || m.Code != Code || m.Marks.empty() ||
        m.Marks.front().Next != Part->Events) {
        m.Part = Part;
        m.Epoch = epoch;
        m.Kind = Kind;
        m.Code = Code;
        m.Marks.assign(1, {Part->Events, 0, nullptr, 0});
    }
    std::size_t i = 0;
    while (i + 1 < m.Marks.size() && m.Marks[i + 1].Time < Edge)
        ++i;
    Extend = i + 1 == m.Marks.size();
    return m.Marks[i];
}

void AddMark(const TLaneMark& Mark) {
    g_marks.Marks.push_back(Mark);
}

} // namespace

// ---- Names and captions ----

std::string TfmKey::LaneLongName() const {
    std::string s;
    if (LaneKind == 3)
        AweParamName(LaneCode, s);
    else
        ControllerLongName(LaneCode, s);
    return s;
}

int TfmKey::LaneH() const {
    return control ? control->GetClientHeight() : 0;
}

void TfmKey::SetLaneCaption(const std::string& Short, const std::string& Long) {
    Panel4->Caption = Short;
    Panel4->Hint = "[F8] " + Long;
    sbCC->Caption = Long;
    sbVelUp->Hint = "[Alt + up] Inc " + Long;
    sbVelDown->Hint = "[Alt + down] Dec " + Long;
    editVel->Hint = Long;
    sbDel->Hint = "[Del] Delete " + Long;
    sbIns->Hint = "[Ins] Insert " + Long;
}

void TfmKey::SetLane(int Code, int Param) {
    std::string shortName, longName;
    if (Param >= 0) {
        LaneKind = 3;
        LaneCode = Param;
        shortName = std::to_string(Param);
        AweParamName(Param, longName);
    } else {
        LaneCode = Code;
        LaneKind = Code >= 0 ? 2 : Code == -3 ? 1 : Code == -2 ? 5 : Code == -1 ? 4 : 0;
        if (LaneKind == 0) LaneCode = -4;
        ControllerShortName(LaneCode, shortName);
        ControllerLongName(LaneCode, longName);
    }
    SetLaneCaption(shortName, longName);
}

// ---- Toolbar ----

void TfmKey::BuildLaneToolbar() {
    int x = 2;
    auto button = [&](int W, const std::string& Caption, const std::string& Hint) {
        auto* b = new TSpeedButton(this);
        b->Parent = PanelToolCC;
        b->SetBounds(x, 1, W, 20);
        b->Caption = Caption;
        b->Hint = Hint;
        b->Flat = true;
        x += W + 2;
        return b;
    };
    sbCC = button(110, "Velocity", "Click to select Controller or  AWE NRPN\rShortcut F8");
    sbCC->OnClick = [this](TObject*) { ChooseLane(); };
    sbQuick = button(80, "Quick select", "");
    sbQuick->OnClick = [this](TObject*) {
        BuildQuickMenu();
        TPoint p{};
        GetCursorPos(&p);
        PopupQuick->Popup(p.X, p.Y);
    };
    sbVelUp = button(20, "+", "");
    sbVelUp->OnClick = [this](TObject*) { ChangeLaneBy(8); };
    sbVelDown = button(20, "-", "");
    sbVelDown->OnClick = [this](TObject*) { ChangeLaneBy(-8); };
    x += 8;
    sbIns = button(30, "Ins", "");
    sbDel = button(30, "Del", "");
    sbIns->Visible = false;
    sbDel->Visible = false;
    sbIns->OnClick = [this](TObject*) { InsertStepNote(); };
    sbDel->OnClick = [this](TObject*) { DeleteSelected(); };
    panelCtrlValue->SetBounds(x, 0, 92, 22);
    editCtrlValue->OnKeyPress = [this](TObject*, char32_t& Key) {
        if (Key == U'\r') {
            Key = 0;
            ActiveControl = nullptr; // Enter only leaves the field
        }
    };
    HemisphereButton2 = new THemisphereButton(this);
    HemisphereButton2->Parent = PanelHideCC;
    HemisphereButton2->SetBounds(4, 4, 14, 14);
    HemisphereButton2->Hint = "Hide";
    HemisphereButton2->OnClick = [this](TObject*) { ToggleLane(); };

    Panel4->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { ChooseLane(); };
    editVel->OnKeyPress = [this](TObject*, char32_t& Key) {
        if (Key == U'\r') {
            Key = 0;
            editVelEnter();
        } else if (!(Key >= U'0' && Key <= U'9') && Key != U'\b' && Key != U'-') {
            Key = 0;
        }
    };

    control->OnPaint = [this](TCanvas& C) { controlPaint(C); };
    control->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        controlMouseDown(B, S, X, Y);
    };
    control->OnMouseMove = [this](TObject*, TShiftState S, int X, int Y) {
        controlMouseMove(S, X, Y);
    };
    control->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        controlMouseUp(B, S, X, Y);
    };
    control->OnCaptureLost = [this] {
        if (LaneDrag) CancelDrag();
    };

    // The lane's popup.
    auto item = [this](const std::string& Caption, std::function<void(TMenuItem*)> Click) {
        auto* i = new TMenuItem(Caption, std::move(Click));
        PopupControl->Items->Add(i);
        return i;
    };
    item("Step", [this](TMenuItem*) { EnterMode(EditMode == 3 ? 0 : 3); });
    item("Convert/copy...", nullptr)->Visible = false;
    item("Delete", [this](TMenuItem*) {
        {
            TEditGuard guard;
            if (!guard) return;
            if (LaneKind == 2)
                Song->DeleteControllersSelectedParts(LaneCode);
            else
                Song->DeleteParamsSelectedParts(LaneCode);
        }
        RepaintLaneNow();
        RefreshEventList();
    });
    item("Modify...", [this](TMenuItem*) {
        _TPart* part = ThePart();
        int lo = 0, hi = 127;
        if (!part || !KeyEditorSeams().AskRange ||
            !KeyEditorSeams().AskRange("Modify " + LaneLongName(), lo, hi))
            return;
        {
            TEditGuard guard;
            if (!guard) return;
            if (LaneKind == 2)
                LimitControllerRange(part, LaneCode, lo, hi);
            else
                LimitVelocityRange(part, lo, hi);
        }
        key->Invalidate();
        RepaintLaneNow();
        RefreshEventList();
    });
    auto* select = item("Select Controller...", [this](TMenuItem*) { ChooseLane(); });
    select->ShortCut = ShortCut(VK_F8);
    item("Hide", [this](TMenuItem*) { ToggleLane(); });
    PopupControl->OnPopup = [this](TPopupMenu*) { PreparePopupControl(); };
    control->PopupMenu = PopupControl;
    SetLane(-4);
}

void TfmKey::PreparePopupControl() {
    const bool has = ThePart() != nullptr;
    TMenuItem* items = PopupControl->Items;
    items->Items(0)->Checked = EditMode == 3;
    items->Items(0)->Enabled = has;
    items->Items(2)->Caption = "Delete " + LaneLongName();
    items->Items(2)->Enabled = has && (LaneKind == 2 || LaneKind == 3);
    items->Items(3)->Enabled = has && (LaneKind == 0 || LaneKind == 2);
    items->Items(4)->Enabled = has;
}

void TfmKey::ChooseLane() {
    int page = 0, index = 0;
    if (!KeyEditorSeams().ChooseController || !KeyEditorSeams().ChooseController(page, index))
        return;
    if (page == 1) {
        SetLane(0, index);
    } else {
        const int code = index - 4;
        SetLane(code >= 0 && code <= 127 ? code
                : index == 1             ? -3
                : index == 2             ? -2
                : index == 3             ? -1
                                         : -4);
        _TPart* part = ThePart();
        if (EditMode == 3 && part && (LaneKind == 1 || LaneKind == 2 || LaneKind == 5))
            Song->SelectLaneEventsAt(part, StepTick - part->Start, LaneCode, LaneKind);
    }
    RepaintLaneNow();
    RefreshEventList();
}

void TfmKey::BuildQuickMenu() {
    TMenuItem* items = PopupQuick->Items;
    items->Clear();
    auto add = [&](const std::string& Caption, int Tag) {
        auto* i = new TMenuItem(Caption, [this](TMenuItem* I) { QuickItemClick(I->Tag); });
        i->Tag = Tag;
        items->Add(i);
    };
    const _TPart* part = ThePart();
    add("Velocity", -4);
    bool separated = false;
    auto more = [&](const std::string& Caption, int Tag) {
        if (!separated) add("-", 0);
        separated = true;
        add(Caption, Tag);
    };
    if (part) {
        if (Song->PartHasStatus(part, 0xE0)) more("Pitch bend", -3);
        if (Song->PartHasStatus(part, 0xC0)) more("Program change", -2);
        if (Song->PartHasStatus(part, 0xF0)) more("Sysex", -1);
        for (int c = 0; c < 128; ++c)
            if (Song->PartHasController(part, c)) {
                std::string name;
                ControllerLongName(c, name);
                more(name, c);
            }
        bool params = false;
        for (int p = 0; p < AweParamCount; ++p)
            if (Song->PartHasParam(part, p)) {
                if (!params) add("-", 0);
                params = true;
                std::string name;
                AweParamName(p, name);
                add(name, 1000 + p);
            }
    }
}

void TfmKey::QuickItemClick(int Tag) {
    if (Tag >= 1000) {
        SetLane(0, Tag - 1000);
        RefreshEventList();
    } else {
        SetLane(Tag);
        _TPart* part = ThePart();
        if (EditMode == 3 && part && (LaneKind == 1 || LaneKind == 2 || LaneKind == 5)) {
            Song->SelectLaneEventsAt(part, StepTick - part->Start, LaneCode, LaneKind);
            if (KeyEditorSeams().RepaintList) KeyEditorSeams().RepaintList();
        }
    }
    RepaintLaneNow();
}

void TfmKey::ChangeLaneBy(int Delta) {
    _TPart* part = ThePart();
    if (!part) return;
    if (LaneKind != 0 && LaneKind != 1 && LaneKind != 2 && LaneKind != 5) return;
    {
        TEditGuard guard;
        if (!guard) return;
        if (LaneKind == 0)
            Song->VelocitySelectedParts(Delta, 2, CountSelectedNotes(part) > 0);
        else
            ChangeLaneValues(part, 2, Delta, LaneKind, CountSelectedEvents(part) > 0, LaneCode);
    }
    RepaintLaneNow();
    RefreshEventList();
    if (KeyEditorSeams().UpdateEditbar) KeyEditorSeams().UpdateEditbar();
}

void TfmKey::editVelEnter() {
    ActiveControl = nullptr;
    _TPart* part = ThePart();
    const std::string text = editVel->Text;
    if (text.empty() || !part) return;
    if (LaneKind != 0 && LaneKind != 1 && LaneKind != 2 && LaneKind != 5) return;
    const int value = int(std::clamp(std::strtol(text.c_str(), nullptr, 10), -100000L, 100000L));
    {
        TEditGuard guard;
        if (!guard) return;
        if (LaneKind == 0)
            Song->VelocitySelectedParts(value, 0, CountSelectedNotes(part) > 0);
        else
            ChangeLaneValues(part, 0, value + (LaneKind == 1 ? 8192 : 0), LaneKind,
                             CountSelectedEvents(part) > 0, LaneCode);
    }
    if (LaneKind == 0) {
        if (value < 1) editVel->Text = "1";
        if (value > 127) editVel->Text = "127";
    } else if (LaneKind == 1) {
        if (value < -8192) editVel->Text = "-8192";
        if (value > 8192) editVel->Text = "8192";
    } else {
        if (value < 1) editVel->Text = "0";
        if (value > 127) editVel->Text = "127";
    }
    RepaintLaneNow();
    RefreshEventList();
}

// ---- Painting ----

void TfmKey::RepaintLaneNow() {
    if (!control) return;
    control->Invalidate();
    if (control->HandleAllocated()) UpdateWindow(control->Handle());
}

void TfmKey::controlPaint(TCanvas& C) {
    if (!fmMdi || !Song) return;
    const int left = -control->OffsetX, top = -control->OffsetY;
    C.Brush.Style = bsSolid;
    C.Brush.Color = fmMdi->ControlBkColor;
    C.FillRect({left, top, left + control->GetClientWidth(), top + control->GetClientHeight()});
    if (ThePart()) {
        switch (LaneKind) {
        case 0:
            PaintVelocityLane(C);
            break;
        case 3:
            PaintAweLane(C);
            break;
        case 4:
            PaintSysexLane(C);
            break;
        default:
            PaintLaneValues(C);
            break;
        }
        if (LaneDrag && DragRect && DragRect->Mode == 4) DragRect->Redraw(C);
        if (EditMode == 3) DrawLaneStepCursorOn(C);
    }
}

namespace {

void LaneText(TCanvas& C, int X, int Y, const std::string& Text) {
    C.Font.Color = fmMdi->ControlTextColor;
    C.Brush.Style = bsClear;
    C.TextOut(X, Y, Text);
    C.Brush.Style = bsSolid;
}

} // namespace

void TfmKey::PaintVelocityLane(TCanvas& C) {
    _TPart* part = ThePart();
    const int left = -control->OffsetX, right = left + control->GetClientWidth();
    C.Font = control->Font.Get();
    if (EditMode == 3) {
        LaneText(C, left + 5, 5, kStepNoLane);
        return;
    }
    const int H = LaneH();
    const float f = float(fmMdi->Part3d) * (1.0f / 127);
    bool extend = false;
    const TLaneMark from = WalkStart(part, 0, 0, std::max(0, XToTicks(left - 5)), extend);
    std::int64_t t = from.Time;
    _TEvent* e = from.Next;
    for (int passed = 0; e; e = e->Next) {
        t += e->Delta;
        if (extend && ++passed % kEventsPerMark == 0) AddMark({e->Next, t, nullptr, 0});
        if (!IsNoteOn(e->Msg)) continue;
        const int x = TickToFloorX(t);
        if (x + 4 > right) break;
        if (x < left) continue;
        const int h = FloorToInt(float(MidiData2(e->Msg)) * float(H) / 127.0f);
        const int topY = std::min(H - h, H + 1 - 3);
        const TColor fill = (e->Flags & efSelected) ? kSelectedBar : fmMdi->PartsBkColor;
        C.Brush.Style = bsSolid;
        C.Brush.Color = fill;
        C.FillRect({x, topY, x + 4, H + 1});
        C.Pen.Mode = pmCopy;
        C.Pen.Style = psSolid;
        C.Pen.Width = 1;
        C.Pen.Color = TColor(BlendColor(std::uint32_t(fill), 0xFFFFFF, f));
        C.MoveTo(x, H);
        C.LineTo(x, topY);
        C.LineTo(x + 5, topY);
        C.Pen.Color = TColor(BlendColor(0, std::uint32_t(fill), 1 - f));
        C.MoveTo(x, H);
        C.LineTo(x + 4, H);
        C.LineTo(x + 4, topY);
    }
}

namespace {

// A staircase of values: each event's box from its x to the next event's (the last one's to the
// right edge). Value gives the y of an event.
template <class F>
void PaintStairs(TfmKey& K, TCanvas& C, _TPart* Part, int Kind, int Code, bool ShowSelected,
                 F&& ValueY) {
    const int left = -K.control->OffsetX, right = left + K.control->GetClientWidth();
    const int H = K.LaneH();
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psSolid;
    C.Pen.Width = 1;
    C.Pen.Color = kStairPen;
    C.Brush.Style = bsSolid;
    bool have = false, prevSelected = false;
    int px = 0, py = 0;
    auto box = [&](int X) {
        if ((px < left && X < left) || (px > right && X > right)) return;
        C.Brush.Color = ShowSelected && prevSelected ? kSelectedBar : fmMdi->PartsBkColor;
        C.Rectangle(px, py, X + 1, H + 1);
    };
    auto take = [&](const _TEvent* E, std::int64_t T) {
        have = true;
        px = TfmKey::TickToFloorX(T);
        py = std::clamp(ValueY(E), 0, H);
        prevSelected = E->Flags & efSelected;
    };
    bool extend = false;
    const TLaneMark from =
        WalkStart(Part, Kind, Code, std::max(0, TfmKey::XToTicks(left) - 1), extend);
    // The lane's last event before the mark gives the first box.
    if (from.Last) take(from.Last, from.LastTime);
    const _TEvent* last = from.Last;
    std::int64_t lastTime = from.LastTime, t = from.Time;
    int passed = 0;
    for (_TEvent* e = from.Next; e; e = e->Next) {
        t += e->Delta;
        const bool match = LaneEventMatches(e, Kind, Code);
        if (match) {
            const int x = TfmKey::TickToFloorX(t);
            if (have) {
                if (px > right) break;
                box(x);
            }
            take(e, t);
            last = e;
            lastTime = t;
        }
        if (extend && ++passed % kEventsPerMark == 0) AddMark({e->Next, t, last, lastTime});
    }
    if (have && px <= right) box(right);
}

} // namespace

void TfmKey::PaintLaneValues(TCanvas& C) {
    const int H = LaneH();
    const int kind = LaneKind;
    PaintStairs(*this, C, ThePart(), kind, LaneCode, true, [&](const _TEvent* e) {
        if (kind == 1) {
            const int v = int(MidiData1(e->Msg) + 128 * MidiData2(e->Msg));
            return H - FloorToInt(float(v) * float(H) / 16383.0f);
        }
        const int v = int(kind == 5 ? MidiData1(e->Msg) : MidiData2(e->Msg));
        return H - FloorToInt(float(v) * float(H) / 127.0f);
    });
}

void TfmKey::PaintAweLane(TCanvas& C) {
    const int left = -control->OffsetX, right = left + control->GetClientWidth();
    C.Font = control->Font.Get();
    if (EditMode == 3) {
        LaneText(C, left + 5, 5, "No controller is selected...");
        return;
    }
    const int H = LaneH(), code = LaneCode;
    if (AweValueToLane(code, 0) != 0) {
        C.Pen.Mode = pmCopy;
        C.Pen.Style = psSolid;
        C.Pen.Width = 1;
        C.Pen.Color = kMidLine;
        C.MoveTo(left, control->GetClientHeight() / 2);
        C.LineTo(right, control->GetClientHeight() / 2);
    }
    PaintStairs(*this, C, ThePart(), 3, code, false, [&](const _TEvent* e) {
        return H - Round(double(AweValueToLane(code, AweEventValue(e))) * H / 127.0);
    });
}

void TfmKey::PaintSysexLane(TCanvas& C) {
    const int left = -control->OffsetX;
    C.Font = control->Font.Get();
    if (EditMode == 3) {
        LaneText(C, left + 5, 5, kStepNoLane);
        return;
    }
    // A 32-bit value event shares the status; only system exclusive (data 1 = 0) has bytes.
    for (const _TEvent* e = ThePart()->Events; e; e = e->Next) {
        if (!(e->Flags & efSelected) || MidiStatus(e->Msg) != 0xF0 || MidiData1(e->Msg) != 0)
            continue;
        std::string text;
        const std::uint8_t* bytes = EventBlock(*e);
        char hex[3];
        for (int i = 0; bytes && i < e->DataLen; ++i) {
            std::snprintf(hex, sizeof hex, "%.2X", bytes[i]);
            text += hex;
        }
        LaneText(C, left + 5, 5, text);
        return;
    }
}

// ---- Drawing with the mouse ----

void TfmKey::SetLaneValueFromPoint(int X, int Y) {
    _TPart* part = ThePart();
    const int H = std::max(1, LaneH());
    if (!part || LaneKind == 4) return;
    const int v = FloorToInt(127.0f / float(H) * float(H - Y));
    const int t = XToTicks(X);
    {
        // Softsynth queues walk the part on the audio thread.
        TRendererHold hold;
        if (KeyInsertHeldHook) KeyInsertHeldHook();
        switch (LaneKind) {
        case 0:
            SetVelocityAt(part, t, v, CountSelectedNotes(part) > 0);
            break;
        case 1:
            SetLaneValueAt(part, t, Clamp(FloorToInt(16383.0f / float(H) * float(H - Y)), 0, 16383),
                           1, LaneCode);
            break;
        case 3:
            SetParamValueAt(part, t, AweValueFromLane(LaneCode, Clamp(v, 0, 127)), LaneCode);
            break;
        default:
            SetLaneValueAt(part, t, v, LaneKind, LaneCode);
            break;
        }
    }
    RepaintLaneNow();
}

void TfmKey::controlMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    ActiveControl = nullptr;
    _TPart* part = ThePart();
    if (Button == mbRight || !part) return;
    const int x = X - control->OffsetX, y = Y - control->OffsetY;
    if (EditMode == 3) {
        StepTick = XToSnappedTicks(x, Song->GridTicks()) + part->Start;
        Song->SelectLaneEventsAt(part, StepTick - part->Start, LaneCode, LaneKind);
        RepaintLaneNow(); // with the cursor
        RefreshEventList();
        if (KeyEditorSeams().UpdateEditbar) KeyEditorSeams().UpdateEditbar();
        return;
    }
    SetCapture(control->Handle());
    if (!LaneDrawing) {
        static constexpr const char* kCaptions[] = {"Undo velocity",   "Undo pitch bend",
                                                    "Undo controller", "Undo AWE NRPN",
                                                    nullptr,           "Undo program change"};
        if (LaneKind < 6 && kCaptions[LaneKind]) {
            Song->UndoStore->Begin(ukEdit, kCaptions[LaneKind]);
            Song->UndoStore->AddPart(CopyPart(part));
        }
        LaneDrawing = 1;
    }
    if ((Shift & ssShift) && LaneKind != 4) {
        if (!DragRect) return;
        DragRect->Snap = 1;
        TCanvas& c = control->Canvas();
        control->ApplyOrigin();
        DragRect->BeginDrag(4, LaneKind, c, x, y, LaneH());
        LaneDrag = true;
        return;
    }
    SetLaneValueFromPoint(x, y);
}

void TfmKey::controlMouseMove(TShiftState /*Shift*/, int X, int Y) {
    const int x = X - control->OffsetX, y = Y - control->OffsetY;
    const int H = std::max(1, LaneH());
    const bool dragging = LaneDrag && DragRect && DragRect->Mode == 4;
    if (dragging) {
        if (X >= 0 && X < control->GetClientWidth()) {
            StopAutoScroll();
            TCanvas& c = control->Canvas();
            control->ApplyOrigin();
            DragRect->DragTo(c, x, y);
        } else {
            StartAutoScroll(1);
        }
    } else if (LaneDrawing && GetCapture() == control->Handle()) {
        SetLaneValueFromPoint(x, y);
    }
    int v = std::min(127, FloorToInt(127.0f / float(H) * float(H - y)));
    switch (LaneKind) {
    case 0:
        v = std::max(1, v);
        break;
    case 1:
        v = Round(double(v) * 129) - 8192;
        break;
    case 3:
        v = AweValueFromLane(LaneCode, std::max(0, v));
        break;
    default:
        v = std::max(0, v);
        break;
    }
    panelValue->Caption = std::to_string(v);
    control->Cursor = dragging && X >= 1 && Y >= 1 && Y < H ? crCross : crDefault;
}

void TfmKey::controlMouseUp(TMouseButton Button, TShiftState /*Shift*/, int X, int Y) {
    if (Button == mbRight) return;
    control->Cursor = crDefault;
    StopAutoScroll();
    _TPart* part = ThePart();
    if (LaneDrag && DragRect && DragRect->Mode == 4) {
        TCanvas& c = control->Canvas();
        control->ApplyOrigin();
        DragRect->EndDrag(c, X - control->OffsetX, Y - control->OffsetY);
        LaneDrag = false;
        const int H = std::max(1, LaneH());
        const float w = float(std::max(1, Width16th));
        int t1 = FloorToInt(float(DragRect->StartX) * 60.0f / w);
        int t2 = FloorToInt(float(DragRect->CurX) * 60.0f / w);
        const float top = LaneKind == 1 ? 16383.0f : 127.0f;
        int va = FloorToInt(float(H - DragRect->StartY) * top / float(H));
        int vb = FloorToInt(float(H - DragRect->CurY) * top / float(H));
        if (t1 > t2) {
            std::swap(t1, t2);
            std::swap(va, vb);
        }
        if (part && t1 < t2) {
            TRendererHold hold;
            if (KeyInsertHeldHook) KeyInsertHeldHook();
            if (LaneKind == 0)
                RampVelocities(part, t1, t2, CountSelectedNotes(part) > 0, vb, va);
            else if (LaneKind == 3)
                RampParamValues(part, LaneCode, t1, vb, va, t2);
            else
                RampLaneValues(part, LaneCode, t1, LaneKind, vb, va, t2);
        }
        RepaintLaneNow();
    }
    LaneDrag = false;
    // After the line: losing the capture cancels a drag still in progress.
    if (GetCapture() == control->Handle()) ReleaseCapture();
    if (LaneDrawing) {
        LaneDrawing = 0;
        {
            // Playback starts again over the new values.
            TEditGuard guard;
        }
        if (KeyEditorSeams().RepaintList) KeyEditorSeams().RepaintList();
    }
}
