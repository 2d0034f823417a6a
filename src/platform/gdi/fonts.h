#pragma once
// Fonts: the platform's face names found through a substitution table and fontconfig, faces
// opened with FreeType at whole pixel sizes, glyphs rendered without antialiasing.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A logical font as the program asks for it.
struct FontDesc {
    int height = 0;     // < 0: em height in pixels; > 0: cell height; 0: the default
    int escapement = 0; // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::string faceName;
};

struct ResolvedFont {
    std::string file;
    int index = 0;
    std::string family;
};

// The font file drawn for a face name: the table of the platform's usual names, then
// fontconfig, then Liberation Sans.
ResolvedFont ResolveFont(std::string_view faceName, bool bold, bool italic);

// One glyph: a 1-bit image (one byte a pixel, 0 or 1) placed relative to its origin on the
// baseline, y growing downwards.
struct Glyph {
    int left = 0, top = 0; // offset of the image's top-left from the origin
    int width = 0, rows = 0;
    std::vector<std::uint8_t> bits;
    int advance = 0; // whole pixels
};

// A face at one pixel size, with its metrics (whole pixels) and a glyph cache.
class SizedFont {
public:
    virtual ~SizedFont() = default;
    int ppem = 0;
    int ascent = 0, descent = 0; // from the face's Windows ascent and descent, rounded up
    int aveCharWidth = 0, maxCharWidth = 0;
    int underlinePos = 0, underlineThickness = 1; // top of the line below the baseline
    int strikeOutPos = 0, strikeOutThickness = 1; // top of the line above the baseline
    std::string family;

    int Height() const { return ascent + descent; }
    virtual const Glyph& GetGlyph(char32_t c) = 0;
    // The glyph turned by angle (radians, counter-clockwise); not cached.
    virtual Glyph RotatedGlyph(char32_t c, double angle) = 0;
};

// The sized face for a logical font; shared, never freed while in use.
std::shared_ptr<SizedFont> GetSizedFont(const FontDesc& desc);

// Reads the font configuration and finds the default face. A program calls it on a thread of its
// own while it starts, so that its first text need not wait for it; a lookup meanwhile waits.
void PrepareFonts();

} // namespace platform
