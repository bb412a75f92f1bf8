#pragma once
// Mapping of virtual (data) coordinates to bitmap pixels.

#include <cstdint>

struct TVirtualPoint {
    double x = 0.0;
    double y = 0.0;
};

// The virtual range shown in a pixel rectangle; y grows upwards.
struct TVirtualRect {
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = 1.0;
    double ymax = 1.0;
};

// A rectangle in pixels; y grows downwards. right and bottom are the pixels
// onto which xmax and ymin fall, not one past the end.
struct TPixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct TPixelPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// result.x = floor((x - xmin) * sx + left + 0.5) with sx = (right - left) /
// (xmax - xmin), and result.y = floor(bottom - (y - ymin) * sy + 0.5).
// Positions beyond the 32-bit range saturate at the integer limits; a NaN
// position (from a NaN value or a degenerate range) gives the lower limit.
void VirtualToPixel(TPixelPoint& result, const TVirtualPoint& point, const TPixelRect& pixels,
                    const TVirtualRect& range);
