#include "Common/FramesFader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// The blend as it must come out: a + nearest((b - a) * alpha), the product exact in double,
// ties to even, alpha in single precision.
int expected(int a, int b, float alpha) {
    return a + int(std::nearbyint(double(b - a) * double(alpha)));
}

} // namespace

TEST(FramesFader, EveryFadeStepMatchesTheExactFormulaForEveryChannelPair) {
    // 256 x 256 pixels: red takes every (a, b) pair, green and blue random ones; 13 columns
    // more than a multiple of four, so the row tails are covered too.
    const int w = 256 + 3, h = 256;
    QImage a(w, h, QImage::Format_ARGB32), b(w, h, QImage::Format_ARGB32);
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            a.setPixel(x, y, qRgba(y, int(rng() & 255), int(rng() & 255), int(rng() & 255)));
            b.setPixel(x, y, qRgba(x & 255, int(rng() & 255), int(rng() & 255), int(rng() & 255)));
        }
    int fast = 0, steps = 0;
    QImage out;
    for (int f : {1, 6, 12, 18, 24, 30, 108, 1080}) {
        lv::TFramesFader fader(a, b, f);
        for (int t = 0; t<f; t += f> 40 ? 37 : 1) {
            const float alpha = float(t) / float(f);
            fast += lv::TFramesFader::FastMultiplier(alpha).has_value();
            ++steps;
            fader.Blend(t, out);
            ASSERT_EQ(out.size(), a.size());
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const QRgb pa = a.pixel(x, y), pb = b.pixel(x, y), po = out.pixel(x, y);
                    ASSERT_EQ(qRed(po), expected(qRed(pa), qRed(pb), alpha))
                        << "F " << f << " t " << t << " at " << x << "," << y;
                    ASSERT_EQ(qGreen(po), expected(qGreen(pa), qGreen(pb), alpha));
                    ASSERT_EQ(qBlue(po), expected(qBlue(pa), qBlue(pb), alpha));
                    ASSERT_EQ(qAlpha(po), 0);
                }
        }
    }
    // Both ways of blending were exercised.
    EXPECT_GT(fast, 0);
    EXPECT_LT(fast, steps);
    EXPECT_FALSE(lv::TFramesFader::FastMultiplier(0.5f).has_value()) << "0.5 has ties";
    EXPECT_TRUE(lv::TFramesFader::FastMultiplier(1.0f / 18).has_value());
}
