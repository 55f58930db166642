#include "Lang/LanguagePack.h"

#include "Lang/Storefile.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/RiffIO.h"

#include <filesystem>
#include <system_error>

namespace lv {

namespace {

// Header record ids as written; reading goes by position.
constexpr std::int32_t kIdLangId = 0;
constexpr std::int32_t kIdName = 1;
constexpr std::int32_t kIdBanner = 2;
constexpr std::int32_t kIdInfo = 3;
constexpr std::int32_t kIdNotes = 4;
constexpr std::int32_t kIdFlag = 5;
constexpr std::int32_t kIdTargetVersion = 512;
constexpr std::int32_t kIdInputMethod = 513;
constexpr std::int32_t kIdFontName = 514;
constexpr std::int32_t kIdCharset = 515;
constexpr std::int32_t kIdRev2Integer = 516;
constexpr std::int32_t kIdRev2String1 = 517;
constexpr std::int32_t kIdRev2String2 = 518;
constexpr std::int32_t kIdMinFontSize = 516;
constexpr std::int32_t kIdEntryName = 528;
constexpr std::int32_t kIdAlignment = 768;

constexpr int kHeaderRecords = 6; // a pack holds more than these

// Opens a pack for reading; false when it is missing or not a pack.
bool openPack(TStorefile& store, const std::string& file) {
    if (!FileExists(file))
        return false;
    store.Signature = kPackSignature;
    store.Filename = file;
    store.ReadOnly = true;
    return store.Open();
}

// Opens a pack for reading; throws lv::Error naming the file and why it is no pack.
void openPackOrThrow(TStorefile& store, const std::string& file) {
    if (!FileExists(file))
        throw Error("Language file not found: " + file);
    if (!openPack(store, file))
        throw Error("Not a language file: " + file);
    if (store.Count() < kHeaderRecords)
        throw Error("Language file holds too few records: " + file);
}

// Keeps at most `bytes` bytes of `text`, ending on a whole UTF-8 character: a longer text
// holds at least one byte more, where the next character's first byte is seen.
void cutText(std::string& text, std::size_t bytes) {
    if (text.size() <= bytes)
        return;
    std::size_t end = bytes;
    for (int back = 0; back < 3 && end > 0 && (std::uint8_t(text[end]) & 0xC0) == 0x80; ++back)
        --end;
    text.resize(end);
}

// The records of a pack in file order; each read fails at the end or a damaged record. Texts
// are read only up to their bounds; a cut is noted in `cuts` when given.
class TPackReader {
public:
    explicit TPackReader(TStorefile& store, std::vector<std::string>* cuts = nullptr)
        : m_store(store), m_cuts(cuts) {}

    // `what` names the text in the note of a cut.
    bool text(std::int32_t& id, std::string& value, const std::string& what = {}) {
        if (m_store.AtEnd())
            return false;
        if (bounded(id, value, kMaxPackText))
            note(what + " cut to " + std::to_string(kMaxPackText) + " bytes");
        return true;
    }
    bool text(std::string& value, const std::string& what = {}) {
        std::int32_t id;
        return text(id, value, what);
    }
    bool text(TPackText& value, const std::string& what) {
        return text(value.Id, value.Text, what);
    }
    // Lines joined by CR LF.
    bool lines(TPackText& value, const std::string& what) {
        if (m_store.AtEnd())
            return false;
        bool cut = bounded(value.Id, value.Text, kMaxPackLines * (kMaxPackText + 2));
        std::vector<std::string> lines = SplitPackLines(value.Text);
        if (lines.size() > kMaxPackLines) {
            lines.resize(kMaxPackLines);
            cut = true;
        }
        for (std::string& line : lines) {
            cut = cut || line.size() > kMaxPackText;
            cutText(line, kMaxPackText);
        }
        if (cut) {
            value.Text = JoinPackLines(lines);
            note(what + " cut to " + std::to_string(kMaxPackLines) + " lines of at most " +
                 std::to_string(kMaxPackText) + " bytes");
        }
        return true;
    }
    // An entry's component path; false for the end or a path too long to name a component.
    bool path(std::int32_t& id, std::string& value, bool& tooLong) {
        if (m_store.AtEnd())
            return false;
        tooLong = bounded(id, value, kMaxPackText);
        return true;
    }
    void note(const std::string& what) {
        if (m_cuts)
            m_cuts->push_back("Language file " + m_store.Filename + ": " + what);
    }
    bool integer(std::int32_t& value) {
        if (m_store.AtEnd())
            return false;
        m_store.ReadInteger(value, true);
        return true;
    }
    bool bytes(std::vector<std::uint8_t>& value) {
        if (m_store.AtEnd())
            return false;
        m_store.ReadRecord(value, -1, true);
        return true;
    }

private:
    // Reads the current record, at most `bytes` of its payload; true when there was more.
    bool bounded(std::int32_t& id, std::string& value, std::size_t bytes) {
        std::vector<std::uint8_t> data;
        id = m_store.ReadRecord(data, int(bytes) + 1, true);
        value.assign(data.begin(), data.end());
        cutText(value, bytes);
        return data.size() > bytes;
    }

    TStorefile& m_store;
    std::vector<std::string>* m_cuts;
};

// Revisions 1-4: name, alignment (3-4), caption, hint, items.
bool readEntry(TPackReader& in, int revision, TPackEntry& entry, bool& refused) {
    std::int32_t id;
    if (!in.path(id, entry.Path, refused))
        return false;
    if (revision >= 3 && !in.integer(entry.Alignment))
        return false;
    return in.text(entry.Caption, "caption of " + entry.Path) &&
           in.text(entry.Hint, "hint of " + entry.Path) &&
           in.lines(entry.Items, "items of " + entry.Path);
}

// Revision 0: the name record's id is the kind, which says what follows.
bool readOldEntry(TPackReader& in, TPackEntry& entry, bool& refused) {
    if (!in.path(entry.Kind, entry.Path, refused))
        return false;
    auto caption = [&] { return in.text(entry.Caption, "caption of " + entry.Path); };
    auto hint = [&] { return in.text(entry.Hint, "hint of " + entry.Path); };
    auto items = [&] { return in.lines(entry.Items, "items of " + entry.Path); };
    switch (entry.Kind) {
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 13:
        return caption() && hint();
    case 11:
        return caption() && hint() && items();
    case 12:
        return items();
    default:
        return true;
    }
}

// Entries until the end of the file; one cut short by the end is dropped, one with a path too
// long to name a component is refused.
template <typename ReadEntry>
void readEntries(TStorefile& store, TPackReader& in, TPack& pack, ReadEntry read) {
    while (!store.AtEnd()) {
        TPackEntry entry;
        bool refused = false;
        if (!read(entry, refused))
            break;
        if (refused)
            in.note("an entry whose name is longer than " + std::to_string(kMaxPackText) +
                    " bytes was refused");
        else
            pack.Entries.push_back(std::move(entry));
    }
}

} // namespace

std::uint32_t PackVersion(int major, int minor, int release, int build) {
    return std::uint32_t(major & 0xFF) << 24 | std::uint32_t(minor & 0xFF) << 16 |
           std::uint32_t(release & 0x3F) << 10 | std::uint32_t(build & 0x3FF);
}

std::string VersionText(std::uint32_t packed) {
    return std::to_string(packed >> 24) + "." + std::to_string(packed >> 16 & 0xFF) + "." +
           std::to_string(packed >> 10 & 0x3F) + "." + std::to_string(packed & 0x3FF);
}

std::uint32_t PackVersionText(const std::string& text) {
    int numbers[4] = {0, 0, 0, 0};
    int found = 0;
    int value = 0;
    for (std::size_t i = 0; i <= text.size() && found < 4; ++i) {
        const char c = i < text.size() ? text[i] : '.';
        if (c >= '0' && c <= '9') {
            // Cut to width anyway; stop growing long before an int overflows.
            value = (value * 10 + (c - '0')) % 1000000;
        } else if (c == '.' || c == ',') {
            numbers[found++] = value;
            value = 0;
        }
    }
    return PackVersion(numbers[0], numbers[1], numbers[2], numbers[3]);
}

TPack ReadPack(const std::string& file) {
    TStorefile store;
    openPackOrThrow(store, file);

    const Error damaged("Damaged language file: " + file);
    TPack pack;
    TPackHeader& h = pack.Header;
    TPackReader in(store, &pack.Cuts);

    std::vector<std::uint8_t> id;
    if (!in.bytes(id) || id.size() < 2)
        throw damaged;
    if (id.size() >= 4) {
        const std::uint32_t value = getLE32(id.data());
        h.LangId = std::uint16_t(value & 0xFFFF);
        h.Revision = std::uint16_t(value >> 16);
    } else {
        h.LangId = getLE16(id.data());
        h.Revision = 0;
    }
    TPackText notes;
    if (!in.text(h.Name, "the pack's name") || !in.text(h.Banner, "the pack's banner") ||
        !in.text(h.Info, "the pack's information") || !in.lines(notes, "the pack's notes") ||
        !in.bytes(h.Flag))
        throw damaged;
    h.Notes = SplitPackLines(notes.Text);

    if (h.Revision == 0) {
        readEntries(store, in, pack, [&](TPackEntry& entry, bool& refused) {
            return readOldEntry(in, entry, refused);
        });
        return pack;
    }
    if (!PackRevisionReadable(h.Revision))
        throw EPackRevision(file);

    std::int32_t target = 0;
    if (!in.integer(target))
        throw damaged;
    h.TargetVersion = std::uint32_t(target);
    if (h.Revision >= 2 &&
        (!in.integer(h.Rev2Integer) || !in.text(h.Rev2String1, "a header text") ||
         !in.text(h.Rev2String2, "a header text")))
        throw damaged;
    if (!in.text(h.InputMethod, "the input method's name") ||
        !in.text(h.FontName, "the font's name") || !in.integer(h.Charset))
        throw damaged;
    h.Charset &= 0xFF;
    h.MinFontSize = 9;
    if (h.Revision == 4 && !in.integer(h.MinFontSize))
        throw damaged;

    readEntries(store, in, pack, [&](TPackEntry& entry, bool& refused) {
        return readEntry(in, h.Revision, entry, refused);
    });
    return pack;
}

void WritePack(const std::string& file, const TPack& pack) {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::u8path(file), ec);
    TStorefile store;
    store.Signature = kPackSignature;
    store.Filename = file;
    if (!store.Open() || store.Count() != 0)
        throw Error("Could not create the language file " + file);

    auto check = [&](int count) {
        if (count == 0)
            throw Error("Could not write the language file " + file);
    };
    const TPackHeader& h = pack.Header;
    check(store.AppendInteger(
        kIdLangId, std::int32_t(std::uint32_t(h.LangId) | std::uint32_t(kPackRevision) << 16)));
    check(store.AppendString(kIdName, h.Name));
    check(store.AppendString(kIdBanner, h.Banner));
    check(store.AppendString(kIdInfo, h.Info));
    check(store.AppendString(kIdNotes, JoinPackLines(h.Notes)));
    check(store.AppendRecord(kIdFlag, h.Flag));
    check(store.AppendInteger(kIdTargetVersion, std::int32_t(h.TargetVersion)));
    check(store.AppendInteger(kIdRev2Integer, h.Rev2Integer));
    check(store.AppendString(kIdRev2String1, h.Rev2String1));
    check(store.AppendString(kIdRev2String2, h.Rev2String2));
    check(store.AppendString(kIdInputMethod, h.InputMethod));
    check(store.AppendString(kIdFontName, h.FontName));
    check(store.AppendInteger(kIdCharset, h.Charset));
    check(store.AppendInteger(kIdMinFontSize, h.MinFontSize));

    for (const TPackEntry& e : pack.Entries) {
        const int texts =
            int(!e.Caption.Text.empty()) + int(!e.Hint.Text.empty()) + int(!e.Items.Text.empty());
        check(store.AppendString(kIdEntryName + texts, e.Path));
        check(store.AppendInteger(kIdAlignment, e.Alignment));
        check(store.AppendString(e.Caption.Id, e.Caption.Text));
        check(store.AppendString(e.Hint.Id, e.Hint.Text));
        check(store.AppendString(e.Items.Id, e.Items.Text));
    }
    store.Close();
}

TPackListing ReadPackListing(const std::string& file) {
    TStorefile store;
    openPackOrThrow(store, file);
    const Error damaged("Damaged language file: " + file);
    TPackReader in(store);
    std::int32_t id = 0;
    std::string name, banner, info;
    if (!in.integer(id) || !in.text(name) || !in.text(banner) || !in.text(info))
        throw damaged;
    TPackListing listing;
    listing.Revision = int(std::uint32_t(id) >> 16);
    if (listing.Revision == 0) {
        listing.Display = name + " - " + info;
        return listing;
    }
    store.Next();
    store.Next();
    std::int32_t version = 0;
    if (!in.integer(version))
        throw damaged;
    listing.Display = name + " [" + VersionText(std::uint32_t(version)) + "] - " + info;
    return listing;
}

std::string PackDisplayString(const std::string& file) {
    try {
        return ReadPackListing(file).Display;
    } catch (const Error&) {
        return {};
    }
}

std::vector<std::uint8_t> PackFlag(const std::string& file) {
    TStorefile store;
    std::vector<std::uint8_t> flag;
    if (!openPack(store, file) || store.Count() < kHeaderRecords)
        return flag;
    for (int i = 0; i < kHeaderRecords - 1; ++i)
        store.Next();
    if (store.Index() == kHeaderRecords - 1 && !store.AtEnd())
        store.ReadRecord(flag, -1, false);
    return flag;
}

std::vector<std::string> SplitPackLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string JoinPackLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

} // namespace lv
