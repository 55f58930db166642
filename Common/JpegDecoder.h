#pragma once

#include <QImage>

#include <memory>
#include <string>

namespace lv {

// Reads a JPEG file by strips of rows into ARGB32 (alpha 255), at full size or reduced by
// libjpeg's scaled decoding. The header is read and checked on construction: a file whose
// header claims more pixels than it can hold is refused before anything is allocated for them.
// Every decoder error, warning-level corruption included, becomes an lv::Error naming the file.
class TJpegReader {
public:
    explicit TJpegReader(const std::string& fileName);
    ~TJpegReader();
    TJpegReader(const TJpegReader&) = delete;
    TJpegReader& operator=(const TJpegReader&) = delete;

    // The stored size, before orientation and scaled decoding.
    int Width() const;
    int Height() const;
    // The EXIF orientation (1 to 8), 1 without a readable tag.
    int Orientation() const { return m_orientation; }
    // The preview picture embedded in the EXIF block (a JPEG file image); empty for none.
    const std::string& EmbeddedThumbnail() const { return m_thumbnail; }

    // Starts decoding at 1 / scaleDenom of the size (1, 2, 4 or 8).
    void Start(int scaleDenom = 1);
    int OutputWidth() const;
    int OutputHeight() const;
    // Decodes up to maxRows of the next rows into rows (stride bytes apart); returns how many.
    int ReadRows(uchar* rows, qsizetype stride, int maxRows);
    // Reads the rest of the file: a truncated or damaged end is an error too.
    void Finish();

private:
    struct State;
    [[noreturn]] void Fail();
    std::string m_fileName;
    std::unique_ptr<State> m_state;
    int m_orientation = 1;
    std::string m_thumbnail;
};

// Decodes a JPEG file at full size and full quality, as stored (orientation not applied).
QImage DecodeJpeg(const std::string& fileName);

// The largest libjpeg scale denominator (1, 2, 4, 8) that keeps a picW x picH picture at
// least twice the fitted size fitW x fitH in both directions, so that the Mitchell filter still
// has pixels to work on; 1 unless the fitted size is at least 8 times smaller both ways.
int JpegScaleDenom(int picW, int picH, int fitW, int fitH);

} // namespace lv
