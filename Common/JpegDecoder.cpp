#include "Common/JpegDecoder.h"

#include "platform/Errors.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>
// jerror.h's message table is only needed for one code.
#include <jerror.h>

namespace lv {

namespace {

// libjpeg's own error_exit ends the process; ours jumps back to the decoder with the text.
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

// Warnings are not printed. A truncated file is an error: libjpeg would pad it with grey.
void onMessage(j_common_ptr cinfo, int level) {
    if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        onError(cinfo);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

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

// Everything between setjmp and the end of decoding. Objects with destructors live in the
// caller, so a longjmp out of libjpeg skips none; they are only assigned here.
bool decode(jpeg_decompress_struct& cinfo, ErrorManager& err, std::FILE* file, QImage& image,
            std::vector<JSAMPLE>& cmykRow) {
    if (setjmp(err.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    const bool cmyk = isCmyk(cinfo);
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA; // BGRA in memory = ARGB32
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&cinfo);
    image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_ARGB32);
    if (image.isNull()) {
        std::snprintf(err.message, sizeof err.message, "picture too large");
        return false;
    }
    if (cmyk)
        cmykRow.resize(std::size_t(cinfo.output_width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(int(cinfo.output_scanline)));
        JSAMPROW row = cmyk ? cmykRow.data() : reinterpret_cast<JSAMPROW>(line);
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk)
            cmykRowToArgb(cmykRow.data(), line, cinfo.output_width);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace

QImage DecodeJpeg(const std::string& fileName) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw Error("Cannot open picture file " + fileName);

    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;

    QImage image;
    std::vector<JSAMPLE> cmykRow;
    const bool ok = decode(cinfo, err, file.get(), image, cmykRow);
    jpeg_destroy_decompress(&cinfo);
    if (!ok)
        throw Error("Cannot decode picture file " + fileName + ": " + err.message);
    return image;
}

} // namespace lv
