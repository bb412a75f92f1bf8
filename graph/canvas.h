#pragma once
// A 24-bit off-screen bitmap and the canvas that draws on it, with exact pixel
// rules: a fill covers its left and top edges and excludes its right and bottom
// edges; a line covers its start pixel and excludes its end pixel; everything
// is limited to the clip rectangle. Lines are clipped before they are
// rasterised, so an end point at the integer limits costs no more than a line
// across the bitmap.

#include <cstdint>
#include <string>
#include <vector>

#include "graph/virtualcoordinates.h"

// Colours are 0x00BBGGRR: red in the lowest byte.
using TColor = uint32_t;

class TBitmap {
public:
    TBitmap(int width, int height);

    int Width() const { return width; }
    int Height() const { return height; }

    // The colour of a pixel inside the bitmap, 0x00BBGGRR.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Rows top to bottom, each width * 3 bytes in the order R, G, B.
    const std::vector<uint8_t>& Rgb() const { return rgb; }
    std::vector<uint8_t>& Rgb() { return rgb; }

private:
    int width;
    int height;
    std::vector<uint8_t> rgb;
};

enum class TPenStyle { Solid = 0, Dot = 2 };
enum class TBrushStyle { Solid, Clear };

class TCanvas {
public:
    explicit TCanvas(TBitmap& bitmap);

    // Pen: colour, width in pixels (at least 1), style 0 solid or 2 dotted.
    void SetPen(TColor color, int width, int style);
    void SetBrush(TColor color, TBrushStyle style);
    // Font: face name (resolved through fontconfig; "ＭＳ Ｐゴシック" finds a
    // Japanese Gothic), colour, height of the character cell in pixels.
    void SetFont(const std::string& faceName, TColor color, int height);

    // Clip rectangle [left, right) x [top, bottom), intersected with the
    // bitmap. ResetClip makes it the whole bitmap.
    void SetClip(int left, int top, int right, int bottom);
    void ResetClip();

    void MoveTo(TPixelPoint p);
    // Draws from the current position to p, excluding p; p becomes current.
    void LineTo(TPixelPoint p);
    // Lines through the points in order; the last point is not drawn.
    void Polyline(const TPixelPoint* points, int n);
    // Fills [left, right) x [top, bottom) with the brush (if solid).
    void FillRect(int left, int top, int right, int bottom);
    // Sets one pixel if it lies inside the clip rectangle.
    void SetPixel(TPixelPoint p, TColor color);

    // Draws UTF-8 text with its top-left corner at (x, y), blended onto the
    // bitmap in the font colour (transparent background).
    void TextOut(int x, int y, const std::string& text);
    // Width and height in pixels of the text in the current font; the height
    // is the character-cell height.
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);

private:
    TBitmap& bitmap;
    TColor penColor = 0;
    int penWidth = 1;
    int penStyle = 0;
    TColor brushColor = 0xFFFFFF;
    TBrushStyle brushStyle = TBrushStyle::Solid;
    std::string fontName;
    TColor fontColor = 0;
    int fontHeight = 12;
    int clipLeft, clipTop, clipRight, clipBottom;
    TPixelPoint current;
};
