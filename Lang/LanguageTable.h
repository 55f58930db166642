#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lv {

// The Windows language ids the program knows, in table order (0x0000 first, which scanning
// skips). A pack for an id outside this table is never found.
const std::vector<std::uint16_t>& LanguageTable();

// PackedLanguageId: the pack's index among the packs of one language in the high 16 bits,
// the LANGID in the low 16.
inline std::uint32_t PackedLanguageId(int index, std::uint16_t langId) {
    return std::uint32_t(index) << 16 | langId;
}
inline std::uint16_t LangIdOf(std::uint32_t packed) {
    return std::uint16_t(packed & 0xFFFF);
}
inline int PrimaryLanguage(std::uint32_t langId) {
    return int(langId & 0x3FF);
}

// folder + prefix + 8 upper-case hex digits of the packed id + ".SPK".
std::string PackFileName(const std::string& folder, const std::string& prefix,
                         std::uint32_t packed);

// The user's LANGID from a locale name such as "fr_CA" or "de" (language, optionally
// territory); 0 when the language is not known.
std::uint16_t LangIdFromLocale(const std::string& localeName);

// Whether a command-line argument asks for the language template: "-co" or "/CO", any case,
// possibly followed by more letters ("-copy"); a path ("/code/show.lmv") is not one.
bool IsTemplateSwitch(const std::string& argument);

// One pack found by scanning.
struct TFoundPack {
    std::uint32_t Packed = 0;
    std::string File;
    std::string Display;
    int Revision = 0; // listed even when ReadPack refuses it (PackRevisionReadable)
};

// Every pack in `folder`: for each language of the table but the first, index 0, 1, 2...
// until the first missing file; a file that is not a pack is skipped without ending the
// language's count, and `skipped` (when set) gets why, naming the file. In table order, then
// index order.
std::vector<TFoundPack> ScanPacks(const std::string& folder, const std::string& prefix,
                                  const std::function<void(const std::string&)>& skipped = {});

// The pack to switch to: with a stored value, the first pack whose packed id equals it, else
// whose LANGID equals its low 16 bits, else whose primary language equals its own; without
// one (stored < 0), the same LANGID then primary-language search for `userLangId`.
// -1 for no match (a stored value that matches nothing does not fall back to the user's).
int SelectLanguage(const std::vector<TFoundPack>& packs, std::int64_t stored,
                   std::uint16_t userLangId);

} // namespace lv
