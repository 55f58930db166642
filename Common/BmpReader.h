#pragma once

#include <QImage>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace lv {

// Reads a BMP file. Uncompressed pictures of 1, 4, 8, 24 and 32 bits a pixel, bottom-up or
// top-down, are read by strips of rows straight from the file; the other kinds (RLE, bit
// fields, 16 bits) go through Qt's reader as a whole. The header is checked on construction:
// a file that cannot hold the pixels its header claims is refused before anything is allocated
// for them. Errors are lv::Error naming the file.
class TBmpReader {
public:
    explicit TBmpReader(const std::string& fileName);
    ~TBmpReader();
    TBmpReader(const TBmpReader&) = delete;
    TBmpReader& operator=(const TBmpReader&) = delete;

    // Meaningful when Streamed().
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Streamed() const { return m_streamed; }

    // The next rows from the top, as ARGB32 (alpha 255), up to maxRows; returns how many.
    int ReadRows(uchar* rows, qsizetype stride, int maxRows);
    // The whole picture as ARGB32; from the start, whether streamed or not.
    QImage ReadWhole();

private:
    [[noreturn]] void Fail(const std::string& why) const;
    void ParseHeader(std::uint64_t fileBytes);

    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::string m_fileName;
    std::unique_ptr<std::FILE, FileCloser> m_file;
    bool m_streamed = false;
    int m_width = 0, m_height = 0, m_bits = 0;
    bool m_topDown = false;
    std::uint64_t m_dataOffset = 0;
    std::size_t m_stride = 0;
    std::vector<QRgb> m_palette;
    std::vector<uchar> m_buffer;
    int m_next = 0;
};

} // namespace lv
