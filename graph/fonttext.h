#pragma once
// Text through FreeType and fontconfig: faces looked up by name, sized by the
// height of their character cell, glyphs rendered as anti-aliased coverage and
// blended onto a bitmap with a transparent background.
//
// Face lookup: "ＭＳ Ｐゴシック" and "MS PGothic" ask fontconfig for IPAPGothic,
// which has the same metrics; any other name asks for itself. When no face of
// that family is installed we take any face with Japanese coverage, then any
// face at all. The same name always gives the same face.
//
// Sizing: a height h is the character cell in pixels, ascent plus descent of
// the face (OS/2 winAscent + winDescent, else hhea ascender - descender), so
// the em is h * unitsPerEm / (ascent + descent) pixels and the baseline lies
// at top + round(h * ascent / (ascent + descent)).
//
// Glyphs sit at whole pixels: each advances the pen by its hinted advance
// rounded to a whole pixel, and the width of a text is the sum of those
// advances, so a measured text and a drawn one always agree.
//
// Everything here may be called from several threads at once: faces and
// rendered glyphs are cached process-wide behind one lock, and a cached glyph
// never changes, so the same text always gives the same pixels.

#include <cstdint>
#include <string>
#include <string_view>

class TBitmap;
class TFontFace;

// The face for a name, or nullptr when no face at all can be loaded. Faces
// live until the process ends.
const TFontFace* FindFontFace(const std::string& faceName);

// Makes every later FindFontFace return nullptr without loading the font
// configuration: for a process left too little memory to load it, which then
// draws its graphs without text.
void DoWithoutFonts();

// The family name the face's file gives itself ("IPAPGothic"); empty for
// nullptr.
std::string FontFaceFamily(const TFontFace* face);

// Heights from 1 to this many pixels are drawn; others draw nothing and
// measure 0.
constexpr int kMaxFontHeight = 1024;

// The sum of the advances of the UTF-8 text at cell height `height`. Bytes
// that are not valid UTF-8 count as U+FFFD each. 0 without a face.
int64_t FontTextWidth(const TFontFace* face, int height, std::string_view text);

// The distance in pixels from the top of the cell to the baseline.
int FontAscent(const TFontFace* face, int height);

// A rectangle [left, right) x [top, bottom) that limits drawing.
struct TTextClip {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Draws the UTF-8 text with the top-left corner of its first cell at (x, y),
// blending each glyph's coverage in `color` (0x00BBGGRR) onto the bitmap
// inside `clip` (which must lie inside the bitmap). Nothing without a face.
void FontTextOut(TBitmap& bitmap, const TTextClip& clip, const TFontFace* face, int height,
                 uint32_t color, int64_t x, int64_t y, std::string_view text);
