// Fonts as objects, text metrics and text output.
#include "platform/gdi/gdi.h"

#include "platform/gdi/objects.h"
#include "platform/gdi/syscolors.h"
#include "platform/gdi/textcodec.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace platform {

SizedFont* FontObj::Sized() {
    if (!sized) sized = GetSizedFont(desc);
    return sized.get();
}

namespace {

constexpr TRect kNoLimit{INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2};

// A character placed on a line: x from the line's start.
struct Placed {
    char32_t c = 0;
    int x = 0;
    bool underline = false; // the prefix character of DrawText
};

struct Line {
    std::vector<Placed> chars;
    int width = 0;
};

// Places characters one after another; with tabWidth, tabs advance to the next stop.
Line Place(SizedFont& f, const std::u32string& text, const std::vector<bool>* underline = nullptr,
           int tabWidth = 0) {
    Line line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        Placed p{c, line.width, underline && (*underline)[i]};
        if (c == U'\t' && tabWidth > 0)
            line.width = (line.width / tabWidth + 1) * tabWidth;
        else
            line.width += f.GetGlyph(c).advance;
        line.chars.push_back(p);
    }
    return line;
}

class TextPainter {
public:
    TextPainter(Painter& p, DcObj& d, SizedFont& f, const TRect& limit)
        : p_(p), d_(d), f_(f), limit_(limit), color_(PixelFromColorRef(d.textColor)),
          angle_(d.font->desc.escapement * std::numbers::pi / 1800.0) {}

    // Draws a line whose cell's top-left is (x, y), device coordinates.
    void Draw(const Line& line, int x, int y) {
        if (angle_ != 0) return DrawRotated(line, x, y);
        if (d_.bkMode == OPAQUE)
            Fill(PixelFromColorRef(d_.bkColor), x, y, x + line.width, y + f_.Height());
        const int base = y + f_.ascent;
        for (const Placed& pc : line.chars) {
            const Glyph& g = f_.GetGlyph(pc.c);
            Blit(g, x + pc.x, base);
            if (pc.underline)
                Fill(color_, x + pc.x, base + f_.underlinePos, x + pc.x + g.advance,
                     base + f_.underlinePos + f_.underlineThickness);
        }
        const FontDesc& desc = d_.font->desc;
        if (desc.underline)
            Fill(color_, x, base + f_.underlinePos, x + line.width,
                 base + f_.underlinePos + f_.underlineThickness);
        if (desc.strikeOut)
            Fill(color_, x, base - f_.strikeOutPos, x + line.width,
                 base - f_.strikeOutPos + f_.strikeOutThickness);
    }

    void Fill(std::uint32_t color, int l, int t, int r, int b) {
        TRect box = IntersectRects({l, t, r, b}, limit_);
        for (int y = box.Top; y < box.Bottom; ++y)
            p_.Span(y, box.Left, box.Right,
                    [&](std::uint32_t* q, int n, int) { std::fill_n(q, n, color); });
    }

private:
    // The glyph's set pixels, a run of a row at a time.
    void Blit(const Glyph& g, int ox, int oy) {
        for (int row = 0; row < g.rows; ++row) {
            const int y = oy + g.top + row;
            if (y < limit_.Top || y >= limit_.Bottom) continue;
            const std::uint8_t* bits = g.bits.data() + std::size_t(row * g.width);
            for (int col = 0; col < g.width;) {
                if (!bits[col]) {
                    ++col;
                    continue;
                }
                int end = col;
                while (end < g.width && bits[end])
                    ++end;
                const int x0 = std::max(ox + g.left + col, limit_.Left);
                const int x1 = std::min(ox + g.left + end, limit_.Right);
                p_.Span(y, x0, x1,
                        [&](std::uint32_t* q, int n, int) { std::fill_n(q, n, color_); });
                col = end;
            }
        }
    }

    // The line turned about its cell's top-left corner.
    void DrawRotated(const Line& line, int x, int y) {
        const double dx = std::cos(angle_), dy = -std::sin(angle_);
        const double bx = x + f_.ascent * -dy, by = y + f_.ascent * dx;
        for (const Placed& pc : line.chars) {
            Glyph g = f_.RotatedGlyph(pc.c, angle_);
            Blit(g, int(std::lround(bx + pc.x * dx)), int(std::lround(by + pc.x * dy)));
        }
    }

    Painter& p_;
    DcObj& d_;
    SizedFont& f_;
    TRect limit_;
    std::uint32_t color_;
    double angle_;
};

std::string_view FaceOf(const char* name) {
    return std::string_view(name, strnlen(name, 32));
}

} // namespace

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const long long p = (long long)a * b;
    const long long q = (std::llabs(p) + std::llabs((long long)c) / 2) / std::llabs((long long)c);
    return int((p < 0) != (c < 0) ? -q : q);
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
    if (!lf) return 0;
    auto f = std::make_shared<FontObj>();
    f->desc.height = lf->lfHeight;
    f->desc.escapement = lf->lfEscapement;
    f->desc.weight = lf->lfWeight;
    f->desc.italic = lf->lfItalic != 0;
    f->desc.underline = lf->lfUnderline != 0;
    f->desc.strikeOut = lf->lfStrikeOut != 0;
    f->desc.faceName = std::string(FaceOf(lf->lfFaceName));
    return AddObject(f);
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight,
                 unsigned italic, unsigned underline, unsigned strikeOut, unsigned charSet,
                 unsigned outPrecision, unsigned clipPrecision, unsigned quality,
                 unsigned pitchAndFamily, const char* faceName) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight == 0 ? FW_NORMAL : weight;
    lf.lfItalic = std::uint8_t(italic);
    lf.lfUnderline = std::uint8_t(underline);
    lf.lfStrikeOut = std::uint8_t(strikeOut);
    lf.lfCharSet = std::uint8_t(charSet);
    lf.lfOutPrecision = std::uint8_t(outPrecision);
    lf.lfClipPrecision = std::uint8_t(clipPrecision);
    lf.lfQuality = std::uint8_t(quality);
    lf.lfPitchAndFamily = std::uint8_t(pitchAndFamily);
    if (faceName) std::strncpy(lf.lfFaceName, faceName, sizeof lf.lfFaceName - 1);
    return CreateFontIndirect(&lf);
}

bool GetObject(HFONT font, LOGFONT* out) {
    auto f = FindAs<FontObj>(font, ObjKind::Font);
    if (!f || !out) return false;
    *out = LOGFONT{};
    out->lfHeight = f->desc.height;
    out->lfEscapement = f->desc.escapement;
    out->lfWeight = f->desc.weight;
    out->lfItalic = f->desc.italic;
    out->lfUnderline = f->desc.underline;
    out->lfStrikeOut = f->desc.strikeOut;
    std::strncpy(out->lfFaceName, f->desc.faceName.c_str(), sizeof out->lfFaceName - 1);
    return true;
}

std::string GetFontFamily(HDC dc) {
    auto d = FindDC(dc);
    SizedFont* f = d ? d->font->Sized() : nullptr;
    return f ? f->family : std::string();
}

bool GetTextMetrics(HDC dc, TEXTMETRIC* tm) {
    auto d = FindDC(dc);
    SizedFont* f = d ? d->font->Sized() : nullptr;
    if (!f || !tm) return false;
    *tm = TEXTMETRIC{};
    tm->tmAscent = f->ascent;
    tm->tmDescent = f->descent;
    tm->tmHeight = f->Height();
    tm->tmInternalLeading = f->Height() - f->ppem;
    tm->tmAveCharWidth = f->aveCharWidth;
    tm->tmMaxCharWidth = f->maxCharWidth;
    tm->tmWeight = d->font->desc.weight;
    tm->tmItalic = d->font->desc.italic;
    tm->tmUnderlined = d->font->desc.underline;
    tm->tmStruckOut = d->font->desc.strikeOut;
    return true;
}

bool GetTextExtentPoint32(HDC dc, std::string_view text, TSize* size) {
    auto d = FindDC(dc);
    SizedFont* f = d ? d->font->Sized() : nullptr;
    if (!f || !size) return false;
    *size = {Place(*f, DecodeDisplayText(text)).width, f->Height()};
    return true;
}

unsigned SetTextAlign(HDC dc, unsigned align) {
    auto d = FindDC(dc);
    if (!d) return ~0u;
    unsigned old = d->textAlign;
    d->textAlign = align;
    return old;
}

unsigned GetTextAlign(HDC dc) {
    auto d = FindDC(dc);
    return d ? d->textAlign : ~0u;
}

bool TextOut(HDC dc, int x, int y, std::string_view text) {
    return ExtTextOut(dc, x, y, 0, nullptr, text);
}

bool ExtTextOut(HDC dc, int x, int y, unsigned options, const TRect* rect, std::string_view text) {
    auto d = FindDC(dc);
    SizedFont* f = d ? d->font->Sized() : nullptr;
    if (!f) return false;
    const Line line = Place(*f, DecodeDisplayText(text));
    const bool updateCp = d->textAlign & TA_UPDATECP;
    if (updateCp) {
        x = d->pos.X;
        y = d->pos.Y;
    }
    // The reference point is the cell's top-left unless aligned otherwise.
    int left = x, top = y;
    const unsigned horz = d->textAlign & TA_CENTER, vert = d->textAlign & TA_BASELINE;
    if (horz == TA_CENTER)
        left -= line.width / 2;
    else if (horz == TA_RIGHT)
        left -= line.width;
    if (vert == TA_BASELINE)
        top -= f->ascent;
    else if (vert == TA_BOTTOM)
        top -= f->Height();
    if (updateCp) d->pos.X = horz == TA_RIGHT ? x - line.width : x + line.width;

    Painter p(*d);
    if (!p.Active()) return true;
    TRect limit = kNoLimit;
    if (rect) {
        const TRect r{rect->Left - p.OrgX(), rect->Top - p.OrgY(), rect->Right - p.OrgX(),
                      rect->Bottom - p.OrgY()};
        if (options & ETO_CLIPPED) limit = r;
        if (options & ETO_OPAQUE) {
            TextPainter(p, *d, *f, r)
                .Fill(PixelFromColorRef(d->bkColor), r.Left, r.Top, r.Right, r.Bottom);
        }
    }
    TextPainter(p, *d, *f, limit).Draw(line, left - p.OrgX(), top - p.OrgY());
    return true;
}

int DrawText(HDC dc, std::string_view text, TRect* rect, unsigned format) {
    auto d = FindDC(dc);
    SizedFont* f = d ? d->font->Sized() : nullptr;
    if (!f || !rect) return 0;
    const std::u32string all = DecodeDisplayText(text);

    // "&x" underlines x and "&&" is "&".
    std::u32string chars;
    std::vector<bool> underline;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == U'&' && !(format & DT_NOPREFIX)) {
            if (++i == all.size()) break;
            chars.push_back(all[i]);
            underline.push_back(all[i] != U'&');
            continue;
        }
        chars.push_back(all[i]);
        underline.push_back(false);
    }

    // Lines at CR, LF and CR LF; with WORDBREAK also at blanks where a line gets too wide.
    const int tab = (format & DT_EXPANDTABS) ? 8 * f->aveCharWidth : 0;
    const int maxWidth = rect->Right - rect->Left;
    std::vector<Line> lines;
    auto addLine = [&](std::size_t from, std::size_t to) {
        std::u32string s = chars.substr(from, to - from);
        std::vector<bool> u(underline.begin() + long(from), underline.begin() + long(to));
        lines.push_back(Place(*f, s, &u, tab));
    };
    auto addBroken = [&](std::size_t from, std::size_t to) {
        if (!(format & DT_WORDBREAK)) return addLine(from, to);
        std::size_t start = from;
        while (true) {
            std::size_t end = start, fit = std::u32string::npos;
            // Extend word by word while the line fits.
            while (end < to) {
                std::size_t next = end;
                while (next < to && chars[next] == U' ')
                    ++next;
                while (next < to && chars[next] != U' ')
                    ++next;
                std::u32string s = chars.substr(start, next - start);
                if (fit != std::u32string::npos && Place(*f, s, nullptr, tab).width > maxWidth)
                    break;
                fit = end = next;
            }
            addLine(start, end);
            while (end < to && chars[end] == U' ')
                ++end; // the blanks at a break vanish
            if (end >= to) break;
            start = end;
        }
    };
    if (format & DT_SINGLELINE) {
        addLine(0, chars.size());
    } else {
        std::size_t from = 0;
        for (std::size_t i = 0; i <= chars.size(); ++i) {
            if (i < chars.size() && chars[i] != U'\r' && chars[i] != U'\n') continue;
            addBroken(from, i);
            if (i + 1 < chars.size() && chars[i] == U'\r' && chars[i + 1] == U'\n') ++i;
            from = i + 1;
        }
    }

    const int lineHeight = f->Height();
    const int total = lineHeight * int(lines.size());
    if (format & DT_CALCRECT) {
        int width = 0;
        for (const Line& l : lines)
            width = std::max(width, l.width);
        rect->Right = rect->Left + width;
        rect->Bottom = rect->Top + total;
        return total;
    }
    int y = rect->Top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->Top + (rect->Bottom - rect->Top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->Bottom - lineHeight;
    }
    const int textTop = y;
    Painter p(*d);
    if (p.Active()) {
        const TRect limit = (format & DT_NOCLIP)
                                ? kNoLimit
                                : TRect{rect->Left - p.OrgX(), rect->Top - p.OrgY(),
                                        rect->Right - p.OrgX(), rect->Bottom - p.OrgY()};
        TextPainter painter(p, *d, *f, limit);
        for (const Line& l : lines) {
            int x = rect->Left;
            if (format & DT_CENTER)
                x = rect->Left + (maxWidth - l.width) / 2;
            else if (format & DT_RIGHT)
                x = rect->Right - l.width;
            painter.Draw(l, x - p.OrgX(), y - p.OrgY());
            y += lineHeight;
        }
    }
    if (format & (DT_VCENTER | DT_BOTTOM)) return textTop - rect->Top + total;
    return total;
}

} // namespace platform
