#include "Common/StripScaler.h"

#include "platform/Errors.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace lv {

namespace {

// Scaling runs on at most two threads: the machine this is built for has two cores, and the
// encoder may be busy on the other one.
constexpr int kScaleThreads = 2;

// libswscale fed by slices crashes (Debian 12's, at least) when a reduction passes about 40
// times in either direction; larger ones are made in steps of at most 32 times, each step
// after the first scaling a whole (small) picture.
constexpr std::int64_t kMaxStep = 32;

// Each thread of libswscale keeps the source rows its vertical filter spans, converted, at the
// source's width: about 8 bytes a pixel for 4 x the vertical ratio + 1 rows. For a very wide
// picture (a panorama) that would be most of a run's memory, so its first step runs on one
// thread and reduces mostly across: with the vertical ratio at which those rows and the
// step's output cost least together.
constexpr double kRingBudget = 32 << 20;

double ringBytes(int srcWidth, double verticalRatio, int threads) {
    return 8.0 * threads * srcWidth * (4 * verticalRatio + 1);
}

SwsContext* newContext(int srcWidth, int srcHeight, int w, int h, int threads = kScaleThreads) {
    SwsContext* c = sws_alloc_context();
    if (!c)
        throw Error("Cannot create the picture scaler");
    av_opt_set_int(c, "srcw", srcWidth, 0);
    av_opt_set_int(c, "srch", srcHeight, 0);
    av_opt_set_int(c, "src_format", AV_PIX_FMT_BGRA, 0);
    av_opt_set_int(c, "dstw", w, 0);
    av_opt_set_int(c, "dsth", h, 0);
    av_opt_set_int(c, "dst_format", AV_PIX_FMT_BGRA, 0);
    av_opt_set_int(c, "sws_flags",
                   SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP, 0);
    // Mitchell-Netravali: the bicubic family with B = C = 1/3.
    av_opt_set_double(c, "param0", 1.0 / 3.0, 0);
    av_opt_set_double(c, "param1", 1.0 / 3.0, 0);
    av_opt_set_int(c, "threads", threads, 0);
    if (sws_init_context(c, nullptr, nullptr) < 0) {
        sws_freeContext(c);
        throw Error("Cannot scale a picture of " + std::to_string(srcWidth) + "x" +
                    std::to_string(srcHeight) + " to " + std::to_string(w) + "x" +
                    std::to_string(h));
    }
    return c;
}

// Rows from row y of an ARGB32 picture, x pixels in.
void scaleInto(SwsContext* c, const uchar* rows, qsizetype stride, int y, int count, QImage& dest,
               int x, int destY) {
    const uint8_t* srcData[4] = {rows, nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(stride), 0, 0, 0};
    uint8_t* dstData[4] = {dest.scanLine(destY) + std::size_t(x) * 4, nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(dest.bytesPerLine()), 0, 0, 0};
    sws_scale(c, srcData, srcStride, y, count, dstData, dstStride);
}

} // namespace

void TStripScaler::SwsDeleter::operator()(SwsContext* c) const {
    sws_freeContext(c);
}

TStripScaler::TStripScaler(int srcWidth, int srcHeight, QImage& dest, int x, int y, int w, int h)
    : m_dest(dest), m_x(x), m_y(y), m_srcHeight(srcHeight) {
    int cw = srcWidth, ch = srcHeight;
    const auto wide = [&] {
        return m_steps.empty() && ringBytes(cw, std::min(double(kMaxStep), double(ch) / h),
                                            kScaleThreads) > kRingBudget;
    };
    while (cw > kMaxStep * w || ch > kMaxStep * h || wide()) {
        const int nw = cw > kMaxStep * w ? int((cw + kMaxStep - 1) / kMaxStep) : w;
        int threads = kScaleThreads;
        double ratio = kMaxStep;
        if (wide()) {
            threads = 1;
            ratio = std::clamp(std::sqrt(double(nw) * ch / (8.0 * cw)), 1.0,
                               std::max(1.0, std::min(double(kMaxStep), double(ch) / h)));
        }
        const int nh = threads == 1        ? std::max(h, int(std::ceil(ch / ratio)))
                       : ch > kMaxStep * h ? int((ch + kMaxStep - 1) / kMaxStep)
                                           : h;
        Step step{std::unique_ptr<SwsContext, SwsDeleter>(newContext(cw, ch, nw, nh, threads)),
                  QImage(nw, nh, QImage::Format_ARGB32)};
        if (step.out.isNull())
            throw Error("Cannot scale a picture of " + std::to_string(srcWidth) + "x" +
                        std::to_string(srcHeight) + ": no memory for " + std::to_string(nw) + "x" +
                        std::to_string(nh));
        m_steps.push_back(std::move(step));
        cw = nw;
        ch = nh;
    }
    m_steps.push_back(Step{std::unique_ptr<SwsContext, SwsDeleter>(newContext(cw, ch, w, h)), {}});
}

TStripScaler::~TStripScaler() = default;

void TStripScaler::Feed(const uchar* rows, qsizetype stride, int count) {
    if (count <= 0 || m_next >= m_srcHeight)
        return;
    // The scaler reads srcSlice[0] + (row - srcSliceY) x stride for the rows of the slice.
    Step& first = m_steps.front();
    if (m_steps.size() == 1)
        scaleInto(first.ctx.get(), rows, stride, m_next, count, m_dest, m_x, m_y);
    else
        scaleInto(first.ctx.get(), rows, stride, m_next, count, first.out, 0, 0);
    m_next += count;
    if (m_next < m_srcHeight || m_steps.size() == 1)
        return;
    // Every row in: the steps after the first, each on the whole of the one before.
    for (std::size_t k = 1; k < m_steps.size(); ++k) {
        const QImage& in = m_steps[k - 1].out;
        const bool last = k + 1 == m_steps.size();
        scaleInto(m_steps[k].ctx.get(), in.constBits(), in.bytesPerLine(), 0, in.height(),
                  last ? m_dest : m_steps[k].out, last ? m_x : 0, last ? m_y : 0);
    }
}

} // namespace lv
