#include "graph/canvas.h"

#include <algorithm>
#include <limits>

#include "graph/fonttext.h"

namespace {

using int128 = __int128;

// floor(a / b) and ceil(a / b) for b > 0.
int128 FloorDiv(int128 a, int128 b) {
    int128 q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}
int128 CeilDiv(int128 a, int128 b) {
    int128 q = a / b;
    return (a % b != 0 && a > 0) ? q + 1 : q;
}

int ClampToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

} // namespace

TCanvas::TCanvas(TBitmap& bitmap) : bitmap(bitmap) {
    ResetClip();
}

void TCanvas::SetPen(TColor color, int width, int style) {
    penColor = color;
    penWidth = std::clamp(width, 1, kMaxPenWidth);
    penStyle = style;
}

void TCanvas::SetDotLength(int length) {
    dashOn = std::clamp(length, 1, kMaxPenWidth);
    dashPeriod = 2 * dashOn;
    dashPhase = 0;
}

void TCanvas::SetBrush(TColor color, TBrushStyle style) {
    brushColor = color;
    brushStyle = style;
}

void TCanvas::SetBrushStyle(TBrushStyle style) {
    brushStyle = style;
}

void TCanvas::SetFont(const std::string& faceName, TColor color, int height) {
    if (!fontResolved || faceName != fontName) {
        fontName = faceName;
        fontResolved = false;
    }
    fontColor = color;
    fontHeight = height;
}

void TCanvas::SetClip(int left, int top, int right, int bottom) {
    clipLeft = std::max(left, 0);
    clipTop = std::max(top, 0);
    clipRight = std::min(right, bitmap.Width());
    clipBottom = std::min(bottom, bitmap.Height());
    // An empty clip is kept as an empty rectangle so every test against it
    // fails without special cases.
    if (clipRight < clipLeft) {
        clipRight = clipLeft;
    }
    if (clipBottom < clipTop) {
        clipBottom = clipTop;
    }
}

void TCanvas::ResetClip() {
    SetClip(0, 0, bitmap.Width(), bitmap.Height());
}

void TCanvas::MoveTo(TPixelPoint p) {
    current = p;
    dashPhase = 0;
}

void TCanvas::LineTo(TPixelPoint p) {
    DrawSegment(current, p);
    current = p;
}

void TCanvas::Polyline(const TPixelPoint* points, int n) {
    if (!points || n < 2) {
        return;
    }
    dashPhase = 0;
    for (int i = 1; i < n; ++i) {
        DrawSegment(points[i - 1], points[i]);
    }
}

void TCanvas::FillRect(int left, int top, int right, int bottom) {
    if (brushStyle != TBrushStyle::Solid) {
        return;
    }
    // The clip and the bitmap bound the rectangle once, so the rows are
    // filled without a check per pixel (clearing a large graph is the
    // costliest step of a drawing).
    const int x0 = std::max({left, clipLeft, 0});
    const int x1 = std::min({right, clipRight, bitmap.Width()});
    const int y0 = std::max({top, clipTop, 0});
    const int y1 = std::min({bottom, clipBottom, bitmap.Height()});
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    const uint8_t r = brushColor & 0xFF;
    const uint8_t g = (brushColor >> 8) & 0xFF;
    const uint8_t b = (brushColor >> 16) & 0xFF;
    std::vector<uint8_t>& rgb = bitmap.Rgb();
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.Width()) * 3;
    for (int y = y0; y < y1; ++y) {
        uint8_t* p =
            rgb.data() + static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(x0) * 3;
        for (int x = x0; x < x1; ++x, p += 3) {
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    }
}

void TCanvas::SetPixel(TPixelPoint p, TColor color) {
    if (p.x >= clipLeft && p.x < clipRight && p.y >= clipTop && p.y < clipBottom) {
        bitmap.SetPixel(p.x, p.y, color);
    }
}

void TCanvas::Stamp(int64_t x, int64_t y) {
    if (penWidth == 1) {
        // The caller has already limited single pixels to the clip.
        bitmap.SetPixel(static_cast<int>(x), static_cast<int>(y), penColor);
        return;
    }
    int64_t offset = (penWidth - 1) / 2;
    int64_t x0 = std::max<int64_t>(x - offset, clipLeft);
    int64_t x1 = std::min<int64_t>(x - offset + penWidth, clipRight);
    int64_t y0 = std::max<int64_t>(y - offset, clipTop);
    int64_t y1 = std::min<int64_t>(y - offset + penWidth, clipBottom);
    for (int64_t row = y0; row < y1; ++row) {
        for (int64_t column = x0; column < x1; ++column) {
            bitmap.SetPixel(static_cast<int>(column), static_cast<int>(row), penColor);
        }
    }
}

void TCanvas::DrawSegment(TPixelPoint a, TPixelPoint b) {
    const int64_t dx = static_cast<int64_t>(b.x) - a.x;
    const int64_t dy = static_cast<int64_t>(b.y) - a.y;
    const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    // Work in major/minor coordinates: u along the major axis, v across it.
    const int64_t u0 = xMajor ? a.x : a.y;
    const int64_t v0 = xMajor ? a.y : a.x;
    const int64_t du = xMajor ? dx : dy;
    const int64_t dv = xMajor ? dy : dx;
    const int64_t su = du < 0 ? -1 : 1;
    const int64_t sv = dv < 0 ? -1 : 1;
    const int64_t n = du * su;     // pixels drawn, at most 2^32 - 1
    const int64_t minor = dv * sv; // 0 ... n
    const int startPhase = dashPhase;
    dashPhase = static_cast<int>((dashPhase + n) % dashPeriod);
    if (n == 0) {
        return;
    }

    // The pixels whose stamp can touch the clip rectangle. For width 1 this
    // is the clip rectangle itself.
    const int64_t reachBefore = (penWidth - 1) / 2;
    const int64_t reachAfter = penWidth - 1 - reachBefore;
    const int64_t xLo = clipLeft - reachAfter, xHi = clipRight + reachBefore;
    const int64_t yLo = clipTop - reachAfter, yHi = clipBottom + reachBefore;
    if (clipLeft >= clipRight || clipTop >= clipBottom) {
        return;
    }
    const int64_t uLo = xMajor ? xLo : yLo, uHi = xMajor ? xHi : yHi;
    const int64_t vLo = xMajor ? yLo : xLo, vHi = xMajor ? yHi : xHi;

    int64_t kBegin = 0, kEnd = n;
    int64_t m = 0;     // minor offset of pixel kBegin
    int64_t r = n - 1; // and the remainder of its numerator
    const bool inside = u0 >= uLo && u0 < uHi && v0 >= vLo && v0 < vHi && u0 + du >= uLo &&
                        u0 + du < uHi && v0 + dv >= vLo && v0 + dv < vHi;
    // A line with both ends inside the rectangle lies wholly inside it, which
    // is the usual case and needs no clipping arithmetic.
    if (!inside) {
        // Major axis: u0 + su * k in [uLo, uHi).
        if (su > 0) {
            kBegin = std::max(kBegin, uLo - u0);
            kEnd = std::min(kEnd, uHi - u0);
        } else {
            kBegin = std::max(kBegin, u0 - uHi + 1);
            kEnd = std::min(kEnd, u0 - uLo + 1);
        }
        if (kBegin >= kEnd) {
            return;
        }

        // Minor axis: the offset m(k) = floor((2 k minor + n - 1) / (2 n)) must
        // lie in [mLo, mHi). m never decreases with k, and m(k) >= M exactly
        // when k >= ceil((2 n M - n + 1) / (2 minor)), which turns the band into
        // a range of k. The products need more than 64 bits for far-away end
        // points.
        const int64_t mLo = sv > 0 ? vLo - v0 : v0 - vHi + 1;
        const int64_t mHi = sv > 0 ? vHi - v0 : v0 - vLo + 1;
        const int128 twoN = static_cast<int128>(2) * n;
        if (minor == 0) {
            if (mLo > 0 || mHi <= 0) {
                return;
            }
        } else {
            auto firstAtLeast = [&](int64_t bound) {
                int128 k = CeilDiv(twoN * bound - n + 1, static_cast<int128>(2) * minor);
                return std::clamp<int128>(k, 0, n);
            };
            kBegin = std::max<int64_t>(kBegin, static_cast<int64_t>(firstAtLeast(mLo)));
            kEnd = std::min<int64_t>(kEnd, static_cast<int64_t>(firstAtLeast(mHi)));
            if (kBegin >= kEnd) {
                return;
            }
        }

        // The numerator 2 k minor + n - 1 at kBegin, split into the offset m
        // and the remainder r, 0 <= r < 2n.
        const int128 numerator = static_cast<int128>(2) * kBegin * minor + n - 1;
        m = static_cast<int64_t>(FloorDiv(numerator, twoN));
        r = static_cast<int64_t>(numerator - twoN * m);
    }

    // Bresenham from kBegin: each step adds 2 minor <= 2n to r, so the offset
    // grows by at most one per step.
    const int64_t twoMinor = 2 * minor;
    const int64_t twoLength = 2 * n;
    int64_t u = u0 + su * kBegin;
    int phase = static_cast<int>((startPhase + kBegin) % dashPeriod);
    const bool dotted = penStyle == static_cast<int>(TPenStyle::Dot);
    for (int64_t k = kBegin; k < kEnd; ++k) {
        if (!dotted || phase < dashOn) {
            int64_t v = v0 + sv * m;
            if (xMajor) {
                Stamp(u, v);
            } else {
                Stamp(v, u);
            }
        }
        u += su;
        r += twoMinor;
        if (r >= twoLength) {
            r -= twoLength;
            ++m;
        }
        if (++phase == dashPeriod) {
            phase = 0;
        }
    }
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    if (!fontResolved) {
        fontFace = FindFontFace(fontName);
        fontResolved = true;
    }
    TTextClip clip{clipLeft, clipTop, clipRight, clipBottom};
    FontTextOut(bitmap, clip, fontFace, fontHeight, fontColor, x, y, text);
}

int TCanvas::TextWidth(const std::string& text) {
    if (!fontResolved) {
        fontFace = FindFontFace(fontName);
        fontResolved = true;
    }
    return ClampToInt(FontTextWidth(fontFace, fontHeight, text));
}

int TCanvas::TextHeight(const std::string&) {
    return std::clamp(fontHeight, 0, kMaxFontHeight);
}
