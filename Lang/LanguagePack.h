#pragma once

#include "platform/Errors.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lv {

inline constexpr const char* kPackSignature = "ZOQ LANGUAGE FILE";
inline constexpr int kPackRevision = 4; // written

// Bounds of what a pack read from a file may set, far above any translation: the bytes of a
// text (a caption, a hint, one line of a list) and the lines of a list.
inline constexpr std::size_t kMaxPackText = 2048;
inline constexpr std::size_t kMaxPackLines = 256;

// Record flags of caption, hint and items records.
inline constexpr std::int32_t kTranslated = 0x20;
inline constexpr std::int32_t kShowHintFlag = 0x10;

// A packed program version: major << 24 | minor << 16 | release << 10 | build, each cut to
// its field width (8, 8, 6, 10 bits).
std::uint32_t PackVersion(int major, int minor, int release, int build);
// "major.minor.release.build".
std::string VersionText(std::uint32_t packed);
// The first four numbers of a version text ("1.0.0.1", "2,1,0,14"; other characters are
// skipped), packed.
std::uint32_t PackVersionText(const std::string& text);

// The header of a language pack, in record order.
struct TPackHeader {
    std::uint16_t LangId = 0;
    std::uint16_t Revision = kPackRevision;
    std::string Name, Banner, Info;
    std::vector<std::string> Notes;
    std::vector<std::uint8_t> Flag;       // a BMP file image; empty for none
    std::uint32_t TargetVersion = 0;      // revisions 1-4
    std::int32_t Rev2Integer = 0;         // revisions 2-4: read, written, not used
    std::string Rev2String1, Rev2String2; // revisions 2-4
    std::string InputMethod, FontName;    // revisions 1-4
    std::int32_t Charset = 1;             // revisions 1-4
    std::int32_t MinFontSize = 8;         // revision 4; 9 when read from 1-3
};

// One text record: its id (flags) and payload.
struct TPackText {
    std::int32_t Id = 0;
    std::string Text;
    bool Applies() const { return Id > 0 && (Id & kTranslated) != 0; }
};

// One component's entry. Revisions 1-4: Path, Alignment (3-4), Caption, Hint, Items.
// Revision 0: Kind (6-13) says which of Caption, Hint, Items follow; empty texts apply
// nothing.
struct TPackEntry {
    std::string Path;
    std::int32_t Kind = 0;      // revision 0 only
    std::int32_t Alignment = 0; // 0 nothing, 1 right, 2 left
    TPackText Caption, Hint, Items;
};

struct TPack {
    TPackHeader Header;
    std::vector<TPackEntry> Entries;
    // What reading cut or refused to keep within kMaxPackText and kMaxPackLines, one English
    // line each, naming the file.
    std::vector<std::string> Cuts;
};

// Revisions ReadPack takes: 0 to 4.
inline bool PackRevisionReadable(int revision) {
    return revision >= 0 && revision <= 4;
}

// A pack of a revision this program cannot read.
class EPackRevision : public Error {
public:
    explicit EPackRevision(const std::string& file)
        : Error("Format not supported in this revision: " + file) {}
};

// Reads a pack. Throws EPackRevision ("Format not supported in this revision: <file>") for a
// revision above 4, and a clear lv::Error naming the file for one that is missing, not a pack
// (wrong signature) or holds 5 records or fewer. An entry cut short by the end of the file is
// dropped. Texts beyond the bounds are cut, an entry whose path is longer than kMaxPackText is
// dropped; Cuts tells which. A text takes memory in proportion to its bound, not to its record.
TPack ReadPack(const std::string& file);
// Writes `pack` as a revision-4 file, replacing `file`. Throws lv::Error naming the file.
void WritePack(const std::string& file, const TPack& pack);

// A pack as the language list shows it: "Name - Info" for revision 0, "Name [1.2.0.5] - Info"
// from revision 1 on (texts cut as ReadPack cuts them), and its revision, which ReadPack may
// refuse.
struct TPackListing {
    std::string Display;
    int Revision = 0;
};
// Throws lv::Error naming the file and why it cannot be listed.
TPackListing ReadPackListing(const std::string& file);
// The display string; empty when the file cannot be listed.
std::string PackDisplayString(const std::string& file);
// The flag image of a pack (record 6); empty when the file is not a pack or has none.
std::vector<std::uint8_t> PackFlag(const std::string& file);

// Lines of a payload: CR LF, LF or CR end a line; a last line without end counts.
std::vector<std::string> SplitPackLines(const std::string& text);
std::string JoinPackLines(const std::vector<std::string>& lines); // CR LF between lines

} // namespace lv
