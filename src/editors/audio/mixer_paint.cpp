// The mixer's painting: every item by its name, the faders, the routing wires of the
// Connections view, and the meters and the master wave drawn straight into the window.
#include "devices/audio.h"
#include "devices/mfx.h"
#include "editors/audio/mixer_items.h"
#include "gui/glib.h"
#include "platform/forms/extctrls.h"
#include "platform/gdi/gdi.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace platform;

namespace {

constexpr TColor SidebarColor = 0x7E6454; // RGB(84, 100, 126)
constexpr TColor SpaceColor = 0x8A8078;
constexpr int VuRows = 81;

void Fill(TCanvas& C, const TRect& R, TColor Color) {
    C.Brush.Style = bsSolid;
    C.Brush.Color = Color;
    C.FillRect(R);
}

void New(TBitmap& B, int W, int H, TColor Color) {
    B.SetSize(W, H);
    Fill(B.Canvas(), {0, 0, W, H}, Color);
}

// One line of text, vertically centred, on a transparent background.
void MixText(TCanvas& C, const std::string& S, TRect R, unsigned Align, TColor Color) {
    C.Brush.Style = bsClear;
    CanvasDrawText(C, S, &R, Align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, Color);
    C.Brush.Style = bsSolid;
}

// A button face with a letter: lit or dark.
void Switch(TBitmap& B, const char* Letter, TColor Face, TColor Ink) {
    New(B, 24, 20, 0x202020);
    TCanvas& c = B.Canvas();
    Fill(c, {2, 2, 22, 18}, Face);
    DrawFrame3D(c, {2, 2, 22, 18}, 0x909090, 0x101010);
    MixText(c, Letter, {2, 2, 22, 18}, DT_CENTER, Ink);
}

void Led(TBitmap& B, TColor Face, TColor Shine) {
    New(B, 12, 12, clBlack);
    TCanvas& c = B.Canvas();
    c.Pen.Color = 0x101010;
    c.Brush.Color = Face;
    c.Ellipse(1, 1, 11, 11);
    Fill(c, {4, 3, 6, 5}, Shine);
}

// A meter column: sixteen segments of four rows with a dark row between, the lowest row
// below them; lit green, then amber, then red towards the top.
void Vu(TBitmap& B, bool Lit) {
    New(B, 6, VuRows, 0x101010);
    TCanvas& c = B.Canvas();
    for (int s = 0; s < 16; ++s) {
        const int bottom = VuRows - 1 - 5 * s;
        TColor color = s < 11 ? 0x30C040 : s < 14 ? 0x20C0F0 : 0x2020E0;
        if (!Lit) color = s < 11 ? 0x183018 : s < 14 ? 0x183040 : 0x181840;
        Fill(c, {0, bottom - 4, 6, bottom}, color);
    }
}

} // namespace

TMixerImages::TMixerImages() {
    // The strip: the meter bed at the left, the fader's slot at the right.
    New(Strip, 48, 103, 0x262626);
    {
        TCanvas& c = Strip.Canvas();
        Fill(c, {4, 10, 12, 93}, 0x0A0A0A);
        Fill(c, {13, 10, 21, 93}, 0x0A0A0A);
        DrawFrame3D(c, {0, 0, 22, 103}, 0x404040, 0x141414);
        Fill(c, {22, 0, 48, 103}, 0x2E2E2E);
        DrawFrame3D(c, {22, 0, 48, 103}, 0x4A4A4A, 0x161616);
        Fill(c, {33, 6, 36, 98}, 0x050505);
        for (int y = 6; y <= 96; y += 9)
            Fill(c, {25, y, 30, y + 1}, 0x6A6A6A);
    }
    New(Knob, 24, 10, 0xA0A0A0);
    {
        TCanvas& c = Knob.Canvas();
        DrawGradient(c, 0xE0E0E0, 0x606060, 0, {0, 0, 24, 10});
        DrawFrame3D(c, {0, 0, 24, 10}, clWhite, 0x303030);
        Fill(c, {2, 4, 22, 6}, 0x202020);
    }
    New(HorzKnob, 12, 14, 0xA0A0A0);
    {
        TCanvas& c = HorzKnob.Canvas();
        DrawGradient(c, 0xE0E0E0, 0x606060, 1, {0, 0, 12, 14});
        DrawFrame3D(c, {0, 0, 12, 14}, clWhite, 0x303030);
        Fill(c, {5, 2, 7, 12}, 0x202020);
    }
    Switch(MuteOn, "M", 0x2828E0, clWhite);
    Switch(MuteOff, "M", 0x3A3A3A, 0x9A9A9A);
    Switch(SoloOn, "S", 0x30C8F0, clBlack);
    Switch(SoloOff, "S", 0x3A3A3A, 0x9A9A9A);
    Led(LedOn, 0x40E040, 0xC0FFC0);
    Led(LedOff, 0x284028, 0x406040);
    New(Minimise, 14, 14, SidebarColor);
    Fill(Minimise.Canvas(), {3, 9, 11, 11}, clWhite);
    New(Maximise, 14, 14, SidebarColor);
    {
        TCanvas& c = Maximise.Canvas();
        c.Brush.Color = clWhite;
        c.FrameRect({3, 3, 11, 11});
        Fill(c, {3, 3, 11, 5}, clWhite);
    }
    New(Editor, 14, 14, SidebarColor);
    {
        TCanvas& c = Editor.Canvas();
        c.Brush.Color = clWhite;
        c.FrameRect({2, 3, 12, 11});
        Fill(c, {4, 6, 6, 9}, clWhite);
        Fill(c, {8, 5, 10, 9}, clWhite);
    }
    Vu(VuOff, false);
    Vu(VuOn, true);
    New(WaveBack, 48, 40, 0x0C140C);
    {
        TCanvas& c = WaveBack.Canvas();
        for (int x = 4; x < 44; x += 8)
            Fill(c, {x, 2, x + 1, 38}, 0x1C2C1C);
        Fill(c, {4, 19, 44, 20}, 0x2C482C);
        DrawFrame3D(c, {0, 0, 48, 40}, 0x101010, 0x505050);
    }
    New(WhiteSpace, 48, 20, SpaceColor);
    DrawFrame3D(WhiteSpace.Canvas(), {0, 0, 48, 20}, 0xA89E96, 0x6A625C);
    New(AirPump, 48, 20, 0x3A3A3A);
    {
        TCanvas& c = AirPump.Canvas();
        for (int x = 6; x < 42; x += 6)
            Fill(c, {x, 6, x + 3, 14}, 0x141414);
        DrawFrame3D(c, {0, 0, 48, 20}, 0x5A5A5A, 0x1A1A1A);
    }
    New(Bevel, 48, 20, 0x141414);
    DrawFrame3D(Bevel.Canvas(), {0, 0, 48, 20}, 0x050505, 0x484848);
    DrawFrame3D(Bevel.Canvas(), {1, 1, 47, 19}, 0x0A0A0A, 0x303030);
}

TMixerImages& MixerImages() {
    static TMixerImages images;
    return images;
}

int MeterRows(float Peak) {
    if (!(Peak > 0.0f)) return 0;
    // Limited first, so that a huge or infinite peak lights the whole meter.
    const double p = std::min(static_cast<double>(Peak), 16.0);
    return std::min(5 * Round(p * 16.0), VuRows);
}

// ---- items ----

void TfmMixer::PaintNameLabel(TCanvas& C, TXGuiBase* Item, const std::string& Caption) {
    TRect r;
    Item->GetRect(r);
    C.Draw(r.Left, r.Top, MixerImages().WhiteSpace);
    MixText(C, Caption, {r.Left + 4, r.Top, r.Right - 4, r.Bottom}, DT_LEFT, clWhite);
}

void TfmMixer::PaintOutputButton(TCanvas& C, TXGuiBase* Item, const std::string& S) {
    TRect r;
    Item->GetRect(r);
    C.Draw(r.Left, r.Top, MixerImages().Bevel);
    C.Font.Color = LedHighColor;
    MixText(C, S, r, DT_CENTER, LedHighColor);
}

void TfmMixer::DrawFader(TCanvas& C, TXGuiBase* Item) {
    TMixerImages& im = MixerImages();
    TRect r;
    Item->GetRect(r);
    C.CopyRect({r.Left, r.Top, r.Left + 26, r.Top + 103}, im.Strip.Canvas(), {22, 0, 48, 103});
    auto* fader = AsXGuiFader(Item);
    const int K = im.Knob.Width(), L = im.Knob.Height();
    const int T = Item->H - L;
    const int pos = fader && fader->Max != 0 ? Round(double(T) * fader->Pos / fader->Max) : 0;
    C.Draw(r.Left - 1 + (Item->W - K) / 2, r.Top + T - pos, im.Knob);
}

namespace {

// The name a routing target shows: the master, a bus, or "Error" for a number past the list.
std::string TargetName(int Target) {
    if (Target == -1) return "Master";
    if (TSub* bus = SubEngine ? SubEngine->GetSub(Target) : nullptr) {
        std::string s;
        bus->GetName(s);
        return s;
    }
    return "Error";
}

std::string KnobText(const std::string& Prefix, int Value) {
    char s[32];
    std::snprintf(s, sizeof s, "%s%.3d", Prefix.c_str(), Value);
    return s;
}

} // namespace

void TfmMixer::PaintCtrl(TXGuiBase* Item, TCanvas& C, bool& Done) {
    TMixerImages& im = MixerImages();
    TRect r;
    Item->GetRect(r);
    const std::string& name = Item->Name;
    const int X = r.Left, Y = r.Top, W = Item->W, H = Item->H;
    auto slot = [Item] { return reinterpret_cast<TSoftOut*>(Item->Tag); };
    auto centred = [&](TBitmap& B) {
        C.Draw(X + (W - B.Width()) / 2, Y + (H - B.Height()) / 2, B);
    };

    if (name == "Drag") {
        const std::string file = Song ? Song->FileName : std::string();
        const TRect in{X + 4, Y, X + W - 4, Y + H};
        if (C.TextWidth(file) < in.Width()) MixText(C, file, in, DT_RIGHT, clWhite);
        Done = true;
    } else if (name == "MenuAdd" || name == "MenuView") {
        MixText(C, name == "MenuAdd" ? "Add" : "View", {X + 4, Y, X + W, Y + H}, DT_CENTER,
                clWhite);
        Done = true;
    } else if (name == "titleBar") {
        Fill(C, r, clBlack);
        Done = true;
    } else if (name == "Close") {
        Fill(C, r, clBlack);
        const int o = Item->Pressed ? 1 : 0;
        const int cx = X + W / 2 + o, cy = Y + H / 2 + o;
        Fill(C, {cx - 5, cy - 2, cx + 5, cy - 1}, clWhite);
        Fill(C, {cx - 3, cy, cx + 3, cy + 1}, clWhite);
        Fill(C, {cx - 1, cy + 2, cx + 1, cy + 3}, clWhite);
        Done = true;
    } else if (name == "Client" || name == "Editor") {
        Fill(C, r, clBlack);
    } else if (name == "Sidebar") {
        Fill(C, r, SidebarColor);
        if (auto* ch = reinterpret_cast<TChannel*>(Item->Tag); ch && !ch->Label.Empty())
            C.Draw(X + 1, Y + H - ch->Label.Height(), ch->Label);
        Fill(C, {X, Y, X + 1, Y + H}, clBlack);
    } else if (name == "ChMinimize") {
        auto* ch = reinterpret_cast<TChannel*>(Item->Tag);
        centred(ch && ch->Show == 1 ? im.Maximise : im.Minimise);
        Done = true;
    } else if (name == "ChEditor") {
        centred(im.Editor);
        Done = true;
    } else if (name == "SynthName" || name == "SubName" || name == "SampleName" ||
               name == "MasterFX") {
        PaintNameLabel(C, Item, AsXGuiLabel(Item)->Caption);
        Done = true;
    } else if (name == "Insert") {
        C.Draw(X, Y, im.Bevel);
        auto* bus = reinterpret_cast<TSub*>(Item->Tag);
        std::string s;
        if (bus && bus->Plugin) bus->Plugin->GetName(s);
        MixText(C, s, {X + 8, Y, X + W - 8, Y + H}, DT_LEFT, LedHighColor);
        Done = true;
    } else if (name == "sendName") {
        C.Draw(X, Y, im.WhiteSpace);
        MixText(C, AsXGuiLabel(Item)->Caption, {X + 4, Y, X + W - 4, Y + H}, DT_LEFT, clBlack);
        Done = true;
    } else if (name == "category") {
        C.CopyRect(r, im.WhiteSpace.Canvas(), {0, 0, W, H});
        const char* s = Item->Tag == 1 || Item->Tag == 3 ? "Group"
                        : Item->Tag == 2                 ? "Send"
                        : Item->Tag == 4                 ? "Master"
                                                         : "";
        MixText(C, s, {X + 4, Y, X + W - 4, Y + H}, DT_LEFT, clBlack);
    } else if (name == "whitespace") {
        const int tile = im.WhiteSpace.Height();
        for (int y = 0; y < H; y += tile)
            C.CopyRect({X, Y + y, X + W, Y + std::min(y + tile, H)}, im.WhiteSpace.Canvas(),
                       {0, 0, W, std::min(tile, H - y)});
    } else if (name == "Wave") {
        C.CopyRect(r, im.WaveBack.Canvas(), {0, 0, W, H});
    } else if (name == "airpump") {
        C.CopyRect(r, im.AirPump.Canvas(), {0, 0, W, H});
    } else if (name == "Mute") {
        C.Draw(X, Y, slot() && slot()->Mute.load() == 1 ? im.MuteOn : im.MuteOff);
    } else if (name == "Solo") {
        C.Draw(X, Y, slot() && slot()->Solo.load() == 1 ? im.SoloOn : im.SoloOff);
    } else if (name == "VU") {
        C.CopyRect({X, Y, X + 22, Y + 103}, im.Strip.Canvas(), {0, 0, 22, 103});
        C.Draw(X + 5, Y + 11, im.VuOff);
        C.Draw(X + 14, Y + 11, im.VuOff);
    } else if (name == "Volume") {
        DrawFader(C, Item);
        Done = true;
    } else if (name == "Pan" || name == "Send2") {
        C.Draw(X, Y, im.Bevel);
        auto* knob = static_cast<TXGuiKnob*>(Item);
        const int v = knob->Value;
        std::string s;
        if (name == "Send2")
            s = KnobText(knob->Text, v);
        else
            s = v < 0 ? KnobText("L-", -v) : v > 0 ? KnobText("R-", v) : KnobText("C-", 0);
        const int size = C.Font.Size();
        C.Font.SetSize(8);
        MixText(C, s, r, DT_CENTER, v == 0 ? LedLowColor : LedHighColor);
        C.Font.SetSize(size);
        Done = true;
    } else if (name == "SubLed") {
        auto* bus = reinterpret_cast<TSub*>(Item->Tag);
        centred(bus && bus->Plugin && bus->Plugin->Enabled.load() == 1 ? im.LedOn : im.LedOff);
    } else if (name == "SubOutput") {
        TSub* bus = SubEngine ? SubEngine->GetSub(static_cast<int>(Item->Tag)) : nullptr;
        PaintOutputButton(C, Item, bus ? TargetName(bus->Output.load()) : "Error");
    } else if (name == "SynthOutput" || name == "SampleOutput") {
        PaintOutputButton(C, Item, slot() ? TargetName(slot()->Bus.load()) : "Error");
    } else if (name == "plugs") {
        DrawConnections(C, r.Left, r.Top, r.Right, r.Bottom);
        Done = true;
    } else if (name == "FxFader") {
        auto* fader = AsXGuiFader(Item);
        const int K = im.HorzKnob.Width();
        Fill(C, {X + K / 2 - 2, Y + H / 2, X + W - K / 2 + 2, Y + H / 2 + 1}, clBlack);
        const int span = fader->Max - fader->Min;
        const int x = span ? Round(double(W - K) * (fader->Pos - fader->Min) / span) : 0;
        C.Draw(X + x, Y + (H - im.HorzKnob.Height()) / 2, im.HorzKnob);
        Done = true;
    } else if (name.rfind("FxLabel", 0) == 0) {
        MixText(C, AsXGuiLabel(Item)->Caption, {X + 4, Y, X + W - 4, Y + H}, DT_LEFT, LedHighColor);
        auto* plugin = Item->Parent ? reinterpret_cast<TMFX*>(Item->Parent->Tag) : nullptr;
        std::string value;
        if (plugin) plugin->GetParamDisplay(static_cast<int>(Item->Tag), value);
        MixText(C, value, {X + 4, Y, X + W - 4, Y + H}, DT_RIGHT, LedHighColor);
        Done = true;
    } else if (name == "Scrolly") {
        auto* bar = static_cast<TXGuiScrollbar2*>(Item);
        const bool thumb = bar->ThumbLength > 0;
        auto button = [&](const TRect& B, int Direction) {
            if (thumb) {
                Fill(C, B, 0xC0C0C0);
                DrawFrame3D(C, B, clWhite, 0x808080);
            }
            DrawArrow(C, thumb ? clBlack : 0x808080, Direction, B, 0, 0);
        };
        if (thumb) {
            const TRect t{X, Y + bar->ThumbPos(), X + W, Y + bar->ThumbPos() + bar->ThumbLength};
            Fill(C, t, 0xC0C0C0);
            DrawFrame3D(C, t, clWhite, 0x808080);
        }
        button({X, Y, X + W, Y + W}, 1);
        button({X, Y + H - 16, X + W, Y + H}, 2);
    } else if (auto* label = dynamic_cast<TXGuiLabel*>(Item)) {
        MixText(C, label->Caption, {X + 4, Y, X + W - 4, Y + H}, DT_LEFT, clWhite);
        Done = true;
    }
}

// ---- the routing wires ----

void TfmMixer::DrawConnections(TCanvas& C, int Left, int Top, int Right, int Bottom) {
    struct TRail {
        bool Set = false;
        int X = 0, Row = 0;
    };
    TRendererHold hold; // a block may add to the lists walked here
    TRail master;
    std::vector<TRail> rails(SubEngine ? SubEngine->Buses.size() : 0);
    auto dot = [&](int x, int y) {
        if (x >= 0 && Left + x < Right && Top + y < Bottom)
            Fill(C, {Left + x, Top + y, Left + x + 1, Top + y + 1}, LedHighColor);
    };
    auto down = [&](int x, int row) {
        dot(x - 1, 0);
        dot(x + 1, 0);
        const int bottom = std::min(Top + row + 1, Bottom);
        if (Left + x < Right) Fill(C, {Left + x, Top, Left + x + 1, bottom}, LedHighColor);
    };
    auto across = [&](int x1, int x2, int row) {
        if (Top + row >= Bottom) return;
        const int a = std::min(x1, x2), b = std::min(std::max(x1, x2) + 1, Right - Left);
        if (b > a) Fill(C, {Left + a, Top + row, Left + b, Top + row + 1}, LedHighColor);
    };
    // A wire to the rail of Target; none to a target without a rail.
    auto toRail = [&](int x, int Target) {
        const TRail* rail = Target == -1 ? &master
                            : Target >= 0 && Target < int(rails.size())
                                ? &rails[std::size_t(Target)]
                                : nullptr;
        if (!rail || !rail->Set) return;
        down(x, rail->Row);
        across(x, rail->X, rail->Row);
    };
    int x = 8, row = 8;
    auto width = [](bool Min, bool Open) { return Min ? 16 : Open ? 68 : 32; };
    // 1.
    int lastOut = -1;
    if (SubEngine) {
        for (std::size_t i = 0; i < SubEngine->MasterBuses.size(); ++i) {
            TSub* bus = SubEngine->MasterBuses[i];
            const bool min = bus->Channel && bus->Channel->Show == 1;
            const bool open = bus->Docked == 1 && bus->EditorShown == 1;
            if (!min) x += open ? 68 : 32;
            const int out = i == 0 ? x : x + 2;
            down(out, 8);
            if (i > 0) {
                down(x - 2, 8);
                across(x - 2, lastOut, 8);
            }
            lastOut = out;
            x += width(min, open) + 1;
        }
    }
    // 2.
    const bool masterMin = Song && Song->MasterChannel && Song->MasterChannel->Show == 1;
    if (!masterMin) x += 32;
    x += 1;
    int masterX = x;
    if (lastOut >= 0) {
        down(x - 2, row);
        across(x - 2, lastOut, row);
        masterX = x + 2;
    }
    down(masterX, row);
    master = {true, masterX, row};
    row += 8;
    x += (masterMin ? 16 : 32) + 1;
    // 3.
    if (SubEngine) {
        for (std::size_t i = 0; i < SubEngine->Buses.size(); ++i) {
            TSub* bus = SubEngine->Buses[i];
            const bool min = bus->Channel && bus->Channel->Show == 1;
            const bool open = bus->Docked == 1 && bus->EditorShown == 1;
            if (!min) x += open ? 68 : 32;
            if (bus->Kind == skGroupEffect || bus->Kind == skGroupVolume) {
                down(x + 2, row);
                rails[i] = {true, x + 2, row};
                row += 8;
            }
            toRail(x - 2, bus->Output.load());
            x += width(min, open) + 1;
        }
    }
    // 4. and 5.
    auto slots = [&](TSoftOuts& Outputs, int Count, bool Min) {
        for (int j = 0; j < Count; ++j) {
            TSoftOut& slot = Outputs[static_cast<std::size_t>(j)];
            if (!slot.Active) break;
            if (!Min) x += j == 0 ? 32 : 48;
            toRail(x, slot.Bus.load());
        }
        x += (Min ? 16 : 32) + 1;
    };
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items) {
            const bool min = item->Channel && item->Channel->Show == 1;
            if (item->OutputCount == 0)
                x += (min ? 16 : 64) + 1;
            else
                slots(item->Outputs, std::min(item->OutputCount, OutputSlotCount), min);
        }
    if (Song)
        for (int t = 0; t < TrackCount; ++t) {
            _TTrack* track = Song->TrackAt(t);
            if (!track || track->Mode != tmAudio || track->Samples.empty()) continue;
            slots(track->Outputs, OutputSlotCount,
                  track->MixChannel && track->MixChannel->Show == 1);
        }
}

// ---- the meters ----

void TfmMixer::RefreshMeters(const std::atomic<float>* Buffer, int Frames) {
    // 1.
    if (!Visible || !HandleAllocated() || !Gui) return;
    const HDC dc = GetDC(Handle());
    if (!dc) return;
    TMixerImages& im = MixerImages();
    const int ox = Gui->GetLeft(), oy = Gui->GetTop();
    // 2.
    if (WaveItem) {
        const int W = WaveItem->W, H = WaveItem->H;
        TBitmap wave;
        wave.SetSize(W, H);
        TCanvas& c = wave.Canvas();
        c.CopyRect({0, 0, W, H}, im.WaveBack.Canvas(), {0, 0, W, H});
        if (Audio && Audio->AudioOn.load() && Buffer && Frames > 0 && W > 8) {
            std::vector<TPoint> points{{4, H / 2}};
            const double step = double(Frames) / (W - 8);
            double p = 0;
            for (int i = 0; i <= W - 8; ++i) {
                if (p > Frames - 1) break;
                float v =
                    Buffer[static_cast<std::size_t>(Round(p))].load(std::memory_order_relaxed);
                if (!(v == v)) v = 0.0f; // a NaN draws as silence
                v = std::clamp(v, -2.0f, 2.0f);
                points.push_back({i + 4, Round((1.0 + v) * H * 0.5)});
                p += step;
            }
            c.Pen.Color = LedHighColor;
            c.Polyline(points);
        }
        TRect r;
        WaveItem->GetRect(r);
        BitBlt(dc, ox + r.Left, oy + r.Top, W, H, c.Handle(), 0, 0, SRCCOPY);
    }
    // 3.
    const HDC off = im.VuOff.Canvas().Handle(), on = im.VuOn.Canvas().Handle();
    for (TXGuiBase* item : Meters) {
        auto* meter = static_cast<TMixMeter*>(item);
        TRect r;
        item->GetRect(r);
        const int peaks[2] = {MeterRows(meter->PeakLeft->load(std::memory_order_relaxed)),
                              MeterRows(meter->PeakRight->load(std::memory_order_relaxed))};
        for (int side = 0; side < 2; ++side) {
            const int x = ox + r.Left + (side ? 14 : 5), y = oy + r.Top + 11;
            const int n = peaks[side];
            BitBlt(dc, x, y, 6, VuRows - n, off, 0, 0, SRCCOPY);
            if (n > 0) BitBlt(dc, x, y + VuRows - n, 6, n, on, 0, VuRows - n, SRCCOPY);
        }
    }
    // 4.
    ReleaseDC(Handle(), dc);
}
