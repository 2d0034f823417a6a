// The transport bar: a strip of fields the main window paints itself (song name, MIDI LED,
// seven transport buttons, loop and metronome buttons, audio meter, time signature, song
// position, locators, processor load), docked at the top of the frame or floating inside its
// client area, with its pop-up menus and the 50 ms system timer.
//
// The floating bar stays a child of the main window: it floats over the MDI client area, goes
// with the frame when that is minimised, and its stored Left and Top are client coordinates.
#include "app/transportbar.h"

#include "app/arrange.h"
#include "app/main.h"
#include "app/options.h"
#include "app/transport.h"
#include "app/ugui.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "gui/looks.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/core/ini.h"
#include "platform/forms/controls.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/song.h"
#include "song/timebase.h"

#include <algorithm>
#include <cstdio>
#include <string>

using namespace platform;

namespace {

// Places at full layout (all fields shown).
constexpr int kLedLeft = 74, kButtonsLeft = 84, kLoopLeft = 229, kBeepLeft = 254, kVuLeft = 279,
              kTimeSigLeft = 367, kPosLeft = 396, kLeftLocLeft = 469, kCpuLeft = 615;
// A locator field and the gap to the next field.
constexpr int kLocatorStep = 73;
// Where "Dock" puts a floating bar, and where a stored one that would be out of sight goes.
constexpr int kFloatLeft = 100, kFloatTop = 100;
// The text renderer is 16 high; text fields are 20.
constexpr int kTextTop = 2;
constexpr unsigned kCentred = 1; // DT_CENTER

TMdiHooks g_hooks;
// An audio take lights Record in place of Play: the buttons are redrawn when it changes too.
bool g_drawnAudioRecord = false;
// What was last drawn of the meter (lit widths) and of the processor load.
int g_drawnVu[2] = {-1, -1};
int g_drawnCpu = -1;
// Whether the MIDI LED shows lit.
bool g_drawnLedLit = false;

// A DC of the bar limited to the field, whose origin is the field's top-left corner; 0 when the
// bar has no window. What it draws is all the display hears of.
class TFieldDC {
public:
    explicit TFieldDC(const TControl* Field) {
        TPanel* bar = fmMdi ? fmMdi->panelTransporter : nullptr;
        if (!bar || !bar->HandleAllocated()) return;
        wnd_ = bar->Handle();
        const Region field(
            TRect{Field->Left, Field->Top, Field->Left + Field->Width, Field->Top + Field->Height});
        dc_ = GetDCEx(wnd_, &field, DCX_CACHE | DCX_CLIPCHILDREN);
        if (dc_) SetWindowOrgEx(dc_, -Field->Left, -Field->Top, nullptr);
    }
    ~TFieldDC() {
        if (dc_) ReleaseDC(wnd_, dc_);
    }
    TFieldDC(const TFieldDC&) = delete;
    TFieldDC& operator=(const TFieldDC&) = delete;
    HDC Handle() const { return dc_; }

private:
    HWND wnd_ = 0;
    HDC dc_ = 0;
};

void DrawFieldText(HDC DC, std::string_view Text, unsigned Flags, int Width) {
    if (fmMdi && fmMdi->PosText) fmMdi->PosText->DrawText(0, kTextTop, DC, Text, Flags, Width);
}

// One looks image of the pair Pair (0 play .. 8 metronome) in a 20-pixel cell at X. A missing
// image leaves the cell in the bar's colour rather than showing what was there before.
void DrawButtonImage(HDC DC, int X, int Pair, bool Active) {
    const int index = fmMdi->Transport.TranspImageIds[std::size_t(2 * Pair + (Active ? 1 : 0))];
    if (GuiLooks && index >= 0 && index < GuiLooks->Count()) {
        GuiLooks->Draw(DC, X, 0, index);
        return;
    }
    HBRUSH b = CreateSolidBrush(ColorToRGB(fmMdi->panelTransporter->Color));
    const TRect cell{X, 0, X + 20, 20};
    FillRect(DC, &cell, b);
    DeleteObject(b);
}

void DrawLoopButton(HDC DC) {
    DrawButtonImage(DC, 0, 7, Song && Song->LoopOn.load() != 0);
}

void DrawBeepButton(HDC DC) {
    DrawButtonImage(DC, 0, 8, Song && Song->MetronomeOn.load() != 0);
}

void DrawSongPosition(HDC DC) {
    const int pos = Song ? Song->Position.load() : 0;
    std::string text;
    if (fmMdi->PosAsTime) {
        int h = 0, m = 0, s = 0;
        TicksToTime(pos, h, m, s);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, m, s);
        text = buf;
    } else {
        text = FormatPosition(pos);
    }
    DrawFieldText(DC, text, 0, fmMdi->paintPos->Width);
}

void DrawLocator(HDC DC, bool Right) {
    const int tick = !Song ? 0 : Right ? Song->RightLocator.load() : Song->LeftLocator.load();
    DrawFieldText(DC, (Right ? "R:" : "L:") + FormatPosition(tick), 0,
                  (Right ? fmMdi->paintRight : fmMdi->paintLeft)->Width);
}

void DrawTimeSig(HDC DC) {
    DrawFieldText(DC, std::to_string(SongBeatsPerBar()) + "/4", kCentred,
                  fmMdi->paintTimeSig->Width);
}

// A field's paint event: the field draws itself on its own canvas.
void OnFieldPaint(TPaintBox* Field, void (*Draw)(HDC)) {
    Field->OnPaint = [Field, Draw](TObject*) {
        if (fmMdi) Draw(Field->Canvas().Handle());
    };
}

void Place(TControl* Field, int Left) {
    if (Field->Left != Left) Field->SetBounds(Left, Field->Top, Field->Width, Field->Height);
}

bool IsDocked() {
    return fmMdi->panelTransporter->Align == alTop;
}

void Dock(bool Docked) {
    TPanel* bar = fmMdi->panelTransporter;
    if (Docked) {
        bar->Align = alTop;
        bar->SetBounds(0, 0, fmMdi->GetClientWidth(), TransportBarHeight);
    } else {
        bar->Align = alNone;
        bar->SetBounds(kFloatLeft, kFloatTop, bar->Width, TransportBarHeight);
        bar->BringToFront();
    }
    LayoutTransportBar();
}

// Visibility items of PopupTransp: the fields each one shows or hides.
struct TFieldItem {
    const char* Caption;
    TPaintBox* TfmMdi::*First;
    TPaintBox* TfmMdi::*Second;
};
constexpr TFieldItem kFieldItems[] = {
    {"MIDI led", &TfmMdi::paintMidiLed, nullptr},
    {"Audio VU", &TfmMdi::paintVU, nullptr},
    {"Time signature", &TfmMdi::paintTimeSig, nullptr},
    {"Song position/time", &TfmMdi::paintPos, nullptr},
    {"Locators", &TfmMdi::paintLeft, &TfmMdi::paintRight},
    {"Audio CPU usage", &TfmMdi::paintCPU, nullptr},
};

bool ChooseColour(TColor& Color) {
    std::uint32_t c = std::uint32_t(ColorToRGB(Color));
    if (!ChooseColor(c)) return false;
    Color = TColor(c);
    return true;
}

void BuildTransportMenus() {
    TfmMdi* f = fmMdi;
    f->PopupTransp = std::make_unique<TPopupMenu>();
    f->PopupTransp->Name = "PopupTransp";
    TMenuItem* root = f->PopupTransp->Items;
    for (const TFieldItem& fi : kFieldItems) {
        root->Add(new TMenuItem(fi.Caption, [fi](TMenuItem*) {
            TfmMdi* m = fmMdi;
            if (!m) return;
            for (TPaintBox* TfmMdi::*field : {fi.First, fi.Second})
                if (field) (m->*field)->Visible = !(m->*field)->Visible;
            LayoutTransportBar();
        }));
    }
    root->Add(new TMenuItem("-"));
    root->Add(new TMenuItem("Bar color...", [](TMenuItem*) {
        TColor c = fmMdi->panelTransporter->Color;
        if (!ChooseColour(c)) return;
        fmMdi->panelTransporter->Color = c;
        fmMdi->PosText->SetBkColor(c);
        fmMdi->panelTransporter->Invalidate();
    }));
    root->Add(new TMenuItem("Font color...", [](TMenuItem*) {
        TColor c = fmMdi->panelSongName->Font.Color;
        if (!ChooseColour(c)) return;
        fmMdi->panelSongName->Font.Color = c;
        SetTextColor(fmMdi->PosText->MemDC, ColorToRGB(c));
        fmMdi->PaintSongPosition();
        PaintLeftLocator();
        PaintRightLocator();
        fmMdi->paintCPU->Invalidate();
    }));
    root->Add(new TMenuItem("-"));
    auto* dock = new TMenuItem("Dock", [](TMenuItem*) { Dock(!IsDocked()); });
    dock->Name = "Dock1";
    root->Add(dock);
    auto* gui = new TMenuItem("GUI...", [](TMenuItem*) { fmMdi->Gui1Click(); });
    gui->Name = "Gui1";
    root->Add(gui);
    f->PopupTransp->OnPopup = [](TPopupMenu* menu) {
        TfmMdi* m = fmMdi;
        TMenuItem* items = menu->Items;
        for (int i = 0; i < items->Count(); ++i) {
            TMenuItem* it = items->Items(i);
            for (const TFieldItem& fi : kFieldItems)
                if (it->Caption == fi.Caption)
                    it->Checked =
                        (m->*fi.First)->Visible && (!fi.Second || (m->*fi.Second)->Visible);
            if (it->Caption == "Dock") it->Checked = IsDocked();
        }
    };

    f->PopupBars = std::make_unique<TPopupMenu>();
    f->PopupBars->Name = "PopupBars";
    for (int beats = 2; beats <= 12; ++beats) {
        auto* it = new TMenuItem(std::to_string(beats) + "/4", [](TMenuItem* sender) {
            if (fmMdi) fmMdi->SetBeatsPerBar(sender->Tag);
        });
        it->Tag = beats;
        f->PopupBars->Items->Add(it);
    }
}

TPaintBox* NewField(const char* Name, int Left, int Width, int Height) {
    auto* p = new TPaintBox(fmMdi);
    p->Name = Name;
    p->SetBounds(Left, (TransportBarHeight - Height) / 2, Width, Height);
    p->Parent = fmMdi->panelTransporter;
    p->PopupMenu = fmMdi->PopupTransp.get();
    return p;
}

// A stored floating place that shows none of the bar inside the frame's client area cannot be
// reached again (Dock is on the bar's own menu): such a bar goes where Dock would put it.
void PlaceFloating(int Left, int Top) {
    TPanel* bar = fmMdi->panelTransporter;
    const TRect client = fmMdi->ClientRect();
    const TRect r{Left, Top, Left + bar->Width, Top + bar->Height};
    const bool inSight = r.Right > client.Left && r.Left < client.Right && r.Bottom > client.Top &&
                         r.Top < client.Bottom;
    if (!inSight) {
        Left = kFloatLeft;
        Top = kFloatTop;
    }
    bar->SetBounds(Left, Top, bar->Width, TransportBarHeight);
}

// The product name in bold 16 points, a point smaller at a time while it is wider than its
// field, so that the MIDI LED beside it never covers a letter.
int SongNameFontSize(const TFont& Base, const std::string& Text, int Width) {
    HDC dc = CreateCompatibleDC(0);
    int size = 16;
    {
        TCanvas c(dc);
        TFont f = Base;
        for (; size > 8; --size) {
            f.SetSize(size);
            c.Font = f;
            if (c.TextWidth(Text) <= Width) break;
        }
        c.SetHandle(0);
    }
    DeleteDC(dc);
    return size;
}

} // namespace

TMdiHooks& MdiHooks() {
    return g_hooks;
}

void TfmMdi::CreateTransportBar() {
    BuildTransportMenus();

    panelTransporter = new TPanel(this);
    panelTransporter->Name = "panelTransporter";
    panelTransporter->BevelOuter = bvNone;
    panelTransporter->Caption = "";
    panelTransporter->SetBounds(0, 0, GetClientWidth(), TransportBarHeight);
    panelTransporter->PopupMenu = PopupTransp.get();
    panelTransporter->Parent = this;

    panelSongName = new TPanel(this);
    panelSongName->Name = "panelSongName";
    panelSongName->BevelOuter = bvNone;
    panelSongName->SetBounds(0, 0, kLedLeft, TransportBarHeight);
    panelSongName->Align = alLeft;
    panelSongName->ParentColor = true;
    panelSongName->Caption = "Tolvern";
    panelSongName->Font.Name = "Arial";
    panelSongName->Font.Style = TFontStyles(fsBold);
    panelSongName->Font.SetSize(SongNameFontSize(panelSongName->Font.Get(), "Tolvern", kLedLeft));
    panelSongName->PopupMenu = PopupTransp.get();
    panelSongName->Parent = panelTransporter;

    paintMidiLed = NewField("paintMidiLed", kLedLeft, 6, 14);
    paintTransp = NewField("paintTransp", kButtonsLeft, 140, 20);
    paintTransp->PopupMenu = nullptr; // every button of the mouse runs a button
    paintLoop = NewField("paintLoop", kLoopLeft, 20, 20);
    paintLoop->Hint = "Loop on/off\rShortcut /";
    paintBeep = NewField("paintBeep", kBeepLeft, 20, 20);
    paintBeep->Hint = "Metronome on/off\rShortcut B\rRight-click for more options";
    paintBeep->PopupMenu = nullptr; // the right button opens the metronome options
    paintVU = NewField("paintVU", kVuLeft, 81, 14);
    paintTimeSig = NewField("paintTimeSig", kTimeSigLeft, 25, 20);
    paintTimeSig->Cursor = crHandPoint;
    paintPos = NewField("paintPos", kPosLeft, 70, 20);
    paintLeft = NewField("paintLeft", kLeftLocLeft, 70, 20);
    paintRight = NewField("paintRight", kLeftLocLeft + kLocatorStep, 70, 20);
    paintCPU = NewField("paintCPU", kCpuLeft, 60, 20);
    panelTransporter->ShowHint = true;

    paintMidiLed->OnPaint = [this](TObject*) {
        if (!MidiLed) return;
        g_drawnLedLit = MidiLed->Level > 0;
        MidiLed->Draw(paintMidiLed->Canvas().Handle());
    };
    paintTransp->OnPaint = [this](TObject*) {
        DrawnButton = PressedButton;
        DrawnState = Song ? Song->State.load() : 0;
        g_drawnAudioRecord = AudioRecord.load();
        PaintTransportButtons(paintTransp->Canvas().Handle());
    };
    OnFieldPaint(paintLoop, DrawLoopButton);
    OnFieldPaint(paintBeep, DrawBeepButton);
    // The meter as the peaks stand; the system timer draws it again when they change.
    paintVU->OnPaint = [this](TObject*) {
        if (!VU) return;
        g_drawnVu[0] = VU->LitWidth(0);
        g_drawnVu[1] = VU->LitWidth(1);
        VU->Draw(0, 0, paintVU->Canvas().Handle(), g_drawnVu[0], g_drawnVu[1]);
    };
    OnFieldPaint(paintTimeSig, DrawTimeSig);
    OnFieldPaint(paintPos, DrawSongPosition);
    OnFieldPaint(paintLeft, [](HDC dc) { DrawLocator(dc, false); });
    OnFieldPaint(paintRight, [](HDC dc) { DrawLocator(dc, true); });
    paintCPU->OnPaint = [this](TObject*) { PaintCpu(paintCPU->Canvas().Handle()); };

    // Any mouse button runs a button, by 20-pixel bands.
    paintTransp->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int X, int) {
        if (X < 20)
            StartPlayback(false);
        else if (X < 40)
            StopPlayback(false);
        else if (X < 60) {
            if (g_hooks.RecordPunchIn) g_hooks.RecordPunchIn();
        } else if (X < 80)
            GotoSongStart();
        else if (X < 100)
            StartRewind(WindStep);
        else if (X < 120)
            StartFastForward(WindStep);
        else if (X < 140)
            GotoSongEnd();
    };
    paintTransp->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
        if (PressedButton == 1 || PressedButton == 2)
            StopWinding();
        else if (PressedButton == 3 || PressedButton == 4)
            PressedButton = 0;
    };
    paintLoop->OnMouseDown = [this](TObject*, TMouseButton Button, TShiftState, int, int) {
        if (Button == mbLeft) ToggleLoop(true);
    };
    paintBeep->OnMouseDown = [this](TObject*, TMouseButton Button, TShiftState, int, int) {
        if (Button == mbLeft)
            ToggleMetronome();
        else if (g_hooks.ShowMetronomeOptions)
            g_hooks.ShowMetronomeOptions();
        else
            ShowOptionsPage(1); // Beep
    };
    paintPos->OnClick = [this](TObject*) {
        PosAsTime = !PosAsTime;
        PaintSongPosition();
    };
    paintTimeSig->OnClick = [this](TObject*) {
        const TPoint p = paintTimeSig->ClientToScreen(TPoint{0, paintTimeSig->Height});
        PopupBars->Popup(p.X, p.Y);
    };
    // Dragging a floating bar, by the bar or by its name: the cursor's movement since the last
    // stored position.
    // The fields pass on the moves of a drag that passes over them.
    for (TControl* handle :
         {static_cast<TControl*>(panelTransporter), static_cast<TControl*>(panelSongName),
          static_cast<TControl*>(paintMidiLed), static_cast<TControl*>(paintTransp),
          static_cast<TControl*>(paintLoop), static_cast<TControl*>(paintBeep),
          static_cast<TControl*>(paintVU), static_cast<TControl*>(paintTimeSig),
          static_cast<TControl*>(paintPos), static_cast<TControl*>(paintLeft),
          static_cast<TControl*>(paintRight), static_cast<TControl*>(paintCPU)}) {
        handle->OnMouseMove = [this, handle](TObject*, TShiftState, int X, int Y) {
            if (panelTransporter->Tag != 1) return;
            const TPoint p = handle->ClientToScreen(TPoint{X, Y});
            panelTransporter->SetBounds(panelTransporter->Left + p.X - DragStart.X,
                                        panelTransporter->Top + p.Y - DragStart.Y,
                                        panelTransporter->Width, panelTransporter->Height);
            DragStart = p;
        };
    }
    for (TControl* handle :
         {static_cast<TControl*>(panelTransporter), static_cast<TControl*>(panelSongName)}) {
        handle->OnMouseDown = [this, handle](TObject*, TMouseButton Button, TShiftState, int X,
                                             int Y) {
            if (Button != mbLeft || IsDocked()) return;
            panelTransporter->Tag = 1;
            DragStart = handle->ClientToScreen(TPoint{X, Y});
        };
        handle->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
            panelTransporter->Tag = 0;
        };
    }

    // [Transporter], then the layout.
    TIniFile ini;
    const TColor bk = TColor(ini.ReadInteger("Transporter", "BkColor", 0xCCCCCC));
    const TColor font = TColor(ini.ReadInteger("Transporter", "FontColor", 0));
    panelTransporter->Color = bk;
    panelSongName->Font.Color = font;
    PosText->SetBkColor(bk);
    SetTextColor(PosText->MemDC, ColorToRGB(font));
    paintVU->Visible = ini.ReadBool("Transporter", "AudioVU", true);
    paintMidiLed->Visible = ini.ReadBool("Transporter", "MIDIVU", true);
    paintTimeSig->Visible = ini.ReadBool("Transporter", "TimeSig", false);
    paintPos->Visible = ini.ReadBool("Transporter", "SongPos", true);
    const bool locators = ini.ReadBool("Transporter", "Locators", false);
    paintLeft->Visible = locators;
    paintRight->Visible = locators;
    paintCPU->Visible = ini.ReadBool("Transporter", "CPU", true);
    PosAsTime = ini.ReadBool("Transporter", "PosAsTime", false);
    if (ini.ReadBool("Transporter", "Dock", true)) {
        panelTransporter->Align = alTop;
        LayoutTransportBar();
    } else {
        LayoutTransportBar(); // gives the floating width
        PlaceFloating(ini.ReadInteger("Transporter", "Left", kFloatLeft),
                      ini.ReadInteger("Transporter", "Top", kFloatTop));
        panelTransporter->BringToFront();
    }
    panelTransporter->Visible = ini.ReadBool("Transporter", "Visible", true);

    systemTimer.OnTimer = [this] { systemTimerTimer(); };
}

void LayoutTransportBar() {
    TfmMdi* f = fmMdi;
    if (!f || !f->panelTransporter) return;
    const bool led = f->paintMidiLed->Visible, vu = f->paintVU->Visible;
    const bool sig = f->paintTimeSig->Visible, pos = f->paintPos->Visible;
    Place(f->paintTransp, led ? kButtonsLeft : kButtonsLeft - 8);
    Place(f->paintVU, led ? kVuLeft : kVuLeft - 8);
    const int shift = (led ? 0 : 8) + (vu ? 0 : 88);
    const int noSig = sig ? 0 : 29, noPos = pos ? 0 : kLocatorStep;
    Place(f->paintTimeSig, kTimeSigLeft - shift);
    Place(f->paintPos, kPosLeft - shift - noSig);
    const int left = kLeftLocLeft - shift - noSig - noPos;
    Place(f->paintLeft, left);
    Place(f->paintRight, left + kLocatorStep);
    Place(f->paintCPU, kCpuLeft - shift - noSig - noPos -
                           (f->paintLeft->Visible ? 0 : kLocatorStep) -
                           (f->paintRight->Visible ? 0 : kLocatorStep));
    Place(f->paintLoop, kLoopLeft);
    Place(f->paintBeep, kBeepLeft);
    if (IsDocked()) return;
    int width = 0;
    for (TControl* c :
         {static_cast<TControl*>(f->panelSongName), static_cast<TControl*>(f->paintMidiLed),
          static_cast<TControl*>(f->paintTransp), static_cast<TControl*>(f->paintLoop),
          static_cast<TControl*>(f->paintBeep), static_cast<TControl*>(f->paintVU),
          static_cast<TControl*>(f->paintTimeSig), static_cast<TControl*>(f->paintPos),
          static_cast<TControl*>(f->paintLeft), static_cast<TControl*>(f->paintRight),
          static_cast<TControl*>(f->paintCPU)})
        if (c->Visible) width = std::max(width, c->Left + c->Width + 8);
    if (f->panelTransporter->Width != width)
        f->panelTransporter->SetBounds(f->panelTransporter->Left, f->panelTransporter->Top, width,
                                       TransportBarHeight);
}

void PaintTransportButtons(HDC DC) {
    TfmMdi* f = fmMdi;
    if (!f || !DC) return;
    const int state = Song ? Song->State.load() : 0;
    const bool audioRecord = f->AudioRecord.load();
    const bool active[7] = {state == 2 && !audioRecord, state == 0,
                            state == 1 || audioRecord,  f->PressedButton == 3,
                            f->PressedButton == 2,      f->PressedButton == 1,
                            f->PressedButton == 4};
    for (int i = 0; i < 7; ++i)
        DrawButtonImage(DC, 20 * i, i, active[i]);
}

void TfmMdi::PaintSongPosition() {
    if (!paintPos || !paintPos->Visible) return;
    TFieldDC dc(paintPos);
    if (dc.Handle()) DrawSongPosition(dc.Handle());
}

void PaintLeftLocator() {
    if (!fmMdi || !fmMdi->paintLeft || !fmMdi->paintLeft->Visible) return;
    TFieldDC dc(fmMdi->paintLeft);
    if (dc.Handle()) DrawLocator(dc.Handle(), false);
}

void PaintRightLocator() {
    if (!fmMdi || !fmMdi->paintRight || !fmMdi->paintRight->Visible) return;
    TFieldDC dc(fmMdi->paintRight);
    if (dc.Handle()) DrawLocator(dc.Handle(), true);
}

void TfmMdi::PaintCpu(HDC DC) {
    char buf[24];
    g_drawnCpu = CpuLoad.load(std::memory_order_relaxed);
    std::snprintf(buf, sizeof buf, "CPU %02d%%", g_drawnCpu);
    DrawFieldText(DC, buf, kCentred, paintCPU->Width);
}

void TfmMdi::PaintMidiLed() {
    if (!paintMidiLed || !paintMidiLed->Visible || !MidiLed) return;
    if ((MidiLed->Level > 0) == g_drawnLedLit) return;
    g_drawnLedLit = MidiLed->Level > 0;
    TFieldDC dc(paintMidiLed);
    if (dc.Handle()) MidiLed->Draw(dc.Handle());
}

void TfmMdi::SetBeatsPerBar(int Beats) {
    if (!Song) return;
    Song->BeatsPerBar = Beats;
    if (fmArrange && fmArrange->meter) fmArrange->meter->Invalidate();
    if (g_hooks.RepaintRulers) g_hooks.RepaintRulers();
    if (paintTimeSig) paintTimeSig->Invalidate();
}

void TfmMdi::Gui1Click() {
    if (g_hooks.ShowLooksEditor)
        g_hooks.ShowLooksEditor();
    else
        ::ShowLooksEditor();
}

// Each field is drawn only when what it shows changed since it was last drawn.
void TfmMdi::systemTimerTimer() {
    if (!panelTransporter || !panelTransporter->HandleAllocated()) return;
    if (g_hooks.RefreshMixerMeters) g_hooks.RefreshMixerMeters();
    if (!panelTransporter->Visible) return;
    const int litL = paintVU->Visible && VU ? VU->LitWidth(0) : g_drawnVu[0];
    const int litR = paintVU->Visible && VU ? VU->LitWidth(1) : g_drawnVu[1];
    const bool vu = litL != g_drawnVu[0] || litR != g_drawnVu[1];
    const int state = Song ? Song->State.load() : 0;
    const bool audioRecord = AudioRecord.load();
    const bool buttons =
        PressedButton != DrawnButton || state != DrawnState || audioRecord != g_drawnAudioRecord;
    const bool cpu = paintCPU->Visible && CpuLoad.load(std::memory_order_relaxed) != g_drawnCpu;
    if (vu) {
        g_drawnVu[0] = litL;
        g_drawnVu[1] = litR;
        TFieldDC dc(paintVU);
        if (dc.Handle()) VU->Draw(0, 0, dc.Handle(), litL, litR);
    }
    if (buttons) {
        DrawnButton = PressedButton;
        DrawnState = state;
        g_drawnAudioRecord = audioRecord;
        TFieldDC dc(paintTransp);
        if (dc.Handle()) PaintTransportButtons(dc.Handle());
    }
    if (cpu) {
        TFieldDC dc(paintCPU);
        if (dc.Handle()) PaintCpu(dc.Handle());
    }
}

void TfmMdi::WriteTransportSettings() {
    TfmMdi* f = this;
    if (!f->panelTransporter) return;
    TIniFile ini;
    ini.WriteBool("Transporter", "Visible", f->panelTransporter->Visible);
    ini.WriteInteger("Transporter", "BkColor", int(f->panelTransporter->Color));
    ini.WriteInteger("Transporter", "FontColor", int(TColor(f->panelSongName->Font.Color)));
    ini.WriteBool("Transporter", "AudioVU", f->paintVU->Visible);
    ini.WriteBool("Transporter", "MIDIVU", f->paintMidiLed->Visible);
    ini.WriteBool("Transporter", "TimeSig", f->paintTimeSig->Visible);
    ini.WriteBool("Transporter", "SongPos", f->paintPos->Visible);
    ini.WriteBool("Transporter", "Locators", f->paintLeft->Visible);
    ini.WriteBool("Transporter", "CPU", f->paintCPU->Visible);
    const bool docked = IsDocked();
    ini.WriteBool("Transporter", "Dock", docked);
    if (!docked) {
        ini.WriteInteger("Transporter", "Left", f->panelTransporter->Left);
        ini.WriteInteger("Transporter", "Top", f->panelTransporter->Top);
    }
}

void TTransportWindows::PaintSongPosition() {
    if (fmMdi) fmMdi->PaintSongPosition();
}

void TTransportWindows::PaintTransportButtons() {
    if (!fmMdi || !fmMdi->paintTransp) return;
    fmMdi->paintTransp->Invalidate();
    fmMdi->paintTransp->Update();
}

void TTransportWindows::PaintLoopButton() {
    if (fmMdi && fmMdi->paintLoop) fmMdi->paintLoop->Invalidate();
}

void TTransportWindows::PaintMidiLed() {
    if (fmMdi) fmMdi->PaintMidiLed();
}
