#include "Common/StripScaler.h"

#include "platform/Errors.h"

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

} // namespace

void TStripScaler::SwsDeleter::operator()(SwsContext* c) const {
    sws_freeContext(c);
}

TStripScaler::TStripScaler(int srcWidth, int srcHeight, QImage& dest, int x, int y, int w, int h)
    : m_ctx(sws_alloc_context()), m_dest(dest), m_x(x), m_y(y), m_srcHeight(srcHeight) {
    if (!m_ctx)
        throw Error("Cannot create the picture scaler");
    SwsContext* c = m_ctx.get();
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
    av_opt_set_int(c, "threads", kScaleThreads, 0);
    if (sws_init_context(c, nullptr, nullptr) < 0)
        throw Error("Cannot scale a picture of " + std::to_string(srcWidth) + "x" +
                    std::to_string(srcHeight) + " to " + std::to_string(w) + "x" +
                    std::to_string(h));
}

TStripScaler::~TStripScaler() = default;

void TStripScaler::Feed(const uchar* rows, qsizetype stride, int count) {
    if (count <= 0 || m_next >= m_srcHeight)
        return;
    // The scaler reads srcSlice[0] + (row - srcSliceY) x stride for the rows of the slice.
    const uint8_t* srcData[4] = {rows, nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(stride), 0, 0, 0};
    uint8_t* dstData[4] = {m_dest.scanLine(m_y) + std::size_t(m_x) * 4, nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(m_dest.bytesPerLine()), 0, 0, 0};
    sws_scale(m_ctx.get(), srcData, srcStride, m_next, count, dstData, dstStride);
    m_next += count;
}

} // namespace lv
