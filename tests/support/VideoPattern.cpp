#include "support/VideoPattern.h"

#include <algorithm>

namespace lvtest {

void DrawPatternFrame(lv::TDib& dib, std::int32_t width, std::int32_t height, int t) {
    dib.SetSize(width, height);
    const int side = std::max(height / 4, 1);
    const int left = width > side ? (t * 8) % (width - side) : 0;
    const int top = height / 3;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = dib.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const bool inSquare = x >= left && x < left + side && y >= top && y < top + side;
            p[0] = std::uint8_t(x * 255 / std::max(width - 1, 1));
            p[1] = std::uint8_t(y * 255 / std::max(height - 1, 1));
            p[2] = inSquare ? 230 : 30;
        }
    }
}

} // namespace lvtest
