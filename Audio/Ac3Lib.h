#pragma once

#include "platform/DynLib.h"

#include <cstdint>
extern "C" {
#include <a52dec/a52.h>
}

#include <memory>
#include <string>
#include <vector>

namespace lv {

// Codes passed to the settings' callbacks; ac3_errormsg / ac3_warningmsg give their texts.
enum TAc3Error : int { ac3ErrNoFrame = 1, ac3ErrRead = 2 };
enum TAc3Warning : int { ac3WarnSkippedBytes = 1 };

// What the caller registers with ac3_regsettings. The callbacks carry no context: a caller
// that needs one finds it through its own single-instance mark.
struct TAc3Settings {
    std::uint32_t Size = sizeof(TAc3Settings); // checked, so a stale layout is refused
    void (*OnError)(int code) = nullptr;
    void (*OnWarning)(int code) = nullptr;
};

// Reads up to count bytes into buffer; bytes read, 0 at the end, negative on failure.
using TAc3Read = std::int32_t (*)(void* user, void* buffer, std::int32_t count);

class TAc3Lib;

// One decoding session over a byte source. Not thread-safe.
class TAc3Decoder {
public:
    TAc3Decoder(const TAc3Lib& lib, a52_state_t* state, TAc3Read read, void* user);
    ~TAc3Decoder();
    TAc3Decoder(const TAc3Decoder&) = delete;
    TAc3Decoder& operator=(const TAc3Decoder&) = delete;

private:
    friend class TAc3Lib;
    const TAc3Lib& m_lib;
    a52_state_t* m_state;
    TAc3Read m_read;
    void* m_user;
    TAc3Settings m_settings;
    int m_channels = -1; // -1 until the first frame has been looked for
};

// The AC-3 decoder calls the reader makes, over liba52. Decoders it makes must not outlive
// it. Thread-safe: separate decoders may run on separate threads.
class TAc3Lib {
public:
    // Loads liba52-0.7.4.so; null when absent or lacking an export (with its status).
    static std::shared_ptr<const TAc3Lib> Load(std::vector<TLibraryStatus>& statuses);

    // 0 and a decoder reading from `read`; nonzero when the decoder cannot be made.
    int ac3_init(std::unique_ptr<TAc3Decoder>& decoder, TAc3Read read, void* user) const;
    void ac3_free(std::unique_ptr<TAc3Decoder>& decoder) const;
    // 0 when accepted; nonzero for a record of another size.
    int ac3_regsettings(TAc3Decoder& decoder, const TAc3Settings& settings) const;
    // Output channels of the stream (its coded channels plus LFE), from the first frame
    // found in the first MiB that is followed by another or ends the file. 0, after an
    // error callback, when there is none.
    int ac3_getchannels(TAc3Decoder& decoder) const;
    static std::string ac3_errormsg(int code);
    static std::string ac3_warningmsg(int code);

    // Channels of the channel-mode flags a52_syncinfo returns.
    static int ChannelsOfFlags(int flags);

    std::unique_ptr<TDynLib> A52;
    decltype(&::a52_init) a52_init = nullptr;
    decltype(&::a52_free) a52_free = nullptr;
    decltype(&::a52_syncinfo) a52_syncinfo = nullptr;
};

} // namespace lv
