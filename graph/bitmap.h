#pragma once
// A 24-bit off-screen bitmap: the pixels that the canvas draws on, the text
// renderer blends glyphs into and the PNG encoder writes.

#include <cstdint>
#include <vector>

// Colours are 0x00BBGGRR: red in the lowest byte.
using TColor = uint32_t;

class TBitmap {
public:
    // Negative sizes give an empty bitmap.
    TBitmap(int width, int height);

    int Width() const { return width; }
    int Height() const { return height; }

    // The colour of a pixel inside the bitmap, 0x00BBGGRR; 0 outside it.
    TColor Pixel(int x, int y) const;
    // Sets a pixel inside the bitmap; outside nothing happens.
    void SetPixel(int x, int y, TColor color);

    // Rows top to bottom, each width * 3 bytes in the order R, G, B.
    const std::vector<uint8_t>& Rgb() const { return rgb; }
    std::vector<uint8_t>& Rgb() { return rgb; }

private:
    int width;
    int height;
    std::vector<uint8_t> rgb;
};
