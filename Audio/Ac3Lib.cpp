#include "Audio/Ac3Lib.h"

namespace lv {

namespace {

// A stream whose first frame is further in than this is not worth decoding.
constexpr std::int32_t kSearchLimit = 1 << 20;
// a52_syncinfo looks at the first 7 bytes of a frame.
constexpr std::int32_t kSyncInfoBytes = 7;

} // namespace

TAc3Decoder::TAc3Decoder(const TAc3Lib& lib, a52_state_t* state, TAc3Read read, void* user)
    : m_lib(lib), m_state(state), m_read(read), m_user(user) {}

TAc3Decoder::~TAc3Decoder() {
    m_lib.a52_free(m_state);
}

std::shared_ptr<const TAc3Lib> TAc3Lib::Load(std::vector<TLibraryStatus>& statuses) {
    auto lib = std::make_shared<TAc3Lib>();
    TLibraryStatus status;
    lib->A52 = LoadLibraryChecked("liba52-0.7.4.so", "a52",
                                  {"a52_init", "a52_free", "a52_syncinfo"}, status);
    statuses.push_back(status);
    if (!lib->A52)
        return nullptr;
    lib->A52->Resolve(lib->a52_init, "a52_init");
    lib->A52->Resolve(lib->a52_free, "a52_free");
    lib->A52->Resolve(lib->a52_syncinfo, "a52_syncinfo");
    return lib;
}

int TAc3Lib::ac3_init(std::unique_ptr<TAc3Decoder>& decoder, TAc3Read read, void* user) const {
    if (!read)
        return 1;
    a52_state_t* state = a52_init(0);
    if (!state)
        return 1;
    decoder = std::make_unique<TAc3Decoder>(*this, state, read, user);
    return 0;
}

void TAc3Lib::ac3_free(std::unique_ptr<TAc3Decoder>& decoder) const {
    decoder.reset();
}

int TAc3Lib::ac3_regsettings(TAc3Decoder& decoder, const TAc3Settings& settings) const {
    if (settings.Size != sizeof(TAc3Settings))
        return 1;
    decoder.m_settings = settings;
    return 0;
}

int TAc3Lib::ChannelsOfFlags(int flags) {
    // Channel modes 0 (two independent mono channels) to 7 (3 front, 2 rear).
    static const int kChannels[8] = {2, 1, 2, 3, 3, 4, 4, 5};
    return kChannels[flags & 7] + ((flags & A52_LFE) ? 1 : 0);
}

int TAc3Lib::ac3_getchannels(TAc3Decoder& decoder) const {
    if (decoder.m_channels >= 0)
        return decoder.m_channels;
    decoder.m_channels = 0;
    const TAc3Settings& settings = decoder.m_settings;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> chunk(64 * 1024);
    while (std::int32_t(bytes.size()) < kSearchLimit) {
        std::int32_t got = decoder.m_read(decoder.m_user, chunk.data(), std::int32_t(chunk.size()));
        if (got < 0) {
            if (settings.OnError)
                settings.OnError(ac3ErrRead);
            return 0;
        }
        if (got == 0)
            break;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    }
    const bool wholeFile = std::int32_t(bytes.size()) < kSearchLimit;
    for (std::size_t i = 0; i + kSyncInfoBytes <= bytes.size(); ++i) {
        if (bytes[i] != 0x0B || bytes[i + 1] != 0x77)
            continue;
        int flags = 0, rate = 0, bitrate = 0;
        int length = a52_syncinfo(&bytes[i], &flags, &rate, &bitrate);
        if (length <= 0)
            continue;
        // The header check is weak (a sync word and a few codes): a frame counts when the
        // next one follows it, or when it ends the file.
        std::size_t next = i + std::size_t(length);
        bool confirmed = next + 1 < bytes.size() ? bytes[next] == 0x0B && bytes[next + 1] == 0x77
                                                 : wholeFile && next == bytes.size();
        if (!confirmed)
            continue;
        if (i > 0 && settings.OnWarning)
            settings.OnWarning(ac3WarnSkippedBytes);
        decoder.m_channels = ChannelsOfFlags(flags);
        return decoder.m_channels;
    }
    if (settings.OnError)
        settings.OnError(ac3ErrNoFrame);
    return 0;
}

std::string TAc3Lib::ac3_errormsg(int code) {
    switch (code) {
    case ac3ErrNoFrame:
        return "No AC3 frame found";
    case ac3ErrRead:
        return "Read error";
    default:
        return "Unknown error " + std::to_string(code);
    }
}

std::string TAc3Lib::ac3_warningmsg(int code) {
    if (code == ac3WarnSkippedBytes)
        return "Bytes skipped before the first frame";
    return "Unknown warning " + std::to_string(code);
}

} // namespace lv
