#include "Common/BmpReader.h"

#include "Common/PictureLimits.h"
#include "platform/Errors.h"
#include "platform/RegularFile.h"

#include <QImageReader>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lv {

namespace {

std::uint32_t u16(const uchar* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
std::uint32_t u32(const uchar* p) {
    return u16(p) | u16(p + 2) << 16;
}

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2;

// An RLE run is two bytes for at most 255 pixels. (Skips can leave more pixels undrawn, but
// no encoder of photos writes them.)
constexpr std::uint64_t kRlePixelsPerByte = 255 / 2 + 1;

} // namespace

TBmpReader::TBmpReader(const std::string& fileName) : m_fileName(fileName) {
    std::string why;
    m_file.reset(OpenRegularFileStream(fileName, why));
    if (!m_file)
        throw Error("Cannot open picture file " + fileName + ": " + why);
    std::fseek(m_file.get(), 0, SEEK_END);
    const long bytes = std::ftell(m_file.get());
    std::rewind(m_file.get());
    ParseHeader(std::uint64_t(std::max(bytes, 0L)));
}

TBmpReader::~TBmpReader() = default;

void TBmpReader::Fail(const std::string& why) const {
    throw Error("Cannot decode picture file " + m_fileName + ": " + why);
}

// Headers this does not understand are left to Qt's reader, which has its own size limit.
void TBmpReader::ParseHeader(std::uint64_t fileBytes) {
    uchar head[14 + 40];
    const std::size_t got = std::fread(head, 1, sizeof head, m_file.get());
    if (got < 14 + 16 || head[0] != 'B' || head[1] != 'M')
        return;
    const std::uint32_t infoSize = u32(head + 14);
    std::int64_t w = 0, h = 0;
    std::uint32_t bits = 0, compression = kRgb, colours = 0;
    std::size_t paletteEntry = 4;
    if (infoSize == 12) {
        w = u16(head + 18);
        h = std::int16_t(u16(head + 20));
        bits = u16(head + 24);
        paletteEntry = 3;
    } else if (infoSize >= 40 && got >= 14 + 40) {
        w = std::int32_t(u32(head + 18));
        h = std::int32_t(u32(head + 22));
        bits = u16(head + 28);
        compression = u32(head + 30);
        colours = u32(head + 46);
    } else {
        return;
    }
    if (w <= 0 || h == 0 || h == INT32_MIN)
        Fail("bad picture size in its header");
    const std::uint64_t uw = std::uint64_t(w), uh = std::uint64_t(h < 0 ? -h : h);
    const std::uint64_t offset = u32(head + 10);
    const std::uint64_t data = fileBytes > offset ? fileBytes - offset : 0;
    const std::string claim = "its header claims " + std::to_string(uw) + "x" + std::to_string(uh) +
                              " pixels, more than its " + std::to_string(fileBytes) +
                              " bytes can hold";
    if (compression == kRle8 || compression == kRle4) {
        if (uw * uh > data * kRlePixelsPerByte)
            Fail(claim);
        return;
    }
    const std::uint64_t stride = (uw * bits + 31) / 32 * 4;
    if (bits == 0 || stride * uh > data)
        Fail(claim);
    const bool plain =
        compression == kRgb && (bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32);
    if (!plain || uw > 0x7FFFFFFF / 4 || uh > 0x7FFFFFFF)
        return;
    if (bits <= 8) {
        const std::size_t count = colours && colours <= (1u << bits) ? colours : 1u << bits;
        std::vector<uchar> raw(count * paletteEntry);
        if (std::fseek(m_file.get(), long(14 + infoSize), SEEK_SET) != 0 ||
            std::fread(raw.data(), 1, raw.size(), m_file.get()) != raw.size())
            return;
        m_palette.assign(std::size_t(1) << bits, qRgb(0, 0, 0));
        for (std::size_t i = 0; i < count; ++i) {
            const uchar* e = raw.data() + i * paletteEntry;
            m_palette[i] = qRgb(e[2], e[1], e[0]);
        }
    }
    m_width = int(uw);
    m_height = int(uh);
    m_bits = int(bits);
    m_topDown = h < 0;
    m_dataOffset = offset;
    m_stride = std::size_t(stride);
    m_streamed = true;
}

int TBmpReader::ReadRows(uchar* rows, qsizetype stride, int maxRows) {
    const int count = std::min(maxRows, m_height - m_next);
    if (count <= 0)
        return 0;
    // The rows m_next .. m_next + count - 1 from the top lie together in the file, in reverse
    // order in a bottom-up picture.
    const int firstInFile = m_topDown ? m_next : m_height - m_next - count;
    m_buffer.resize(m_stride * std::size_t(count));
    if (std::fseek(m_file.get(), long(m_dataOffset + m_stride * std::uint64_t(firstInFile)),
                   SEEK_SET) != 0 ||
        std::fread(m_buffer.data(), 1, m_buffer.size(), m_file.get()) != m_buffer.size())
        Fail("the file ends inside its pixel data");
    for (int i = 0; i < count; ++i) {
        const uchar* in = m_buffer.data() + m_stride * std::size_t(m_topDown ? i : count - 1 - i);
        auto* out = reinterpret_cast<QRgb*>(rows + stride * i);
        switch (m_bits) {
        case 32:
        case 24: {
            const int step = m_bits / 8;
            for (int x = 0; x < m_width; ++x, in += step)
                out[x] = qRgb(in[2], in[1], in[0]);
            break;
        }
        default: {
            const int perByte = 8 / m_bits;
            const unsigned mask = (1u << m_bits) - 1;
            for (int x = 0; x < m_width; ++x) {
                const int shift = 8 - m_bits * (x % perByte + 1);
                out[x] = m_palette[(in[x / perByte] >> shift) & mask];
            }
        }
        }
    }
    m_next += count;
    return count;
}

QImage TBmpReader::ReadWhole() {
    if (m_streamed) {
        CheckRasterSize(m_fileName, std::uint64_t(m_width), std::uint64_t(m_height));
        QImage image(m_width, m_height, QImage::Format_ARGB32);
        if (image.isNull())
            Fail("picture too large");
        m_next = 0;
        for (int row = 0; row < m_height;)
            row += ReadRows(image.scanLine(row), image.bytesPerLine(), 64);
        return image;
    }
    QImageReader reader(QString::fromStdString(m_fileName), "bmp");
    reader.setAutoDetectImageFormat(false); // the extension decides, not the content
    QImage image = reader.read();
    if (image.isNull())
        Fail(reader.errorString().toStdString());
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace lv
