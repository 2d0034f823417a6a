#include "app/cursors.h"

#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "platform/gdi/graphics.h"
#include "platform/window/input.h"

#include <array>

using namespace platform;

namespace {

constexpr int kSize = 32;
// Black is transparent in a cursor picture: outlines use a dark grey.
constexpr TColor kOutline = 0x202020, kBody = 0x30C8F0, kWood = 0x9CD4F0, kLead = 0x505050;

// A pencil from the top right down to its point at the bottom left (the hot spot).
void DrawPencil(TCanvas& c) {
    const std::array<TPoint, 4> body{TPoint{8, 19}, TPoint{22, 5}, TPoint{26, 9}, TPoint{12, 23}};
    c.Pen.Color = kOutline;
    c.Brush.Color = kBody;
    c.Polygon(body);
    const std::array<TPoint, 3> wood{TPoint{8, 19}, TPoint{12, 23}, TPoint{2, 29}};
    c.Brush.Color = kWood;
    c.Polygon(wood);
    const std::array<TPoint, 3> lead{TPoint{4, 25}, TPoint{6, 27}, TPoint{1, 30}};
    c.Pen.Color = kLead;
    c.Brush.Color = kLead;
    c.Polygon(lead);
}

// A transparent picture with the pencil on it.
TCanvas& PencilCursor(TBitmap& b) {
    b.SetSize(kSize, kSize);
    TCanvas& c = b.Canvas();
    c.Brush.Color = 0;
    c.FillRect(TRect{0, 0, kSize, kSize});
    DrawPencil(c);
    return c;
}

std::string Save(TBitmap& b, const std::string& Name) {
    const std::string folder = SettingsFolder() + "cursors/";
    if (!ForceDirectories(folder)) return "";
    const std::string path = folder + Name;
    try {
        b.SaveToFile(path);
    } catch (...) {
        return "";
    }
    return path;
}

} // namespace

void RegisterKeyCursors() {
    TBitmap insert;
    TCanvas& c = PencilCursor(insert);
    // A plus for inserting.
    c.Brush.Color = 0xF0F0F0;
    c.FillRect(TRect{24, 20, 27, 31});
    c.FillRect(TRect{20, 24, 31, 27});
    RegisterCursor(crKeyInsert, Save(insert, "keyinsert.bmp"), TPoint{1, 30});

    TBitmap step;
    TCanvas& s = PencilCursor(step);
    // A step to the right: a bar and an arrow head.
    s.Brush.Color = 0x40E040;
    s.FillRect(TRect{18, 20, 20, 31});
    const std::array<TPoint, 3> head{TPoint{22, 20}, TPoint{30, 25}, TPoint{22, 30}};
    s.Pen.Color = 0x208020;
    s.Polygon(head);
    RegisterCursor(crKeyStep, Save(step, "keystep.bmp"), TPoint{1, 30});
}
