#include "graph/virtualcoordinates.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// A whole-numbered double brought into the 32-bit range. Converting an
// out-of-range double to an integer is undefined, so we saturate first; NaN
// fails both comparisons and lands on the lower limit.
int32_t SaturateToInt32(double value) {
    constexpr double lowest = static_cast<double>(std::numeric_limits<int32_t>::min());
    constexpr double highest = static_cast<double>(std::numeric_limits<int32_t>::max());
    if (value >= lowest && value <= highest) {
        return static_cast<int32_t>(value);
    }
    if (value > highest) {
        return std::numeric_limits<int32_t>::max();
    }
    return std::numeric_limits<int32_t>::min();
}

} // namespace

void VirtualToPixel(TPixelPoint& result, const TVirtualPoint& point, const TPixelRect& pixels,
                    const TVirtualRect& range) {
    // The pixel differences are taken in 64 bits so that no rectangle, however
    // wide, overflows before the conversion to double.
    double sx = static_cast<double>(static_cast<int64_t>(pixels.right) - pixels.left) /
                (range.xmax - range.xmin);
    double sy = static_cast<double>(static_cast<int64_t>(pixels.bottom) - pixels.top) /
                (range.ymax - range.ymin);
    double x = (point.x - range.xmin) * sx + static_cast<double>(pixels.left);
    double y = static_cast<double>(pixels.bottom) - (point.y - range.ymin) * sy;
    result.x = SaturateToInt32(std::floor(x + 0.5));
    result.y = SaturateToInt32(std::floor(y + 0.5));
}
