#include "Common/JpegDecoder.h"

#include "Common/Orientation.h"
#include "Common/PictureLimits.h"
#include "platform/Errors.h"
#include "platform/RegularFile.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <vector>

#include <jpeglib.h>
// jerror.h's message table is only needed for the end-of-file codes.
#include <jerror.h>

namespace lv {

namespace {

// libjpeg's own error_exit ends the process; ours jumps back to the reader with the text.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

struct FileSource;
bool sourceAtEnd(j_common_ptr cinfo);

// Warnings are not printed. A truncated file is an error: libjpeg would pad it with grey.
// The file's end is no error by itself: a file that lacks only its end marker holds every
// pixel. Data missing after it shows as the decoder's complaint (a marker hit where data was
// needed, a lost restart marker).
void onMessage(j_common_ptr cinfo, int level) {
    if (level == -1 && sourceAtEnd(cinfo)) {
        cinfo->err->msg_code = JWRN_JPEG_EOF;
        onError(cinfo);
    }
}

bool isCmyk(const jpeg_decompress_struct& cinfo) {
    return cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
}

// Adobe CMYK JPEGs store inverted values.
void cmykRowToArgb(const JSAMPLE* in, QRgb* out, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        const int k = in[3];
        out[x] = qRgb(in[0] * k / 255, in[1] * k / 255, in[2] * k / 255);
    }
}

// libjpeg's stdio source reads 4 KiB at a time, and its Huffman decoder takes its fast path
// only with a few KiB ahead in the buffer: 64 KiB buffers decode a photo about 8% faster.
struct FileSource {
    jpeg_source_mgr pub{};
    std::FILE* file = nullptr;
    bool started = false;
    bool atEnd = false; // the file ended; end markers are made up from here
    JOCTET buffer[64 * 1024];
};
// libjpeg hands back the jpeg_source_mgr: it must be the first member of a plain struct.
static_assert(std::is_standard_layout_v<FileSource>);

bool sourceAtEnd(j_common_ptr cinfo) {
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    return !cinfo->is_decompressor || !d->src ? false
                                              : reinterpret_cast<FileSource*>(d->src)->atEnd;
}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    std::size_t got = std::fread(src->buffer, 1, sizeof src->buffer, src->file);
    if (got == 0 && !src->started)
        ERREXIT(cinfo, JERR_INPUT_EMPTY);
    src->started = true;
    if (got == 0) {
        src->atEnd = true;
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        got = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = got;
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    if (count <= 0)
        return;
    if (std::size_t(count) <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= std::size_t(count);
        return;
    }
    // Past the buffer: a seek, the next read refills (or finds the end).
    count -= long(src->pub.bytes_in_buffer);
    src->pub.bytes_in_buffer = 0;
    std::fseek(src->file, count, SEEK_CUR);
}

} // namespace

// Every function that calls into libjpeg sets the jump itself and keeps no object with a
// destructor, so a longjmp out of libjpeg skips none.
struct TJpegReader::State {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    std::FILE* file = nullptr;
    FileSource source;
    bool created = false;
    bool cmyk = false;
    std::vector<JSAMPLE> cmykRows;
    std::vector<JSAMPROW> rowPointers;

    ~State() {
        if (created)
            jpeg_destroy_decompress(&cinfo);
        if (file)
            std::fclose(file);
    }

    bool readHeader() {
        if (setjmp(err.jump))
            return false;
        jpeg_create_decompress(&cinfo);
        created = true;
        source.file = file;
        source.pub.init_source = initSource;
        source.pub.fill_input_buffer = fillBuffer;
        source.pub.skip_input_data = skipInput;
        source.pub.resync_to_restart = jpeg_resync_to_restart;
        source.pub.term_source = termSource;
        cinfo.src = &source.pub;
        jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
        jpeg_read_header(&cinfo, TRUE);
        return true;
    }

    bool start(int denom) {
        if (setjmp(err.jump))
            return false;
        cmyk = isCmyk(cinfo);
        cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA; // BGRA in memory = ARGB32
        cinfo.dct_method = JDCT_ISLOW;
        cinfo.scale_num = 1;
        cinfo.scale_denom = unsigned(denom);
        jpeg_start_decompress(&cinfo);
        // A file of several scans is read whole here; one cut at a scan's end leaves no
        // complaint of the decoder, so its end must not come before the end marker.
        if (jpeg_has_multiple_scans(&cinfo) && source.atEnd) {
            cinfo.err->msg_code = JWRN_JPEG_EOF;
            onError(reinterpret_cast<j_common_ptr>(&cinfo));
        }
        return true;
    }

    bool read(JSAMPROW* rows, int count, int& got) {
        if (setjmp(err.jump))
            return false;
        got = 0;
        while (got < count && cinfo.output_scanline < cinfo.output_height)
            got += int(jpeg_read_scanlines(&cinfo, rows + got, JDIMENSION(count - got)));
        return true;
    }

    bool finish() {
        if (setjmp(err.jump))
            return false;
        jpeg_finish_decompress(&cinfo);
        return true;
    }
};

TJpegReader::TJpegReader(const std::string& fileName)
    : m_fileName(fileName), m_state(std::make_unique<State>()) {
    State& s = *m_state;
    std::string why;
    s.file = OpenRegularFileStream(fileName, why);
    if (!s.file)
        throw Error("Cannot open picture file " + fileName + ": " + why);
    s.cinfo.err = jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = onError;
    s.err.pub.emit_message = onMessage;
    std::fseek(s.file, 0, SEEK_END);
    const long bytes = std::ftell(s.file);
    std::rewind(s.file);
    if (!s.readHeader())
        Fail();
    CheckJpegClaim(fileName, s.cinfo.image_width, s.cinfo.image_height,
                   std::uint64_t(bytes > 0 ? bytes : 0));
    for (jpeg_saved_marker_ptr m = s.cinfo.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1) {
            if (m_thumbnail.empty())
                m_thumbnail = ExifThumbnail(m->data, m->data_length);
            const int o = ExifOrientation(m->data, m->data_length);
            if (o != 1) {
                m_orientation = o;
                break;
            }
        }
}

TJpegReader::~TJpegReader() = default;

void TJpegReader::Fail() {
    throw Error("Cannot decode picture file " + m_fileName + ": " + m_state->err.message);
}

int TJpegReader::Width() const {
    return int(m_state->cinfo.image_width);
}
int TJpegReader::Height() const {
    return int(m_state->cinfo.image_height);
}
int TJpegReader::OutputWidth() const {
    return int(m_state->cinfo.output_width);
}
int TJpegReader::OutputHeight() const {
    return int(m_state->cinfo.output_height);
}

void TJpegReader::Start(int scaleDenom) {
    if (!m_state->start(scaleDenom))
        Fail();
}

int TJpegReader::ReadRows(uchar* rows, qsizetype stride, int maxRows) {
    State& s = *m_state;
    const JDIMENSION w = s.cinfo.output_width;
    if (s.cmyk)
        s.cmykRows.resize(std::size_t(w) * 4 * std::size_t(maxRows));
    s.rowPointers.resize(std::size_t(maxRows));
    for (int i = 0; i < maxRows; ++i)
        s.rowPointers[std::size_t(i)] =
            s.cmyk ? s.cmykRows.data() + std::size_t(w) * 4 * i : rows + stride * i;
    int got = 0;
    if (!s.read(s.rowPointers.data(), maxRows, got))
        Fail();
    if (s.cmyk)
        for (int i = 0; i < got; ++i)
            cmykRowToArgb(s.rowPointers[std::size_t(i)], reinterpret_cast<QRgb*>(rows + stride * i),
                          w);
    return got;
}

void TJpegReader::Finish() {
    if (!m_state->finish())
        Fail();
}

QImage DecodeJpeg(const std::string& fileName) {
    TJpegReader reader(fileName);
    CheckRasterSize(fileName, std::uint64_t(reader.Width()), std::uint64_t(reader.Height()));
    reader.Start();
    QImage image(reader.OutputWidth(), reader.OutputHeight(), QImage::Format_ARGB32);
    if (image.isNull())
        throw Error("Cannot decode picture file " + fileName + ": picture too large");
    int row = 0;
    while (row < image.height()) {
        const int got = reader.ReadRows(image.scanLine(row), image.bytesPerLine(),
                                        std::min(16, image.height() - row));
        if (got == 0)
            break;
        row += got;
    }
    reader.Finish();
    return image;
}

int JpegScaleDenom(int picW, int picH, int fitW, int fitH) {
    if (picW < 8 * fitW || picH < 8 * fitH)
        return 1;
    int denom = 8;
    // libjpeg rounds a scaled size up.
    while (denom > 1 &&
           ((picW + denom - 1) / denom < 2 * fitW || (picH + denom - 1) / denom < 2 * fitH))
        denom /= 2;
    return denom;
}

} // namespace lv
