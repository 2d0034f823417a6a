#include "platform/gdi/fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <unordered_map>

#if defined(__SANITIZE_ADDRESS__)
// fontconfig 2.14 loses a block of its configuration while matching; not ours to mend. Weak,
// so that an executable with suppressions of its own keeps them.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

namespace platform {

namespace {

// One lock for the font machinery: FreeType's library and fontconfig are not thread-safe.
std::recursive_mutex& FontLock() {
    static std::recursive_mutex m;
    return m;
}

FT_Library Library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        FT_Init_FreeType(&l);
        return l;
    }();
    return lib;
}

constexpr const char* kDefaultFamily = "Liberation Sans";
constexpr const char* kLastResort =
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The platform's usual faces, drawn with metric-compatible free faces.
std::string Substitute(std::string_view name) {
    static const std::map<std::string, std::string> table = {
        {"", "Liberation Sans"},
        {"arial", "Liberation Sans"},
        {"ms sans serif", "Liberation Sans"},
        {"small fonts", "Liberation Sans"},
        {"system", "Liberation Sans"},
        {"tahoma", "Liberation Sans"},
        {"times new roman", "Liberation Serif"},
        {"courier new", "Liberation Mono"},
        {"courier", "Liberation Mono"},
    };
    auto it = table.find(Lower(name));
    return it != table.end() ? it->second : std::string(name);
}

// fontconfig's best file for the family; nothing when it offers another family instead.
bool AskFontconfig(const std::string& family, bool bold, bool italic, ResolvedFont& out) {
    static const bool ready = FcInit();
    if (!ready) return false;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (!match) return false;
    bool ok = false;
    FcChar8* file = nullptr;
    FcChar8* fam = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
            if (Lower(reinterpret_cast<const char*>(fam)) == Lower(family)) {
                out = {reinterpret_cast<const char*>(file), index,
                       reinterpret_cast<const char*>(fam)};
                ok = true;
                break;
            }
        }
    }
    FcPatternDestroy(match);
    return ok;
}

// fontconfig's answer for a family, asked once: the platform's names that stand for the same
// free face share it. Under the font lock.
bool Match(const std::string& family, bool bold, bool italic, ResolvedFont& out) {
    static std::map<std::tuple<std::string, bool, bool>, std::optional<ResolvedFont>> answers;
    auto key = std::make_tuple(Lower(family), bold, italic);
    auto it = answers.find(key);
    if (it == answers.end()) {
        ResolvedFont r;
        const bool found = AskFontconfig(family, bold, italic, r);
        it = answers.emplace(key, found ? std::optional(r) : std::nullopt).first;
    }
    if (it->second) out = *it->second;
    return it->second.has_value();
}

class FtSizedFont : public SizedFont {
public:
    FtSizedFont(FT_Face face, int pixels) : face_(face) {
        ppem = pixels;
        FT_Set_Pixel_Sizes(face_, 0, FT_UInt(ppem));
        const double upem = face_->units_per_EM ? face_->units_per_EM : 2048;
        const double scale = ppem / upem;
        auto ceilScaled = [&](double units) { return int(std::ceil(units * scale - 1e-9)); };
        auto roundScaled = [&](double units) { return int(std::lround(units * scale)); };
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
            ascent = ceilScaled(os2->usWinAscent);
            descent = ceilScaled(os2->usWinDescent);
            aveCharWidth = roundScaled(os2->xAvgCharWidth);
            strikeOutPos = roundScaled(os2->yStrikeoutPosition);
            strikeOutThickness = std::max(1, roundScaled(os2->yStrikeoutSize));
        } else {
            ascent = ceilScaled(face_->ascender);
            descent = ceilScaled(-face_->descender);
            strikeOutPos = roundScaled(face_->ascender) / 3;
        }
        if (aveCharWidth <= 0) aveCharWidth = std::max(1, GetGlyph(U'x').advance);
        maxCharWidth = ceilScaled(face_->max_advance_width);
        underlinePos = std::max(1, -roundScaled(face_->underline_position));
        underlineThickness = std::max(1, roundScaled(face_->underline_thickness));
        family = face_->family_name ? face_->family_name : "";
    }
    ~FtSizedFont() override { FT_Done_Face(face_); }

    const Glyph& GetGlyph(char32_t c) override {
        std::lock_guard lock(FontLock());
        auto it = cache_.find(c);
        if (it != cache_.end()) return it->second;
        return cache_.emplace(c, Render(c, nullptr)).first->second;
    }

    Glyph RotatedGlyph(char32_t c, double angle) override {
        std::lock_guard lock(FontLock());
        FT_Matrix m;
        m.xx = FT_Fixed(std::lround(std::cos(angle) * 65536));
        m.xy = FT_Fixed(std::lround(-std::sin(angle) * 65536));
        m.yx = FT_Fixed(std::lround(std::sin(angle) * 65536));
        m.yy = m.xx;
        return Render(c, &m);
    }

private:
    Glyph Render(char32_t c, FT_Matrix* transform) {
        Glyph g;
        if (c < 0x20 || c == 0x7F) return g; // control characters draw nothing
        FT_Set_Transform(face_, transform, nullptr);
        FT_UInt index = FT_Get_Char_Index(face_, FT_ULong(c));
        if (FT_Load_Glyph(face_, index, FT_LOAD_TARGET_MONO) == 0) {
            FT_GlyphSlot slot = face_->glyph;
            g.advance = int((slot->advance.x + 32) >> 6);
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) == 0) {
                const FT_Bitmap& b = slot->bitmap;
                g.left = slot->bitmap_left;
                g.top = -slot->bitmap_top;
                g.width = int(b.width);
                g.rows = int(b.rows);
                g.bits.resize(std::size_t(g.width) * std::size_t(g.rows));
                for (int y = 0; y < g.rows; ++y) {
                    const unsigned char* row = b.buffer + std::ptrdiff_t(y) * b.pitch;
                    for (int x = 0; x < g.width; ++x)
                        g.bits[std::size_t(y * g.width + x)] = (row[x >> 3] >> (7 - (x & 7))) & 1;
                }
            }
        }
        FT_Set_Transform(face_, nullptr, nullptr);
        return g;
    }

    FT_Face face_;
    std::unordered_map<char32_t, Glyph> cache_;
};

} // namespace

ResolvedFont ResolveFont(std::string_view faceName, bool bold, bool italic) {
    std::lock_guard lock(FontLock());
    static std::map<std::tuple<std::string, bool, bool>, ResolvedFont> cache;
    auto key = std::make_tuple(Lower(faceName), bold, italic);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    ResolvedFont r;
    if (!Match(Substitute(faceName), bold, italic, r) && !Match(kDefaultFamily, bold, italic, r))
        r = {kLastResort, 0, kDefaultFamily};
    return cache.emplace(key, r).first->second;
}

void PrepareFonts() {
    // Under the font lock: a lookup meanwhile waits instead of reading the configuration again.
    // The default face's answers are kept for the names that stand for it.
    std::lock_guard lock(FontLock());
    ResolvedFont r;
    for (bool bold : {false, true})
        Match(kDefaultFamily, bold, false, r);
}

std::shared_ptr<SizedFont> GetSizedFont(const FontDesc& desc) {
    std::lock_guard lock(FontLock());
    const ResolvedFont rf = ResolveFont(desc.faceName, desc.weight >= 600, desc.italic);
    // Kept for the run: a program uses a handful of sizes.
    static std::map<std::tuple<std::string, int, int>, std::shared_ptr<SizedFont>> cache;
    auto key = std::make_tuple(rf.file, rf.index, desc.height);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;

    FT_Face face = nullptr;
    if (FT_New_Face(Library(), rf.file.c_str(), rf.index, &face) != 0 &&
        FT_New_Face(Library(), kLastResort, 0, &face) != 0)
        return nullptr;
    int ppem;
    if (desc.height < 0) {
        ppem = -desc.height;
    } else if (desc.height > 0) { // a cell height: scale the em by the face's cell
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        double cell = os2 ? os2->usWinAscent + os2->usWinDescent : face->ascender - face->descender;
        ppem = cell > 0 ? int(std::lround(desc.height * face->units_per_EM / cell)) : desc.height;
    } else {
        ppem = 12;
    }
    auto sized = std::make_shared<FtSizedFont>(face, std::clamp(ppem, 1, 1000));
    cache.emplace(key, sized);
    return sized;
}

} // namespace platform
