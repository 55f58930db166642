#include "app/run/Startup.h"

#include "Audio/DecoderLibraries.h"
#include "app/run/CodecChoice.h"
#include "log/KLog.h"
#include "platform/Registry.h"

namespace lv {

std::string ProgramCaption() {
    return std::string("Lumivane v") + LUMIVANE_VERSION;
}

void LogStartup(TKLog& log, const std::string& executable, const std::string& caption) {
    log.Write("Starting", llInfo);
    log.Write(executable, llInfo);
    log.Write(caption, llInfo);
}

void LogDecoderLibraries(TKLog& log) {
    for (const auto& lib : DecoderLibraries()->Statuses)
        log.Write(lib.FileName + (lib.Available ? " loaded" : ": " + lib.Problem),
                  lib.Available ? llVerbose : llInfo);
}

std::string RememberedFourCC(const std::vector<std::string>& codecLines) {
    const int i = SelectCodecLine(codecLines, ReadRegString("LastFCC"));
    return i < 0 ? std::string() : FourCCOfLine(codecLines[std::size_t(i)]);
}

} // namespace lv
