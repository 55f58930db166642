#include "Audio/Wma/WMAAudioFile.h"

#include "Audio/DecoderLibraries.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <strings.h>

namespace lv {

namespace {

std::string withCode(const char* text, TWmResult result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%.8x", unsigned(result));
    return std::string(text) + code;
}

std::int64_t bytesFor(std::uint64_t durationHns, std::uint32_t avgBytesPerSec) {
    unsigned __int128 bytes = (unsigned __int128)durationHns * avgBytesPerSec / 10000000u;
    const auto limit = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    return std::int64_t(bytes > limit ? limit : std::uint64_t(bytes));
}

} // namespace

TWMAAudioFile::TWMAAudioFile(const std::string& fileName)
    : TAbstractAudioFile(fileName), m_lib(DecoderLibraries()->Wm) {
    if (!m_lib)
        throw Error("Windows Media Audio support DLL (wmvcore.dll) not found or outdated. "
                    "Download the latest Microsoft Windows Media player.");
    TWmResult hr = m_lib->Wm9GetSyncReader(m_reader);
    if (WmFailed(hr) || !m_reader)
        throw Error(withCode("Failed to get WM9 reader object - ", hr));
    hr = m_reader->Open(fileName);
    if (WmFailed(hr))
        throw Error(withCode("Failed to open the wm file - ", hr));
    m_fileSize = std::int64_t(lv::FileSize(fileName));

    hr = m_reader->GetOutputCount(OutputCount);
    if (WmFailed(hr))
        refuse(withCode("Failed to get the raw output count - ", hr));
    if (OutputCount > 1)
        refuse("This Windows Media file contains too many outputs (" + std::to_string(OutputCount) +
               ")");

    std::unique_ptr<TWmOutputProps> props;
    hr = m_reader->GetOutputProps(0, props);
    if (WmFailed(hr))
        refuse(withCode("Failed to get the props for output 0 - ", hr));
    std::uint32_t typeSize = 0;
    hr = props->GetMediaType(nullptr, typeSize);
    if (WmFailed(hr))
        refuse(withCode("Failed to get media type length for output 0 - ", hr));
    std::vector<std::uint8_t> typeBytes(typeSize);
    hr = props->GetMediaType(typeBytes.data(), typeSize);
    if (WmFailed(hr))
        refuse(withCode("Failed to get media type for output 0 - ", hr));
    TWmMediaType type;
    if (typeBytes.size() < sizeof type)
        refuse("WMA doesn't contains Audio data");
    std::memcpy(&type, typeBytes.data(), sizeof type);
    if (type.MajorType != TWmMajorType::Audio)
        refuse("WMA doesn't contains Audio data");
    OutputFormat = type.WaveFormat;

    hr = m_reader->QueryHeaderInfo(m_headerInfo);
    if (WmFailed(hr) || !m_headerInfo)
        refuse(withCode("Failed to get Header - ", hr));
    std::uint16_t attributes = 0;
    hr = m_headerInfo->GetAttributeCount(0, attributes);
    if (WmFailed(hr))
        refuse(withCode("Failed to get WMA attribute count - ", hr));
    for (std::uint16_t i = 0; i < attributes; ++i) {
        std::string name;
        TWmAttrType attrType{};
        std::vector<std::uint8_t> value;
        if (WmFailed(m_headerInfo->GetAttributeByIndex(0, i, name, attrType, value)))
            continue;
        if (strcasecmp(name.c_str(), "duration") == 0 && attrType == TWmAttrType::QWord &&
            value.size() == 8) {
            DurationHns = 0;
            for (int b = 7; b >= 0; --b)
                DurationHns = DurationHns << 8 | value[std::size_t(b)];
        }
    }

    hr = m_reader->SetReadStreamSamples(1, false);
    if (WmFailed(hr))
        refuse(withCode("Failed to set the output allocator - ", hr));
    std::uint32_t maxSampleSize = 0;
    hr = m_reader->GetMaxOutputSampleSize(0, maxSampleSize);
    if (WmFailed(hr))
        refuse(withCode("Failed to set the output allocator - ", hr));

    m_dataSize = bytesFor(DurationHns, OutputFormat.AvgBytesPerSec);
}

TWMAAudioFile::~TWMAAudioFile() {
    if (m_reader)
        m_reader->Close();
}

void TWMAAudioFile::refuse(const std::string& message) {
    m_reader->Close();
    throw Error(message);
}

bool TWMAAudioFile::ReadData(void* buffer, std::int32_t& count) {
    (void)buffer;
    count = 0;
    return false;
}

} // namespace lv
