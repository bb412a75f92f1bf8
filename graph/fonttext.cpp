#include "graph/fonttext.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "graph/bitmap.h"

namespace {

// One rendered glyph: its coverage and where it sits relative to the pen on
// the baseline.
struct TGlyph {
    int left = 0; // from the pen position to the first column
    int top = 0;  // from the baseline up to the first row
    int width = 0;
    int rows = 0;
    int advance = 0; // whole pixels
    std::vector<uint8_t> coverage;
};

} // namespace

class TFontFace {
public:
    FT_Face face = nullptr;
    std::string family;
    int64_t unitsPerEm = 0;
    int64_t ascent = 0;  // font units above the baseline
    int64_t descent = 0; // font units below it (positive)
    // The size FreeType's face is set to, and the rendered glyphs keyed by
    // (height, code point). Both change behind the font system's lock only; a
    // glyph is never changed once stored, so pointers handed out stay valid
    // and the pixels stay the same.
    mutable int currentHeight = 0;
    mutable std::map<std::pair<int, char32_t>, std::unique_ptr<TGlyph>> glyphs;
};

namespace {

class TFontSystem {
public:
    TFontSystem() {
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
        }
        // A configuration of our own, not the process-wide one: other parts of
        // the program (the GUI toolkit) may use that, and ours is released
        // completely at exit.
        fontconfig = FcInitLoadConfigAndFonts();
    }
    ~TFontSystem() {
        for (auto& entry : faces) {
            FT_Done_Face(entry.second->face);
        }
        if (library) {
            FT_Done_FreeType(library);
        }
        if (fontconfig) {
            FcConfigDestroy(fontconfig);
        }
    }
    TFontSystem(const TFontSystem&) = delete;
    TFontSystem& operator=(const TFontSystem&) = delete;

    std::mutex mutex;
    FT_Library library = nullptr;
    FcConfig* fontconfig = nullptr;
    std::map<std::string, TFontFace*> byName;
    std::map<std::pair<std::string, int>, std::unique_ptr<TFontFace>> faces;
};

TFontSystem& FontSystem() {
    static TFontSystem system;
    return system;
}

struct TFontFile {
    std::string path;
    int index = 0;
};

bool FileOf(FcPattern* font, TFontFile& file) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &path) != FcResultMatch || !path) {
        return false;
    }
    int index = 0;
    if (FcPatternGetInteger(font, FC_INDEX, 0, &index) != FcResultMatch) {
        index = 0;
    }
    file.path = reinterpret_cast<const char*>(path);
    file.index = index;
    return true;
}

bool HasFamily(FcPattern* font, const std::string& family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) {
            return true;
        }
    }
    return false;
}

bool HasJapanese(FcPattern* font) {
    FcLangSet* languages = nullptr;
    if (FcPatternGetLangSet(font, FC_LANG, 0, &languages) != FcResultMatch || !languages) {
        return false;
    }
    return FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("ja")) !=
           FcLangDifferentLang;
}

enum class TMatchRule { SameFamily, Japanese, Any };

// fontconfig's best match for the pattern, taken only if it satisfies the
// rule: a best match always exists, but it may be a face of another family.
bool MatchFont(FcConfig* config, FcPattern* pattern, TMatchRule rule, const std::string& family,
               TFontFile& file) {
    if (!pattern) {
        return false;
    }
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!font) {
        return false;
    }
    bool accepted = false;
    switch (rule) {
    case TMatchRule::SameFamily:
        accepted = HasFamily(font, family);
        break;
    case TMatchRule::Japanese:
        accepted = HasJapanese(font);
        break;
    case TMatchRule::Any:
        accepted = true;
        break;
    }
    accepted = accepted && FileOf(font, file);
    FcPatternDestroy(font);
    return accepted;
}

std::vector<TFontFile> Candidates(FcConfig* config, const std::string& faceName) {
    // The system's Japanese proportional Gothic is not installed here; the
    // IPA face of the same design and metrics stands in for it.
    std::string family = faceName;
    if (faceName == "ＭＳ Ｐゴシック" || faceName == "MS PGothic") {
        family = "IPAPGothic";
    }
    std::vector<TFontFile> files;
    TFontFile file;
    if (!family.empty()) {
        FcPattern* pattern = FcPatternCreate();
        if (pattern) {
            FcPatternAddString(pattern, FC_FAMILY,
                               reinterpret_cast<const FcChar8*>(family.c_str()));
        }
        if (MatchFont(config, pattern, TMatchRule::SameFamily, family, file)) {
            files.push_back(file);
        }
    }
    FcPattern* japanese = FcNameParse(reinterpret_cast<const FcChar8*>(":lang=ja"));
    if (MatchFont(config, japanese, TMatchRule::Japanese, family, file)) {
        files.push_back(file);
    }
    if (MatchFont(config, FcPatternCreate(), TMatchRule::Any, family, file)) {
        files.push_back(file);
    }
    return files;
}

// Loads a face file once; nullptr when FreeType cannot use it.
TFontFace* LoadFace(TFontSystem& system, const TFontFile& file) {
    auto key = std::make_pair(file.path, file.index);
    auto found = system.faces.find(key);
    if (found != system.faces.end()) {
        return found->second.get();
    }
    FT_Face face = nullptr;
    if (FT_New_Face(system.library, file.path.c_str(), file.index, &face) != 0) {
        return nullptr;
    }
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto loaded = std::make_unique<TFontFace>();
    loaded->face = face;
    loaded->family = face->family_name ? face->family_name : "";
    loaded->unitsPerEm = face->units_per_EM;
    // The cell is what the platform's fonts measure with: the OS/2 Windows
    // metrics when the face has them, else the horizontal header.
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        loaded->ascent = os2->usWinAscent;
        loaded->descent = os2->usWinDescent;
    } else if (face->ascender - face->descender > 0) {
        loaded->ascent = face->ascender;
        loaded->descent = -static_cast<int64_t>(face->descender);
    } else {
        loaded->ascent = face->units_per_EM;
        loaded->descent = 0;
    }
    TFontFace* result = loaded.get();
    system.faces.emplace(key, std::move(loaded));
    return result;
}

bool UsableHeight(const TFontFace* face, int height) {
    return face && height >= 1 && height <= kMaxFontHeight;
}

// Decodes one UTF-8 character at text[pos], advancing pos. Malformed or
// overlong sequences, surrogates and values beyond U+10FFFF give U+FFFD and
// consume one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++pos;
        return 0xFFFD;
    }
    if (pos + length > text.size()) {
        ++pos;
        return 0xFFFD;
    }
    for (int i = 1; i < length; ++i) {
        unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += length;
    return value;
}

// The glyph of a character at a height, rendered on first use. Must be called
// with the font system's lock held. A glyph FreeType cannot load is stored
// empty, with no advance, so it is not retried.
const TGlyph* GlyphOf(const TFontFace& font, int height, char32_t codePoint) {
    auto key = std::make_pair(height, codePoint);
    auto found = font.glyphs.find(key);
    if (found != font.glyphs.end()) {
        return found->second.get();
    }
    auto glyph = std::make_unique<TGlyph>();
    FT_Face face = font.face;
    bool sized = true;
    if (font.currentHeight != height) {
        int64_t total = font.ascent + font.descent;
        // The em in 26.6 pixels, rounded half up: 64 * h * unitsPerEm / cell.
        int64_t em26 =
            (2 * 64 * static_cast<int64_t>(height) * font.unitsPerEm + total) / (2 * total);
        sized = em26 > 0 && FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(em26), 72, 72) == 0;
        font.currentHeight = sized ? height : 0;
    }
    if (sized) {
        FT_UInt index = FT_Get_Char_Index(face, codePoint);
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) == 0 &&
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
            FT_GlyphSlot slot = face->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
            if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.width > 0 && bitmap.rows > 0) {
                glyph->left = slot->bitmap_left;
                glyph->top = slot->bitmap_top;
                glyph->width = static_cast<int>(bitmap.width);
                glyph->rows = static_cast<int>(bitmap.rows);
                glyph->coverage.resize(static_cast<std::size_t>(glyph->width) * glyph->rows);
                for (int row = 0; row < glyph->rows; ++row) {
                    const unsigned char* source =
                        bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
                    std::copy(source, source + glyph->width,
                              glyph->coverage.begin() +
                                  static_cast<std::ptrdiff_t>(row) * glyph->width);
                }
            }
        }
    }
    const TGlyph* result = glyph.get();
    font.glyphs.emplace(key, std::move(glyph));
    return result;
}

// The glyphs of a whole text, rendered under the lock; the pointers stay
// valid after it is released.
std::vector<const TGlyph*> GlyphsOf(const TFontFace* face, int height, std::string_view text) {
    std::vector<const TGlyph*> glyphs;
    TFontSystem& system = FontSystem();
    std::lock_guard<std::mutex> lock(system.mutex);
    std::size_t pos = 0;
    while (pos < text.size()) {
        glyphs.push_back(GlyphOf(*face, height, NextCodePoint(text, pos)));
    }
    return glyphs;
}

uint8_t Blend(uint8_t background, uint8_t ink, unsigned coverage) {
    return static_cast<uint8_t>((background * (255u - coverage) + ink * coverage + 127u) / 255u);
}

std::atomic<bool> withoutFonts{false};

} // namespace

void DoWithoutFonts() {
    withoutFonts = true;
}

const TFontFace* FindFontFace(const std::string& faceName) {
    if (withoutFonts) {
        return nullptr;
    }
    TFontSystem& system = FontSystem();
    std::lock_guard<std::mutex> lock(system.mutex);
    auto found = system.byName.find(faceName);
    if (found != system.byName.end()) {
        return found->second;
    }
    TFontFace* face = nullptr;
    if (system.library && system.fontconfig) {
        for (const TFontFile& file : Candidates(system.fontconfig, faceName)) {
            face = LoadFace(system, file);
            if (face) {
                break;
            }
        }
    }
    // A name that finds nothing is remembered too, so it is not looked up for
    // every label.
    system.byName.emplace(faceName, face);
    return face;
}

std::string FontFaceFamily(const TFontFace* face) {
    return face ? face->family : std::string();
}

int FontAscent(const TFontFace* face, int height) {
    if (!UsableHeight(face, height)) {
        return 0;
    }
    int64_t total = face->ascent + face->descent;
    return static_cast<int>((2 * static_cast<int64_t>(height) * face->ascent + total) /
                            (2 * total));
}

int64_t FontTextWidth(const TFontFace* face, int height, std::string_view text) {
    if (!UsableHeight(face, height)) {
        return 0;
    }
    int64_t width = 0;
    for (const TGlyph* glyph : GlyphsOf(face, height, text)) {
        width += glyph->advance;
    }
    return width;
}

void FontTextOut(TBitmap& bitmap, const TTextClip& clip, const TFontFace* face, int height,
                 uint32_t color, int64_t x, int64_t y, std::string_view text) {
    if (!UsableHeight(face, height) || clip.left >= clip.right || clip.top >= clip.bottom) {
        return;
    }
    const uint8_t red = color & 0xFF;
    const uint8_t green = (color >> 8) & 0xFF;
    const uint8_t blue = (color >> 16) & 0xFF;
    const int64_t baseline = y + FontAscent(face, height);
    std::vector<uint8_t>& rgb = bitmap.Rgb();
    const int64_t stride = static_cast<int64_t>(bitmap.Width()) * 3;
    int64_t pen = x;
    for (const TGlyph* glyph : GlyphsOf(face, height, text)) {
        const int64_t left = pen + glyph->left;
        const int64_t top = baseline - glyph->top;
        const int64_t columnBegin = std::max<int64_t>(clip.left, left);
        const int64_t columnEnd = std::min<int64_t>(clip.right, left + glyph->width);
        const int64_t rowBegin = std::max<int64_t>(clip.top, top);
        const int64_t rowEnd = std::min<int64_t>(clip.bottom, top + glyph->rows);
        for (int64_t row = rowBegin; row < rowEnd; ++row) {
            const uint8_t* coverage = glyph->coverage.data() + (row - top) * glyph->width;
            uint8_t* line = rgb.data() + row * stride;
            for (int64_t column = columnBegin; column < columnEnd; ++column) {
                unsigned c = coverage[column - left];
                if (c == 0) {
                    continue;
                }
                uint8_t* pixel = line + column * 3;
                pixel[0] = Blend(pixel[0], red, c);
                pixel[1] = Blend(pixel[1], green, c);
                pixel[2] = Blend(pixel[2], blue, c);
            }
        }
        pen += glyph->advance;
    }
}
