#pragma once
// A 24-bit off-screen bitmap and the canvas that draws on it, with exact pixel
// rules: a fill covers its left and top edges and excludes its right and bottom
// edges; a line covers its start pixel and excludes its end pixel; everything
// is limited to the clip rectangle. Lines are clipped before they are
// rasterised, so an end point at the integer limits costs no more than a line
// across the bitmap.
//
// The line from a to b: with dx = b.x - a.x, dy = b.y - a.y, the major axis is
// x when |dx| >= |dy|, else y; n = max(|dx|, |dy|) pixels are drawn, k = 0 ...
// n - 1, each one step along the major axis from a, and the minor offset of
// pixel k is k * minor / n rounded to the nearest integer, an exact half
// staying on the start's side: floor((2 * k * minor + n - 1) / (2 * n)). So a
// line and its reverse may differ in the pixels of exact ties, and a line of
// zero length draws nothing.

#include <cstdint>
#include <string>
#include <vector>

#include "graph/bitmap.h"
#include "graph/virtualcoordinates.h"

class TFontFace;

enum class TPenStyle { Solid = 0, Dot = 2 };
enum class TBrushStyle { Solid, Clear };

// Pens wider than this are drawn this wide.
constexpr int kMaxPenWidth = 256;

class TCanvas {
public:
    explicit TCanvas(TBitmap& bitmap);

    // Pen: colour, width in pixels, style 0 solid or 2 dotted (any other
    // style draws solid). A width below 1 draws as 1. A pen of width w > 1
    // stamps a w x w square on every pixel of the line, covering columns
    // x - (w - 1) / 2 ... x - (w - 1) / 2 + w - 1 and likewise rows. Dotted:
    // 3 pixels on, 3 off, counted from the last MoveTo or from the first point
    // of a polyline; the off pixels are left untouched.
    void SetPen(TColor color, int width, int style);
    // The length of a dot and of a gap of the dotted pen, 3 unless set; a
    // drawing at twice the pixel density sets 6 so it looks the same.
    void SetDotLength(int length);
    void SetBrush(TColor color, TBrushStyle style);
    void SetBrushStyle(TBrushStyle style);
    // Font: face name (resolved through fontconfig; "ＭＳ Ｐゴシック" finds a
    // Japanese Gothic), colour, height of the character cell in pixels.
    void SetFont(const std::string& faceName, TColor color, int height);

    // Clip rectangle [left, right) x [top, bottom), intersected with the
    // bitmap. ResetClip makes it the whole bitmap.
    void SetClip(int left, int top, int right, int bottom);
    void ResetClip();

    // Makes p current and restarts the dotted pattern.
    void MoveTo(TPixelPoint p);
    // Draws from the current position to p, excluding p; p becomes current.
    // The dotted pattern continues from the previous LineTo.
    void LineTo(TPixelPoint p);
    // Lines through the points in order; the last point is not drawn, every
    // inner point is (it starts the next segment). Fewer than two points draw
    // nothing. The current position is neither used nor changed.
    void Polyline(const TPixelPoint* points, int n);
    // Fills [left, right) x [top, bottom) with the brush (if solid).
    void FillRect(int left, int top, int right, int bottom);
    // Sets one pixel if it lies inside the clip rectangle.
    void SetPixel(TPixelPoint p, TColor color);

    // Draws UTF-8 text with its top-left corner at (x, y), blended onto the
    // bitmap in the font colour (transparent background), inside the clip
    // rectangle. A font that cannot be found draws nothing.
    void TextOut(int x, int y, const std::string& text);
    // Width and height in pixels of the text in the current font: the sum of
    // the glyph advances (as TextOut places them) and the character-cell
    // height (the font height; 0 for heights outside 1 ... kMaxFontHeight).
    // Without a font the width is 0.
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);

private:
    // Draws a to b excluding b, clipped, with the dotted pattern starting at
    // dashPhase; advances dashPhase by the line's length.
    void DrawSegment(TPixelPoint a, TPixelPoint b);
    void Stamp(int64_t x, int64_t y);

    TBitmap& bitmap;
    TColor penColor = 0;
    int penWidth = 1;
    int penStyle = 0;
    TColor brushColor = 0xFFFFFF;
    TBrushStyle brushStyle = TBrushStyle::Solid;
    std::string fontName;
    const TFontFace* fontFace = nullptr;
    bool fontResolved = false;
    TColor fontColor = 0;
    int fontHeight = 12;
    int clipLeft, clipTop, clipRight, clipBottom;
    TPixelPoint current;
    int dashPhase = 0;
    int dashOn = 3;
    int dashPeriod = 6;
};
