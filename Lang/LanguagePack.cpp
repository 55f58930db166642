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

// The records of a pack in file order; each read fails at the end or a damaged record.
class TPackReader {
public:
    explicit TPackReader(TStorefile& store) : m_store(store) {}

    bool text(std::int32_t& id, std::string& value) {
        if (m_store.AtEnd())
            return false;
        id = m_store.ReadString(value, true);
        return true;
    }
    bool text(std::string& value) {
        std::int32_t id;
        return text(id, value);
    }
    bool text(TPackText& value) { return text(value.Id, value.Text); }
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
    TStorefile& m_store;
};

// Revisions 1-4: name, alignment (3-4), caption, hint, items.
bool readEntry(TPackReader& in, int revision, TPackEntry& entry) {
    if (!in.text(entry.Path))
        return false;
    if (revision >= 3 && !in.integer(entry.Alignment))
        return false;
    return in.text(entry.Caption) && in.text(entry.Hint) && in.text(entry.Items);
}

// Revision 0: the name record's id is the kind, which says what follows.
bool readOldEntry(TPackReader& in, TPackEntry& entry) {
    if (!in.text(entry.Kind, entry.Path))
        return false;
    switch (entry.Kind) {
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 13:
        return in.text(entry.Caption) && in.text(entry.Hint);
    case 11:
        return in.text(entry.Caption) && in.text(entry.Hint) && in.text(entry.Items);
    case 12:
        return in.text(entry.Items);
    default:
        return true;
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
    if (!FileExists(file))
        throw Error("Language file not found: " + file);
    TStorefile store;
    if (!openPack(store, file))
        throw Error("Not a language file: " + file);
    if (store.Count() <= kHeaderRecords - 1)
        throw Error("Language file holds too few records: " + file);

    const Error damaged("Damaged language file: " + file);
    TPack pack;
    TPackHeader& h = pack.Header;
    TPackReader in(store);

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
    std::string notes;
    if (!in.text(h.Name) || !in.text(h.Banner) || !in.text(h.Info) || !in.text(notes) ||
        !in.bytes(h.Flag))
        throw damaged;
    h.Notes = SplitPackLines(notes);

    if (h.Revision == 0) {
        while (!store.AtEnd()) {
            TPackEntry entry;
            if (!readOldEntry(in, entry))
                break;
            pack.Entries.push_back(std::move(entry));
        }
        return pack;
    }
    if (h.Revision > 4)
        throw EPackRevision();

    std::int32_t target = 0;
    if (!in.integer(target))
        throw damaged;
    h.TargetVersion = std::uint32_t(target);
    if (h.Revision >= 2 &&
        (!in.integer(h.Rev2Integer) || !in.text(h.Rev2String1) || !in.text(h.Rev2String2)))
        throw damaged;
    if (!in.text(h.InputMethod) || !in.text(h.FontName) || !in.integer(h.Charset))
        throw damaged;
    h.Charset &= 0xFF;
    h.MinFontSize = 9;
    if (h.Revision == 4 && !in.integer(h.MinFontSize))
        throw damaged;

    while (!store.AtEnd()) {
        TPackEntry entry;
        if (!readEntry(in, h.Revision, entry))
            break;
        pack.Entries.push_back(std::move(entry));
    }
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

std::string PackDisplayString(const std::string& file) {
    TStorefile store;
    if (!openPack(store, file) || store.Count() < kHeaderRecords)
        return {};
    TPackReader in(store);
    std::int32_t id = 0;
    std::string name, banner, info;
    if (!in.integer(id) || !in.text(name) || !in.text(banner) || !in.text(info))
        return {};
    if (std::uint32_t(id) < 0x10000)
        return name + " - " + info;
    store.Next();
    store.Next();
    std::int32_t version = 0;
    if (!in.integer(version))
        return {};
    return name + " [" + VersionText(std::uint32_t(version)) + "] - " + info;
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
