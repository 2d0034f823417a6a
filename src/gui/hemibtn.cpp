#include "gui/hemibtn.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "song/timebase.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace platform;

namespace {

const double kSqrt3 = std::sqrt(3.0);

struct Shade {
    std::uint32_t up, down;
};

int Channel(int c, double i) {
    return std::clamp(c + Round(c * i), 0, 255);
}

// The up and down colours of a base colour under intensity i.
Shade ShadeOf(COLORREF base, double i) {
    const int r = GetRValue(base), g = GetGValue(base), b = GetBValue(base);
    return {0xFF000000u | std::uint32_t(Channel(r, i) << 16 | Channel(g, i) << 8 | Channel(b, i)),
            0xFF000000u |
                std::uint32_t(Channel(r, -i) << 16 | Channel(g, -i) << 8 | Channel(b, -i))};
}

std::uint32_t Pix(COLORREF c) {
    return 0xFF000000u | std::uint32_t(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
}

// Whole-pixel offset from the centre of a span of n pixels starting at `from`, mirrored so
// that both halves match (an even span has no middle pixel).
int Offset(int p, int from, int n) {
    return p >= from + n / 2 ? p - (from + n / 2) : (from + (n - 1) / 2) - p;
}

// Whether the pixel lies inside the ellipse filling rect r.
bool InEllipse(int x, int y, const TRect& r) {
    const double a = r.Width() / 2.0, b = r.Height() / 2.0;
    if (a <= 0 || b <= 0 || x < r.Left || y < r.Top || x >= r.Right || y >= r.Bottom) return false;
    const double u = Offset(x, r.Left, r.Width()) / a, v = Offset(y, r.Top, r.Height()) / b;
    return u * u + v * v <= 1.0;
}

TRect Inset(const TRect& r, int by) {
    return {r.Left + by, r.Top + by, r.Right - by, r.Bottom - by};
}

} // namespace

THemisphereButton::THemisphereButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 25;
    height_ = 25;
    Render();
}

template <class F> void THemisphereButton::ForGroup(F f) {
    if (GroupIndex == 0) return;
    TComponent* owner = Owner();
    if (!owner) return;
    for (int i = 0; i < owner->ComponentCount(); ++i)
        if (auto* b = dynamic_cast<THemisphereButton*>(owner->Components(i)))
            if (b->GroupIndex == GroupIndex) f(b);
}

void THemisphereButton::SetAllowAllUp(bool v) {
    allowAllUp_ = v;
    ForGroup([v](THemisphereButton* b) { b->allowAllUp_ = v; });
}

void THemisphereButton::SetBevelWidth(int v) {
    if (v < 1) return;
    SetVisual(bevelWidth_, v);
}

void THemisphereButton::SetDown(bool v) {
    if (v == down_) return;
    down_ = v;
    Invalidate();
}

void THemisphereButton::SetGlyph(const TBitmap* glyph) {
    if (!glyph) {
        glyphValid_ = false;
        ImageGlyph.SetSize(0, 0);
    } else {
        ImageGlyph.Assign(*glyph);
        glyphValid_ = true;
        const int w = glyph->Width(), h = glyph->Height();
        // A glyph without height has no cells to count.
        numGlyphs_ = h > 0 && w % h == 0 && w / h > 0 ? w / h : 1;
        glyphIndex_ = 1;
    }
    Changed();
}

void THemisphereButton::SetGlyphIndex(int v) {
    if (v < 1 || v > numGlyphs_) return;
    SetVisual(glyphIndex_, v);
}

void THemisphereButton::Changed() {
    Render();
    Invalidate();
}

void THemisphereButton::BoundsChanged() {
    TGraphicControl::BoundsChanged();
    if (width_ != renderedW_ || height_ != renderedH_) Changed();
}

void THemisphereButton::TextChanged() {
    Changed();
}

void THemisphereButton::FontChanged() {
    Changed();
}

bool THemisphereButton::OnButton(int X, int Y) const {
    const int i = bevelWidth_ * Rings();
    const double a = width_ / 2.0 - i, b = height_ / 2.0 - i;
    // Rings that leave no face leave nothing to hit.
    if (a <= 0 || b <= 0) return false;
    const double u = (X - width_ / 2.0) / a, v = (Y - height_ / 2.0) / b;
    return u * u + v * v <= 1.0;
}

void THemisphereButton::Render() {
    const int W = width_, H = height_;
    renderedW_ = W;
    renderedH_ = H;
    if (W < 2 || H < 2) return;
    for (TBitmap* b : {&ImageOut, &ImageIn, &ImageMask})
        b->SetSize(W, H);
    Surface& up = ImageOut.Pixels();
    Surface& down = ImageIn.Pixels();
    Surface& mask = ImageMask.Pixels();
    const TRect all{0, 0, W, H};
    const int bw = bevelWidth_;
    const TRect outerInner = bevelOuter_ != hbNone ? Inset(all, bw) : all;
    const TRect face = bevelInner_ != hbNone ? Inset(outerInner, bw) : outerInner;
    const COLORREF base = ColorToRGB(faceColor_);

    // The glyph's cell and its transparent colour.
    const Surface* glyph = glyphValid_ && !ImageGlyph.Empty() ? &ImageGlyph.Pixels() : nullptr;
    const int cellW = glyph ? glyph->width / numGlyphs_ : 0, cellH = glyph ? glyph->height : 0;
    const int cellX = (glyphIndex_ - 1) * cellW;
    const std::uint32_t clear = glyph ? glyph->Row(cellH - 1)[0] : 0;

    const double fa = face.Width() / 2.0, fb = face.Height() / 2.0;
    const int cx = face.Left + face.Width() / 2, cy = face.Top + face.Height() / 2;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const std::size_t at = std::size_t(y) * std::size_t(W) + std::size_t(x);
            const bool inButton = InEllipse(x, y, all);
            mask.pixels[at] = inButton ? 0xFF000000u : 0xFFFFFFFFu;
            up.pixels[at] = down.pixels[at] = 0xFF000000u;
            if (!inButton) continue;
            if (InEllipse(x, y, face)) {
                const int ox = x >= cx ? x - cx : -Offset(x, face.Left, face.Width());
                const int oy = y >= cy ? y - cy : -Offset(y, face.Top, face.Height());
                const double u = ox / fa, v = oy / fb, r = std::sqrt(u * u + v * v);
                const double nx = u, ny = v, nz = 1 - r;
                COLORREF color = base;
                bool shaded = faceShaded_, covered = false;
                if (glyph && cellW > 0 && cellH > 0) {
                    int gx = ox + cellW / 2, gy = oy + cellH / 2;
                    if (glyphMapped_) {
                        gx = int(std::atan2(nz, -nx) / std::numbers::pi * (cellW - 1));
                        gy = int(std::atan2(nz, -ny) / std::numbers::pi * (cellH - 1));
                    }
                    if (gx >= 0 && gx < cellW && gy >= 0 && gy < cellH) {
                        const std::uint32_t g = glyph->Row(gy)[cellX + gx];
                        if (!glyphTransparent_ || g != clear) {
                            covered = true;
                            shaded = glyphShaded_;
                            color = RGB((g >> 16) & 0xFF, (g >> 8) & 0xFF, g & 0xFF);
                        }
                    }
                }
                if (faceTransparent_ && !covered) {
                    mask.pixels[at] = 0xFFFFFFFFu;
                    continue;
                }
                const double i = (-nx - ny + nz) / kSqrt3 * atten_;
                const Shade s = shaded ? ShadeOf(color, i) : Shade{Pix(color), Pix(color)};
                up.pixels[at] = s.up;
                down.pixels[at] = s.down;
                continue;
            }
            // A ring pixel: a 45-degree slope facing away from the centre (raised) or
            // towards it (lowered).
            const bool outer = !InEllipse(x, y, outerInner);
            const THemisphereBevel bevel = outer ? bevelOuter_ : bevelInner_;
            const double dx = x - (W - 1) / 2.0, dy = y - (H - 1) / 2.0;
            const double d = std::sqrt(dx * dx + dy * dy);
            double nx = 0, ny = 0, nz = 1;
            if (d > 0) {
                const double sign = bevel == hbRaised ? 1 : -1;
                nx = sign * dx / d / std::sqrt(2.0);
                ny = sign * dy / d / std::sqrt(2.0);
                nz = 1 / std::sqrt(2.0);
            }
            const int grey = std::clamp(128 + Round(128 * (-nx - ny + nz) / kSqrt3), 0, 255);
            up.pixels[at] = down.pixels[at] =
                0xFF000000u | std::uint32_t(grey << 16 | grey << 8 | grey);
        }
    }
    for (Surface* s : {&up, &down, &mask})
        ++s->changes;
    const int rings = Rings();
    for (TBitmap* b : {&ImageOut, &ImageIn}) {
        TCanvas& c = b->Canvas();
        if (borderStyle_ == bsSingleBorder) {
            c.Brush.Style = bsClear;
            c.Pen.Color = borderColor_;
            c.Pen.Style = psSolid;
            c.Pen.Mode = pmCopy;
            c.Ellipse(Inset(all, rings * bw));
        }
        if (!GetText().empty()) {
            c.Font = Font.Get();
            TRect r = all;
            CanvasDrawText(c, GetText(), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                           Font.Get().Color);
        }
    }
    if (faceTransparent_ && !GetText().empty()) {
        TCanvas& c = ImageMask.Canvas();
        c.Font = Font.Get();
        TRect r = all;
        CanvasDrawText(c, GetText(), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE, clBlack);
    }
}

void THemisphereButton::Paint() {
    const int W = width_, H = height_;
    if (W < 2 || H < 2 || ImageMask.Width() != W || ImageMask.Height() != H) return;
    const HDC dc = Canvas().Handle();
    // What lies under the button, with the button's area cleared...
    TBitmap work;
    work.SetSize(W, H);
    const HDC w = work.Canvas().Handle();
    BitBlt(w, 0, 0, W, H, dc, 0, 0, SRCCOPY);
    BitBlt(w, 0, 0, W, H, ImageMask.Canvas().Handle(), 0, 0, SRCAND);
    // ...joined with the picture cleared outside the button.
    TBitmap picture;
    picture.SetSize(W, H);
    const HDC p = picture.Canvas().Handle();
    BitBlt(p, 0, 0, W, H, ImageMask.Canvas().Handle(), 0, 0, NOTSRCCOPY);
    BitBlt(p, 0, 0, W, H, (down_ ? ImageIn : ImageOut).Canvas().Handle(), 0, 0, SRCAND);
    BitBlt(w, 0, 0, W, H, p, 0, 0, SRCPAINT);
    BitBlt(dc, 0, 0, W, H, w, 0, 0, SRCCOPY);
}

void THemisphereButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!GetEnabled() || !OnButton(X, Y)) return;
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    tracking_ = true;
    downBefore_ = down_;
    SetDown(true);
    if (Shift & ssDouble) Fire(OnDblClick, this);
}

void THemisphereButton::MouseMove(TShiftState Shift, int X, int Y) {
    if (tracking_ && !downBefore_) SetDown(OnButton(X, Y));
    TGraphicControl::MouseMove(Shift, X, Y);
}

void THemisphereButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (tracking_ && Button == mbLeft) {
        tracking_ = false;
        if (OnButton(X, Y)) {
            Fire(OnClick, this);
            if (GroupIndex == 0) {
                SetDown(false);
            } else if (allowAllUp_ || !downBefore_) {
                ForGroup([](THemisphereButton* b) { b->SetDown(false); });
                SetDown(!downBefore_);
            }
        } else {
            SetDown(downBefore_);
        }
    }
    TGraphicControl::MouseUp(Button, Shift, X, Y);
}
