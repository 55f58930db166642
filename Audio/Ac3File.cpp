#include "Audio/Ac3File.h"

#include "Audio/DecoderLibraries.h"
#include "platform/Errors.h"

#include <atomic>
#include <vector>

namespace lv {

namespace {

// The reader the decoder's callbacks report to; at most one at a time.
std::atomic<TAc3File*> g_active{nullptr};

const char* const kSingleStream = "AZID.DLL allow only one AC3 stream to be decoded at a time";

// Frame sizes in 16-bit words by frame-size code, for 48, 44.1 and 32 kHz (ATSC A/52).
constexpr std::int16_t kFrameWords[38][3] = {
    {64, 69, 96},       {64, 70, 96},       {80, 87, 120},      {80, 88, 120},
    {96, 104, 144},     {96, 105, 144},     {112, 121, 168},    {112, 122, 168},
    {128, 139, 192},    {128, 140, 192},    {160, 174, 240},    {160, 175, 240},
    {192, 208, 288},    {192, 209, 288},    {224, 243, 336},    {224, 244, 336},
    {256, 278, 384},    {256, 279, 384},    {320, 348, 480},    {320, 349, 480},
    {384, 417, 576},    {384, 418, 576},    {448, 487, 672},    {448, 488, 672},
    {512, 557, 768},    {512, 558, 768},    {640, 696, 960},    {640, 697, 960},
    {768, 835, 1152},   {768, 836, 1152},   {896, 975, 1344},   {896, 976, 1344},
    {1024, 1114, 1536}, {1024, 1115, 1536}, {1152, 1253, 1728}, {1152, 1254, 1728},
    {1280, 1393, 1920}, {1280, 1394, 1920}};

constexpr std::int32_t kRates[3] = {48000, 44100, 32000};

} // namespace

bool TAc3File::TActiveMark::Take(TAc3File* reader) {
    TAc3File* expected = nullptr;
    if (!g_active.compare_exchange_strong(expected, reader))
        return false;
    m_owner = reader;
    return true;
}

TAc3File::TActiveMark::~TActiveMark() {
    if (m_owner)
        g_active.store(nullptr);
}

std::int32_t TAc3File::FrameBytes(int frameSizeCode, int sampleRateCode) {
    if (frameSizeCode < 0 || frameSizeCode > 37 || sampleRateCode < 0 || sampleRateCode > 2)
        return 0;
    return 2 * kFrameWords[frameSizeCode][sampleRateCode];
}

TAc3File::TAc3File(const std::string& fileName)
    : TAbstractAudioFile(fileName), m_lib(DecoderLibraries()->Ac3) {
    if (!m_lib)
        throw Error("AZID.DLL not found. AC3 support is not enabled");
    if (g_active.load())
        throw Error(kSingleStream);
    m_stream = std::make_unique<TWFileStream>(fileName, TWFileStream::fmOpenRead |
                                                            TWFileStream::fmShareDenyNone);
    if (m_lib->ac3_init(m_decoder, &readCallback, this) != 0)
        throw Error("AZID.DLL initialization failed");
    // Another reader may have got in since the first test.
    if (!m_mark.Take(this)) {
        m_lib->ac3_free(m_decoder);
        throw Error(kSingleStream);
    }
    TAc3Settings settings;
    settings.OnError = &errorCallback;
    settings.OnWarning = &warningCallback;
    if (m_lib->ac3_regsettings(*m_decoder, settings) != 0) {
        m_lib->ac3_free(m_decoder);
        throw Error("AZID.DLL send setting failed");
    }
    m_channels = m_lib->ac3_getchannels(*m_decoder);
    // No frame the decoder accepts, or sizes outside the frame table, give no length.
    if (!findFirstFrame() || m_channels <= 0) {
        m_lib->ac3_free(m_decoder);
        throw Error("Invalid AC3 file");
    }
}

TAc3File::~TAc3File() {
    if (m_decoder)
        m_lib->ac3_free(m_decoder);
}

bool TAc3File::findFirstFrame() {
    m_fileSize = m_stream->Size();
    m_stream->Seek(0, TWFileStream::soBeginning);
    std::vector<std::uint8_t> block(64 * 1024);
    std::int64_t blockStart = 0;
    for (;;) {
        std::int64_t got = m_stream->Read(block.data(), std::int64_t(block.size()));
        if (got < 2)
            return false;
        // Whole words only: the block size is even, so offsets stay even.
        for (std::int64_t i = 0; i + 1 < got; i += 2) {
            if (block[std::size_t(i)] != 0x0B || block[std::size_t(i) + 1] != 0x77)
                continue;
            std::int64_t syncAt = blockStart + i;
            std::uint8_t after[3];
            m_stream->Seek(syncAt + 2, TWFileStream::soBeginning);
            if (m_stream->Read(after, 3) < 3)
                return false;
            m_sampleRateCode = after[2] >> 6;
            m_frameSizeCode = after[2] & 0x3F;
            m_frameStart = syncAt;
            m_frameSize = FrameBytes(m_frameSizeCode, m_sampleRateCode);
            if (m_frameSize == 0)
                return false;
            m_frames = (m_fileSize - m_frameStart) / m_frameSize;
            return true;
        }
        if (got < std::int64_t(block.size()))
            return false;
        blockStart += got;
    }
}

std::int32_t TAc3File::SampleRate() {
    return kRates[m_sampleRateCode];
}

std::int32_t TAc3File::Bitrate() {
    // A frame of 1536 samples.
    return std::int32_t(std::int64_t(m_frameSize) * 8 * SampleRate() / 1536);
}

bool TAc3File::ReadData(void* buffer, std::int32_t& count) {
    (void)buffer;
    count = 0;
    return false;
}

std::int32_t TAc3File::readCallback(void* reader, void* buffer, std::int32_t count) {
    try {
        return std::int32_t(static_cast<TAc3File*>(reader)->m_stream->Read(buffer, count));
    } catch (...) {
        return -1;
    }
}

// The decoder's callbacks carry no context: the active mark names the reader. They run on
// the thread that called into the decoder, which is the reader's.
void TAc3File::errorCallback(int code) {
    if (TAc3File* reader = g_active.load())
        reader->Messages.push_back(TAc3Lib::ac3_errormsg(code));
}

void TAc3File::warningCallback(int code) {
    if (TAc3File* reader = g_active.load())
        reader->Messages.push_back(TAc3Lib::ac3_warningmsg(code));
}

} // namespace lv
