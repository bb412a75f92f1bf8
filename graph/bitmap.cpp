#include "graph/bitmap.h"

#include <algorithm>

TBitmap::TBitmap(int width, int height)
    : width(std::max(width, 0)), height(std::max(height, 0)),
      rgb(static_cast<std::size_t>(this->width) * static_cast<std::size_t>(this->height) * 3) {}

TColor TBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return 0;
    }
    const uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    return static_cast<TColor>(p[0]) | static_cast<TColor>(p[1]) << 8 |
           static_cast<TColor>(p[2]) << 16;
}

void TBitmap::SetPixel(int x, int y, TColor color) {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return;
    }
    uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    p[0] = color & 0xFF;
    p[1] = (color >> 8) & 0xFF;
    p[2] = (color >> 16) & 0xFF;
}
