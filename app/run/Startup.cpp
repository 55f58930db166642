#include "app/run/Startup.h"

#include "Audio/DecoderLibraries.h"
#include "Lang/LanguageTable.h"
#include "app/run/CodecChoice.h"
#include "log/KLog.h"
#include "platform/Registry.h"

namespace lv {

std::string ProgramCaption() {
    return std::string("Lumivane v") + LUMIVANE_VERSION;
}

std::string VersionText(const std::string& program) {
    return program + " " + LUMIVANE_VERSION;
}

TWindowArguments ParseWindowArguments(const std::vector<std::string>& args) {
    TWindowArguments a;
    bool switches = true;
    for (const std::string& arg : args) {
        if (switches && arg == "--") {
            switches = false;
        } else if (switches && (arg == "--help" || arg == "-h")) {
            a.action = TWindowArguments::Action::Help;
            return a;
        } else if (switches && arg == "--version") {
            a.action = TWindowArguments::Action::Version;
            return a;
        } else if (switches && IsTemplateSwitch(arg)) {
            a.writeTemplate = true;
        } else if (a.project.empty()) {
            a.project = arg;
        }
    }
    return a;
}

std::string WindowUsageText() {
    return R"(Usage: lumivane [-co] [PROJECT.lmv]

Opens the window that turns a list of photos (JPEG, BMP) into a video (AVI, MP4,
Matroska): a slow pan over each picture, cross-fades, a caption band and an MP3
soundtrack. With PROJECT.lmv it starts with that project loaded, as file managers open
.lmv files. lumivane-render makes the same videos without the window.

Options:
  -co                 also write the language template LMV_ORIGINAL.SPK into the
                      language packs' folder, for translators
  -h, --help          this text
      --version       the program's version
  --                  what follows is the project, even if it starts with '-'

Qt's own options (-platform, -style, -display...) are understood too.
)";
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
