#include "gui/transpimages.h"

#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "platform/forms/controls.h"
#include "platform/gdi/canvas.h"

#include <algorithm>
#include <array>
#include <memory>

using namespace platform;

namespace {

constexpr int kSize = 20;

enum class Glyph { Play, Stop, Rec, Home, Rew, Fwd, End, Loop, Beep };

struct Ink {
    TColor fill;
    TColor outline;
};

TColor Mix(int r, int g, int b) {
    return TColor(RGB(r, g, b));
}

// The button face: a raised bevel over a light top-to-bottom shade, or, lit, a sunken bevel
// over a darker shade.
void DrawFace(TCanvas& c, bool lit) {
    for (int y = 0; y < kSize; ++y) {
        const int v = lit ? 172 + y * 2 : 238 - y * 2;
        c.Pen.Color = Mix(v, v, v);
        c.MoveTo(0, y);
        c.LineTo(kSize, y);
    }
    const TColor light = clWhite, dark = clGray;
    c.Pen.Color = lit ? dark : light;
    c.MoveTo(0, kSize - 1);
    c.LineTo(0, 0);
    c.LineTo(kSize - 1, 0);
    c.Pen.Color = lit ? light : dark;
    c.LineTo(kSize - 1, kSize - 1);
    c.LineTo(-1, kSize - 1);
}

void Triangle(TCanvas& c, int dx, TPoint a, TPoint b, TPoint d) {
    const std::array<TPoint, 3> p{TPoint{a.X + dx, a.Y + dx}, TPoint{b.X + dx, b.Y + dx},
                                  TPoint{d.X + dx, d.Y + dx}};
    c.Polygon(p);
}

void Box(TCanvas& c, int dx, int l, int t, int r, int b) {
    c.Rectangle(l + dx, t + dx, r + dx, b + dx);
}

bool InRoundedRect(double x, double y, double l, double t, double r, double b, double radius) {
    const double cx = std::clamp(x, l + radius, r - radius);
    const double cy = std::clamp(y, t + radius, b - radius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

// The loop's ring, two pixels wide, open where the arrow head sits.
bool LoopPixel(int x, int y) {
    const double px = x + 0.5, py = y + 0.5;
    const bool gap = y < 8 && x >= 10 && x <= 12;
    return InRoundedRect(px, py, 3, 5, 17, 15, 3.5) && !InRoundedRect(px, py, 5, 7, 15, 13, 1.5) &&
           !gap;
}

// One glyph in the pen and brush set by the caller, shifted by dx to the right and down.
void DrawShape(TCanvas& c, Glyph g, int dx) {
    switch (g) {
    case Glyph::Play:
        Triangle(c, dx, {6, 4}, {14, 10}, {6, 16});
        break;
    case Glyph::Stop:
        Box(c, dx, 5, 5, 15, 15);
        break;
    case Glyph::Rec:
        c.Ellipse(4 + dx, 4 + dx, 16 + dx, 16 + dx);
        break;
    case Glyph::Home:
        Box(c, dx, 4, 5, 7, 15);
        Triangle(c, dx, {15, 5}, {9, 10}, {15, 15});
        break;
    case Glyph::Rew:
        Triangle(c, dx, {10, 5}, {4, 10}, {10, 15});
        Triangle(c, dx, {16, 5}, {10, 10}, {16, 15});
        break;
    case Glyph::Fwd:
        Triangle(c, dx, {3, 5}, {9, 10}, {3, 15});
        Triangle(c, dx, {9, 5}, {15, 10}, {9, 15});
        break;
    case Glyph::End:
        Triangle(c, dx, {4, 5}, {10, 10}, {4, 15});
        Box(c, dx, 12, 5, 15, 15);
        break;
    case Glyph::Loop:
        // A rounded loop running clockwise, its arrow head on the top run.
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                if (LoopPixel(x, y)) c.SetPixel(x + dx, y + dx, c.Brush.Color);
        Triangle(c, dx, {10, 2}, {14, 6}, {10, 10});
        break;
    case Glyph::Beep:
        // A metronome: the body, its base and the pendulum leaning to the right.
        {
            const std::array<TPoint, 4> body{TPoint{8 + dx, 4 + dx}, TPoint{12 + dx, 4 + dx},
                                             TPoint{14 + dx, 15 + dx}, TPoint{6 + dx, 15 + dx}};
            c.Polygon(body);
        }
        Box(c, dx, 5, 15, 16, 17);
        break;
    }
}

void DrawPendulum(TCanvas& c, int dx, TColor color) {
    c.Pen.Color = color;
    c.MoveTo(10 + dx, 14 + dx);
    c.LineTo(15 + dx, 3 + dx);
    c.Brush.Color = color;
    c.Pen.Color = color;
    c.Rectangle(12 + dx, 8 + dx, 14 + dx, 10 + dx);
}

void DrawImage(TBitmap& bmp, Glyph g, bool lit, Ink ink) {
    bmp.SetSize(kSize, kSize);
    TCanvas& c = bmp.Canvas();
    c.Pen.Width = 1;
    c.Pen.Style = psSolid;
    c.Brush.Style = bsSolid;
    DrawFace(c, lit);
    // A lit button is pressed in: its glyph sits one pixel lower right. An unlit glyph is
    // engraved: a white rim below right.
    const int dx = lit ? 1 : 0;
    if (!lit) {
        c.Pen.Color = clWhite;
        c.Brush.Color = clWhite;
        DrawShape(c, g, 1);
        if (g == Glyph::Beep) DrawPendulum(c, 1, clWhite);
    }
    // The loop's thin ring and head take the fill colour alone; an outline would swallow it.
    c.Pen.Color = g == Glyph::Loop ? ink.fill : ink.outline;
    c.Brush.Color = ink.fill;
    DrawShape(c, g, dx);
    if (g == Glyph::Beep) DrawPendulum(c, dx, lit ? TColor(clWhite) : Mix(230, 230, 230));
    if (g == Glyph::Rec && lit) {
        // A small highlight on the lit record lamp.
        c.Pen.Color = Mix(255, 150, 150);
        c.Brush.Color = Mix(255, 150, 150);
        c.Rectangle(7 + dx, 7 + dx, 9 + dx, 9 + dx);
    }
}

} // namespace

void DrawTransportImages(TImageList& images) {
    images.SetSize(kSize, kSize);
    const Ink off{Mix(52, 52, 52), Mix(30, 30, 30)};
    const Ink green{Mix(40, 210, 40), Mix(0, 110, 0)};
    const Ink red{Mix(235, 20, 20), Mix(130, 0, 0)};
    const Ink amber{Mix(255, 196, 0), Mix(150, 96, 0)};
    const Ink blue{Mix(40, 150, 255), Mix(0, 70, 160)};
    struct Entry {
        Glyph glyph;
        Ink idle, lit;
    };
    const Entry entries[] = {
        {Glyph::Play, off, green},
        {Glyph::Stop, off, amber},
        {Glyph::Rec, {Mix(150, 30, 30), Mix(90, 10, 10)}, red},
        {Glyph::Home, off, amber},
        {Glyph::Rew, off, amber},
        {Glyph::Fwd, off, amber},
        {Glyph::End, off, amber},
        {Glyph::Loop, off, blue},
        {Glyph::Beep, off, amber},
    };
    for (const Entry& e : entries)
        for (bool lit : {false, true}) {
            TBitmap bmp;
            DrawImage(bmp, e.glyph, lit, lit ? e.lit : e.idle);
            images.Add(bmp);
        }
}

TTransportLooks::TTransportLooks() {
    TranspImageIds.fill(-1);
    DrawTransportImages(images);
}

void TTransportLooks::LoadTransportImages() {
    if (!GuiLooks) return;
    for (int i = 0; i < TranspImageCount; ++i) {
        auto bmp = std::make_unique<TBitmap>();
        images.GetBitmap(i, *bmp);
        TranspImageIds[std::size_t(i)] = GuiLooks->Add(std::move(bmp), TranspImageNames[i]);
    }
}

void TTransportLooks::RestoreTransportImages() {
    if (!GuiLooks) return;
    for (int i = 0; i < TranspImageCount; ++i) {
        auto bmp = std::make_unique<TBitmap>();
        images.GetBitmap(i, *bmp);
        int index = GuiLooks->IndexOf(TranspImageNames[i]);
        if (index < 0)
            index = GuiLooks->Add(std::move(bmp), TranspImageNames[i]);
        else
            GuiLooks->Replace(bmp, index);
        TranspImageIds[std::size_t(i)] = index;
    }
}

void TTransportLooks::InitLooks() {
    delete GuiLooks;
    GuiLooks = new TXGuiLooks;
    LoadTransportImages();
    const std::string name = ToNativePath(TIniFile().ReadString("Gui", "Filename", ""));
    if (name.empty() || !FileExists(name)) return;
    // The song and the devices do not exist yet: a bad file must not end the start-up.
    Guarded([&] { GuiLooks->LoadFromFile(name); });
}
