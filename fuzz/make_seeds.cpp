// lumivane-fuzz-seeds SOURCE_DIR CORPUS_DIR: the seed inputs that the project's own writers
// make (AVIs, language packs, a project, BMP and JPEG pictures with and without EXIF), each a
// few KiB at most. fuzz/make-corpus.sh adds the sounds that ffmpeg and lame make.
#include "Common/PictureList.h"
#include "Lang/LanguagePack.h"
#include "Lang/PackTable.h"
#include "platform/AviFile.h"
#include "platform/Errors.h"
#include "project/ProjectFile.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <libexif/exif-data.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;
using namespace lv;
using Bytes = std::vector<std::uint8_t>;

namespace {

fs::path g_corpus;

std::string seedPath(const std::string& target, const std::string& name) {
    fs::create_directories(g_corpus / target);
    return (g_corpus / target / name).string();
}

void writeSeed(const std::string& target, const std::string& name, const std::string& bytes) {
    std::ofstream(seedPath(target, name), std::ios::binary) << bytes;
}

void check(HRESULT hr, const char* what) {
    if (hr != AVIERR_OK)
        throw Error(std::string(what) + " failed. Err: $" + hex8(std::uint32_t(hr)));
}

void put16(Bytes& b, std::uint16_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
    put16(b, std::uint16_t(v));
    put16(b, std::uint16_t(v >> 16));
}

// A w x h 24-bit DIB stream of `frames` frames (every third a key frame) and, with
// audioSampleSize, a PCM stream of that block size; riffLimit small enough gives OpenDML.
void writeAvi(const std::string& path, int w, int h, int frames, std::uint32_t audioSampleSize,
              std::uint64_t riffLimit) {
    PAVIFILE file;
    check(AVIFileOpen(file, path, OF_WRITE | OF_CREATE), "FileOpen");
    if (riffLimit)
        check(AVIFileSetRiffLimit(file, riffLimit), "SetRiffLimit");
    AVISTREAMINFO vi;
    vi.fccType = streamtypeVIDEO;
    vi.fccHandler = mmioFOURCC('D', 'I', 'B', ' ');
    vi.dwScale = 1;
    vi.dwRate = 15;
    vi.rcFrame = {0, 0, w, h};
    PAVISTREAM video;
    check(AVIFileCreateStream(file, video, vi), "CreateStream");
    const std::uint32_t stride = std::uint32_t(w * 3 + 3) / 4 * 4;
    Bytes format;
    for (std::uint32_t v : {40u, std::uint32_t(w), std::uint32_t(h)})
        put32(format, v);
    put16(format, 1);
    put16(format, 24);
    for (std::uint32_t v : {0u, stride * std::uint32_t(h), 0u, 0u, 0u, 0u})
        put32(format, v);
    check(AVIStreamSetFormat(video, 0, format.data(), std::int32_t(format.size())), "SetFormat");
    PAVISTREAM audio;
    if (audioSampleSize) {
        AVISTREAMINFO ai;
        ai.fccType = streamtypeAUDIO;
        ai.dwScale = audioSampleSize;
        ai.dwRate = 8000 * audioSampleSize;
        ai.dwSampleSize = audioSampleSize;
        check(AVIFileCreateStream(file, audio, ai), "CreateStream");
        Bytes wave;
        put16(wave, 1);
        put16(wave, std::uint16_t(audioSampleSize / 2));
        put32(wave, 8000);
        put32(wave, 8000 * audioSampleSize);
        put16(wave, std::uint16_t(audioSampleSize));
        put16(wave, 16);
        check(AVIStreamSetFormat(audio, 0, wave.data(), std::int32_t(wave.size())), "SetFormat");
    }
    for (int t = 0; t < frames; ++t) {
        Bytes pixels(stride * std::uint32_t(h));
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint8_t(t * 40 + i * 7);
        check(AVIStreamWrite(video, t, 1, pixels.data(), std::int32_t(pixels.size()),
                             t % 3 == 0 ? AVIIF_KEYFRAME : 0),
              "StreamWrite");
        if (audioSampleSize) {
            Bytes pcm(audioSampleSize * 20, std::uint8_t(t));
            check(AVIStreamWrite(audio, t * 20, 20, pcm.data(), std::int32_t(pcm.size()),
                                 AVIIF_KEYFRAME),
                  "StreamWrite");
        }
    }
    AVIStreamRelease(audio);
    AVIStreamRelease(video);
    check(AVIFileRelease(file), "FileRelease");
}

// The writer keeps room for the headers a long file needs (a JUNK chunk of several KiB): a
// fuzzer spends most mutations in it. Offsets in idx1 count from movi, so only the RIFF
// size changes when it goes.
void dropJunk(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const auto le32 = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(bytes[at])) |
               std::uint32_t(std::uint8_t(bytes[at + 1])) << 8 |
               std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 |
               std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
    };
    for (std::size_t pos = 12; pos + 8 <= bytes.size();) {
        const std::size_t size = le32(pos + 4) + (le32(pos + 4) & 1) + 8;
        if (bytes.compare(pos, 4, "JUNK") != 0) {
            pos += size;
            continue;
        }
        bytes.erase(pos, size);
        const std::uint32_t riff = le32(4) - std::uint32_t(size);
        for (int i = 0; i < 4; ++i)
            bytes[4 + std::size_t(i)] = char(riff >> (8 * i));
        break;
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void aviSeeds() {
    for (const auto& [name, sampleSize] :
         {std::pair{"dib-idx1.avi", 0u}, std::pair{"dib-pcm.avi", 4u}}) {
        writeAvi(seedPath("avi_reader_fuzz", name), 4, 3, 4, sampleSize, 0);
        dropJunk(seedPath("avi_reader_fuzz", name));
    }
    // The smallest RIFF size: the second RIFF holds the rest, with OpenDML indexes.
    writeAvi(seedPath("avi_reader_fuzz", "opendml.avi"), 8, 8, 12, 2, 4096);
}

// The header and the first `rows` rows of a shipped table, through the same calls as
// "lumivane-lang build"; withFlag false drops the flag, the largest part of a small pack.
void packSeed(const fs::path& table, const std::string& name, int rows, bool withFlag) {
    std::ifstream in(table, std::ios::binary);
    std::string line, text;
    int kept = 0;
    while (std::getline(in, line)) {
        const bool row = !line.empty() && line[0] != '#' && line[0] != '@';
        if (row && kept++ >= rows)
            continue;
        if (!withFlag && line.rfind("@flag", 0) == 0)
            continue;
        text += line + "\n";
    }
    for (const char* target : {"language_pack_fuzz", "storefile_fuzz"})
        WritePack(seedPath(target, name), PackFromTable(ParseTable(text)));
}

void packSeeds(const fs::path& source) {
    packSeed(source / "Lang/packs/0000040C.tsv", "LMV_0000040C.SPK", 6, true);
    packSeed(source / "Lang/packs/00000407.tsv", "LMV_00000407.SPK", 14, false);
    packSeed(source / "Lang/packs/00000409.tsv", "LMV_00000409.SPK", 0, false);
}

void projectSeeds() {
    TPictureList pictures;
    pictures.Add("a.jpg");
    pictures.Add("sub/c.jpeg", "A caption\twith a TAB");
    pictures.Add("/no/such/picture.bmp", "Missing");
    pictures.Add("b.BMP", "b.bmp");
    pictures.Add("d.txt");
    writeSeed("project_file_fuzz", "project.lmv", FormatProject(pictures, "song.mp3", "show.avi"));
    writeSeed("project_file_fuzz", "cr-lines.lmv",
              ";Sound=../s.mp3\r;Comment\r;Output=/tmp/o.avi\r\ra.jpg\tFirst\rb.BMP");
}

std::string jpegBytes(const QImage& image, int quality, bool progressive = false) {
    QBuffer buffer;
    QImageWriter writer(&buffer, "JPG");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return buffer.data().toStdString();
}

// An EXIF block with the orientation tag and, when given, a preview picture.
std::string exifPayload(int orientation, const std::string& preview) {
    ExifData* exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, EXIF_BYTE_ORDER_INTEL, ExifShort(orientation));
    if (!preview.empty()) {
        exif->size = unsigned(preview.size());
        exif->data = static_cast<unsigned char*>(std::malloc(exif->size));
        std::copy(preview.begin(), preview.end(), exif->data);
    }
    unsigned char* data = nullptr;
    unsigned size = 0;
    exif_data_save_data(exif, &data, &size);
    std::string payload(reinterpret_cast<char*>(data), size);
    std::free(data);
    exif_entry_unref(entry);
    exif_data_unref(exif);
    return payload;
}

std::string withApp1(std::string jpeg, const std::string& payload) {
    const std::size_t length = payload.size() + 2;
    return jpeg.insert(2, std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) +
                              payload);
}

QImage drawing(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(qRgb(200, 40, 40));
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, qRgb(30, 200, 60));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, qRgb(20, 40, 220));
    return image;
}

void pictureSeeds() {
    const QImage image = drawing(12, 8);
    const std::string jpeg = jpegBytes(image, 75);
    writeSeed("jpeg_picture_fuzz", "plain.jpg", jpeg);
    writeSeed("jpeg_picture_fuzz", "progressive.jpg", jpegBytes(image, 75, true));
    writeSeed("jpeg_picture_fuzz", "gray.jpg",
              jpegBytes(image.convertToFormat(QImage::Format_Grayscale8), 75));
    writeSeed("jpeg_picture_fuzz", "exif-6.jpg", withApp1(jpeg, exifPayload(6, {})));
    // A preview of the photo's shape, as cameras embed, in a photo large enough to use it.
    writeSeed("jpeg_picture_fuzz", "exif-preview-3.jpg",
              withApp1(jpegBytes(drawing(240, 160), 20),
                       exifPayload(3, jpegBytes(drawing(120, 80), 20))));

    for (const auto& [name, format] : {std::pair{"rgb24.bmp", QImage::Format_RGB888},
                                       std::pair{"argb32.bmp", QImage::Format_ARGB32},
                                       std::pair{"indexed8.bmp", QImage::Format_Indexed8},
                                       std::pair{"mono.bmp", QImage::Format_Mono}}) {
        QImage converted = image.convertToFormat(format);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        converted.save(&buffer, "BMP");
        writeSeed("bmp_picture_fuzz", name, buffer.data().toStdString());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lumivane-fuzz-seeds SOURCE_DIR CORPUS_DIR\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // flags are drawn, no display needed
    QGuiApplication app(argc, argv);
    g_corpus = argv[2];
    try {
        aviSeeds();
        packSeeds(argv[1]);
        projectSeeds();
        pictureSeeds();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumivane-fuzz-seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
