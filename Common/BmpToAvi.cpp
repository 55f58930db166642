#include "Common/BmpToAvi.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/SystemError.h"

#include <cstring>
#include <filesystem>

namespace lv {

namespace {

// Each check carries a fixed line tag (0: none) rather than __LINE__, so that a reported
// failure names the same check whatever edits move the code.
[[noreturn]] void Fail(const std::string& message, int line) {
    throw EAssertionFailed(message, kBmpToAviUnit, line);
}

[[noreturn]] void Fail(const std::string& message, HRESULT hr, int line) {
    Fail(WithSystemError(message + hex8(std::uint32_t(hr))), line);
}

std::unique_ptr<TCompressor> OpenForQuery(const std::string& fourCC) {
    return fourCC.empty() ? nullptr : TCompressor::Open(fourCC, ICMode::Query);
}

} // namespace

TBmpToAvi::~TBmpToAvi() {
    if (!m_isClosed)
        Release();
}

void TBmpToAvi::SetCodec(const std::string& fourCC) {
    if (fourCC.empty()) {
        Codec.clear();
        return;
    }
    auto c = TCompressor::Open(fourCC, ICMode::Query);
    // Before the first run the size is still unknown (-1); asking any encoder about that
    // size is meaningless, so only the compressor's presence counts then.
    const bool sizeKnown = Width > 0 && Height > 0;
    if (!c || (sizeKnown && !c->CompressQuery(RgbFormat(Width, Height))))
        throw Error("No compressor for " + fourCC + " available");
    Codec = fourCC;
}

void TBmpToAvi::Open() {
    // A writer left open by a failed run is released first; that run has already failed,
    // so whether its file could be finished changes nothing here.
    Release();
    AVIFileInit();
    m_aviInit = true;
    m_lastResult = AVIFileOpen(m_file, FileName, OF_WRITE | OF_CREATE);
    if (m_lastResult != AVIERR_OK)
        Fail("FileOpen failed. Err: $", m_lastResult, 304);

    AVISTREAMINFO info;
    info.fccType = streamtypeVIDEO;
    info.fccHandler = FourCCFromText(Codec);
    info.dwFlags = 0xC;
    info.dwScale = std::uint32_t(FrameTime);
    info.dwRate = 1000;
    info.dwQuality = 10000;
    info.rcFrame = RECT{0, 0, Width, Height};
    info.szName = "Main Video Stream";
    m_lastResult = AVIFileCreateStream(m_file, m_stream, info);
    if (m_lastResult != AVIERR_OK)
        Fail("CreateStream failed. Err: $", m_lastResult, 331);

    m_compressor = Codec.empty() ? nullptr : TCompressor::Open(Codec, ICMode::Compress);
    if (!m_compressor)
        Fail("ICOpen failed.", 334);
    m_compressor->CompressFramesInfo(FrameTime, 1000);

    m_frameNumber = 0;
    m_formatSet = false;
    m_isOpen = true;
    m_isClosed = false;
}

void TBmpToAvi::AddFrame(const TDib& bitmap) {
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0)
        Fail("GetObject failed : The bitmap has no pixels.", 106);
    const BITMAPINFOHEADER& in = bitmap.Header();

    if (!m_formatSet) {
        std::vector<std::uint8_t> format;
        if (!m_compressor || !m_compressor->CompressGetFormat(in, format))
            Fail("ICCompressGetFormat failed.", 120);
        m_lastResult = AVIStreamSetFormat(m_stream, 0, format.data(), std::int32_t(format.size()));
        if (m_lastResult != AVIERR_OK)
            Fail("StreamSetFormat failed. Err: $", m_lastResult, 123);
        if (!m_compressor->CompressBegin(in))
            Fail("ICCompressBegin failed.", 126);
        std::memcpy(&m_outFormat, format.data(), sizeof m_outFormat);
        // One buffer for the whole run; encoders need no copy of the previous frame. Left
        // uninitialised: the announced maximum is far above a real frame (100 MB at 4K), and
        // only the pages a frame fills cost memory.
        m_outSize = m_compressor->CompressGetSize(in);
        m_outBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(m_outSize);
        m_formatSet = true;
    }

    std::size_t size = 0;
    bool key = false;
    if (!m_compressor ||
        !m_compressor->Compress(in, bitmap.Bits(), {m_outBuffer.get(), m_outSize}, size, key))
        Fail("ICCompress failed.", 155);
    m_outFormat.biSizeImage = std::uint32_t(size);
    m_lastKey = key;

    m_lastResult = AVIStreamWrite(m_stream, m_frameNumber, 1, m_outBuffer.get(), std::int32_t(size),
                                  key ? AVIIF_KEYFRAME : 0);
    if (m_lastResult != AVIERR_OK)
        Fail("StreamWrite failed. Err: $", m_lastResult, 173);
    ++m_frameNumber;
}

void TBmpToAvi::Release(bool keepEarlier) {
    // The stream goes first; the file is finished when its last handle goes, so the
    // file's release reports whether the file on disk is complete.
    HRESULT hr = AVIERR_OK;
    if (m_stream)
        hr = AVIStreamRelease(m_stream);
    if (m_file) {
        m_keptAs = FileName;
        const HRESULT fileResult =
            keepEarlier ? AVIFileReleaseKeepingEarlier(m_file, m_keptAs) : AVIFileRelease(m_file);
        if (hr == AVIERR_OK)
            hr = fileResult;
    }
    m_lastResult = hr;
    if (m_compressor) {
        m_compressor->CompressEnd();
        m_compressor.reset();
    }
    if (m_aviInit) {
        AVIFileExit();
        m_aviInit = false;
    }
    m_isClosed = true;
    m_isOpen = false;
}

void TBmpToAvi::Abandon() {
    if (m_file)
        AVIFileAbandon(m_file);
    Release();
}

void TBmpToAvi::Close() {
    Release();
    if (m_lastResult != AVIERR_OK)
        Fail("FileRelease failed. Err: $", m_lastResult, 0);
}

void TBmpToAvi::CloseUnfinished() {
    Release(true);
    if (m_lastResult != AVIERR_OK)
        Fail("FileRelease failed. Err: $", m_lastResult, 0);
}

void TBmpToAvi::ListCodecs(std::vector<std::string>& list) {
    list.clear();
    const BITMAPINFOHEADER query = RgbFormat(640, 480);
    for (const auto& info : ICInstalled()) {
        auto c = TCompressor::Open(info.fourCC, ICMode::Query);
        if (c && c->CompressQuery(query))
            list.push_back(info.fourCC + " " + info.description);
    }
}

std::vector<TCodecSetting> TBmpToAvi::Configure() const {
    auto c = OpenForQuery(Codec);
    return c ? c->Settings() : std::vector<TCodecSetting>{};
}

void TBmpToAvi::StoreConfiguration(const std::vector<TCodecSetting>& settings) const {
    if (auto c = OpenForQuery(Codec))
        c->StoreSettings(settings);
}

std::string TBmpToAvi::About() const {
    auto c = OpenForQuery(Codec);
    return c ? c->AboutText() : std::string();
}

} // namespace lv
