#pragma once

// TBmpToAvi writes 24-bit bitmaps as the one video stream of a new AVI file, compressed
// by an installed compressor chosen by its FourCC (platform/Compressor.h).
//
// Use: set Width, Height, FrameTime and FileName, SetCodec, Open, AddFrame for every
// frame, Close. Frame i (counted from 0 after Open) is written at stream position i.
// Failures of Open and AddFrame raise lv::EAssertionFailed (unit "U_BmpToAvi", with the
// check's line tag) and leave the writer as it was at the failure; the next Open (or the
// destructor) releases it.
//
// Threads: no lock. SetCodec, Open, ListCodecs, Configure and About run in one thread,
// AddFrame and Close may then run in another, never at the same time.

#include "platform/AviFile.h"
#include "platform/Compressor.h"
#include "platform/Dib.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lv {

inline constexpr const char* kBmpToAviUnit = "U_BmpToAvi";

class TBmpToAvi {
public:
    TBmpToAvi() = default;
    // Closes the writer unless it is closed; errors of finishing the file are lost here,
    // so call Close to learn of them.
    ~TBmpToAvi();
    TBmpToAvi(const TBmpToAvi&) = delete;
    TBmpToAvi& operator=(const TBmpToAvi&) = delete;

    std::int32_t Width = -1;
    std::int32_t Height = -1;
    std::int32_t FrameTime = -1; // milliseconds per frame: 1000 div fps
    std::string FileName;
    std::string Codec; // FourCC text of the compressor ("xvid"); empty for none

    // Empty text: no codec. Otherwise checks that a compressor with that FourCC takes
    // Width x Height 24-bit RGB and stores the text; while the size is not known yet
    // (not positive) it only checks that the compressor exists. Failure: lv::Error
    // "No compressor for <text> available", Codec unchanged.
    void SetCodec(const std::string& fourCC);

    // Releases a writer left open, replaces FileName by a new AVI file with one video
    // stream, and opens the compressor.
    void Open();

    // Compresses and appends one frame. The first frame fixes the frame size.
    void AddFrame(const TDib& bitmap);

    // Releases stream, file and compressor; finishing the file is part of it. Raises
    // lv::EAssertionFailed "FileRelease failed. Err: $" + 8 hex digits when the file
    // could not be finished (the writer is closed all the same).
    void Close();
    // Releases like Close, but removes the file instead of finishing it: after a failed run
    // an earlier file of FileName's name stays as it was.
    void Abandon();
    // Closes like Close the video of a run that was stopped: it plays, but never replaces an
    // earlier file of FileName's name (see AVIFileReleaseKeepingEarlier); KeptAs says where.
    void CloseUnfinished();
    // Where the last Close or CloseUnfinished put the file.
    const std::string& KeptAs() const { return m_keptAs; }

    bool IsOpen() const { return m_isOpen; }
    bool IsClosed() const { return m_isClosed; }
    // Format of the compressed frames; biSizeImage is the size of the last frame.
    const BITMAPINFOHEADER& OutputFormat() const { return m_outFormat; }
    // Whether the last frame was written as a key frame.
    bool LastKeyFrame() const { return m_lastKey; }

    // Fills list with "FOURCC description" for every compressor that takes 640x480
    // 24-bit RGB, in the platform's order.
    static void ListCodecs(std::vector<std::string>& list);

    // The editable settings of the Codec's compressor with their current values; empty
    // when there is no codec or it has nothing to configure.
    std::vector<TCodecSetting> Configure() const;
    // Stores edited settings for the Codec's compressor (used from the next Open).
    void StoreConfiguration(const std::vector<TCodecSetting>& settings) const;
    // About text of the Codec's compressor; empty when there is none.
    std::string About() const;

private:
    void Release(bool keepEarlier = false);

    bool m_isOpen = false;
    bool m_isClosed = false;
    HRESULT m_lastResult = AVIERR_OK;
    PAVIFILE m_file;
    PAVISTREAM m_stream;
    std::unique_ptr<TCompressor> m_compressor;
    BITMAPINFOHEADER m_outFormat{};
    std::unique_ptr<std::uint8_t[]> m_outBuffer; // one frame's compressed data, reused
    std::size_t m_outSize = 0;
    std::int32_t m_frameNumber = 0;
    bool m_formatSet = false;
    bool m_lastKey = false;
    bool m_aviInit = false; // AVIFileInit balanced by Close
    std::string m_keptAs;
};

} // namespace lv
