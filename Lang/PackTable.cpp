#include "Lang/PackTable.h"

#include "platform/Errors.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <map>
#include <sstream>

namespace lv {

namespace {

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            continue; // lines are joined by "\n" in the table, by CR LF in the pack
        else
            out += c;
    }
    return out;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
    return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

std::string joinTableLines(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i)
        out += (i ? "\n" : "") + lines[i];
    return out;
}

// A pack's items text (CR LF between lines) as the table writes it, and back.
std::string itemsToTable(const std::string& text) {
    return escape(joinTableLines(SplitPackLines(text)));
}

// Lines of the table ("\n") or of a pack (CR LF) as a pack holds them.
std::string fromTableItems(const std::string& text) {
    return JoinPackLines(SplitPackLines(text));
}

struct Field {
    const char* name;
    TPackText TPackEntry::*text;
};

const Field kFields[] = {
    {"caption", &TPackEntry::Caption}, {"hint", &TPackEntry::Hint}, {"items", &TPackEntry::Items}};

std::string fieldName(const Field& f, const TPackText& t) {
    if (f.text == &TPackEntry::Hint && (t.Id & kShowHintFlag))
        return "hint+show";
    return f.name;
}

} // namespace

TPackTable TableFromPacks(const TPack& english, const TPack* translated) {
    TPackTable table;
    table.Header = translated ? translated->Header : english.Header;
    table.Header.TargetVersion = english.Header.TargetVersion; // made for this program
    if (translated && !translated->Header.Flag.empty()) {
        const QByteArray bmp(reinterpret_cast<const char*>(translated->Header.Flag.data()),
                             qsizetype(translated->Header.Flag.size()));
        table.FlagSpec = "bmp " + bmp.toBase64().toStdString();
    }
    std::map<std::pair<std::string, std::string>, std::string> translations;
    if (translated)
        for (const TPackEntry& e : translated->Entries)
            for (const Field& f : kFields)
                if ((e.*f.text).Applies())
                    translations[{QString::fromStdString(e.Path).toLower().toStdString(), f.name}] =
                        (e.*f.text).Text;
    for (const TPackEntry& e : english.Entries)
        for (const Field& f : kFields) {
            const TPackText& t = e.*f.text;
            if (t.Id == 0)
                continue;
            TTableRow row{e.Path, fieldName(f, t), t.Text, {}};
            const auto found =
                translations.find({QString::fromStdString(e.Path).toLower().toStdString(), f.name});
            if (found != translations.end())
                row.Translation = found->second;
            table.Rows.push_back(std::move(row));
        }
    return table;
}

TPack PackFromTable(const TPackTable& table) {
    TPack pack;
    pack.Header = table.Header;
    pack.Header.Revision = kPackRevision;
    if (!table.FlagSpec.empty())
        pack.Header.Flag = DrawFlag(table.FlagSpec);
    std::map<std::string, std::size_t> entryOf;
    for (const TTableRow& row : table.Rows) {
        auto [it, added] = entryOf.emplace(row.Path, pack.Entries.size());
        if (added) {
            pack.Entries.emplace_back();
            pack.Entries.back().Path = row.Path;
        }
        TPackEntry& entry = pack.Entries[it->second];
        // A row without translation carries the English, marked: switching from another
        // language must not leave that language's text on screen.
        const std::string& text = row.Translation.empty() ? row.English : row.Translation;
        if (row.Field == "caption")
            entry.Caption = {1 | kTranslated, text};
        else if (row.Field == "hint" || row.Field == "hint+show")
            entry.Hint = {(row.Field == "hint" ? 2 : 18) | kTranslated, text};
        else if (row.Field == "items")
            entry.Items = {3 | kTranslated, fromTableItems(text)};
        else
            throw Error("Unknown field \"" + row.Field + "\" of " + row.Path);
    }
    return pack;
}

std::string FormatTable(const TPackTable& table) {
    const TPackHeader& h = table.Header;
    std::ostringstream out;
    char langId[8];
    std::snprintf(langId, sizeof langId, "%04X", unsigned(h.LangId));
    std::vector<std::string> notes = h.Notes;
    out << "# Lumivane language table: path, field, English, translation (TAB separated;\n"
           "# an empty translation keeps the English). Build it with lumivane-lang build.\n";
    out << "@langid\t" << langId << "\n@name\t" << escape(h.Name) << "\n@banner\t"
        << escape(h.Banner) << "\n@info\t" << escape(h.Info) << "\n@notes\t"
        << escape(joinTableLines(notes)) << "\n@flag\t" << table.FlagSpec << "\n@target\t"
        << VersionText(h.TargetVersion) << "\n@font\t" << escape(h.FontName) << "\n@charset\t"
        << h.Charset << "\n@minfont\t" << h.MinFontSize << "\n";
    for (const TTableRow& row : table.Rows) {
        const bool items = row.Field == "items";
        out << escape(row.Path) << '\t' << row.Field << '\t'
            << (items ? itemsToTable(row.English) : escape(row.English)) << '\t'
            << (items ? itemsToTable(row.Translation) : escape(row.Translation)) << '\n';
    }
    return out.str();
}

TPackTable ParseTable(const std::string& text) {
    TPackTable table;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) {
        throw Error("Line " + std::to_string(number) + " of the table: " + why);
    };
    auto toInt = [&](const std::string& s, int base) {
        try {
            std::size_t used = 0;
            const long v = std::stol(s, &used, base);
            if (used != s.size())
                fail("not a number: " + s);
            return int(v);
        } catch (const std::logic_error&) {
            fail("not a number: " + s);
        }
        return 0;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const auto f = splitTabs(line);
        if (line[0] == '@') {
            if (f.size() != 2)
                fail("a header field needs one value");
            const std::string& key = f[0];
            const std::string value = unescape(f[1]);
            TPackHeader& h = table.Header;
            if (key == "@langid")
                h.LangId = std::uint16_t(toInt(value, 16));
            else if (key == "@name")
                h.Name = value;
            else if (key == "@banner")
                h.Banner = value;
            else if (key == "@info")
                h.Info = value;
            else if (key == "@notes")
                h.Notes = value.empty() ? std::vector<std::string>{}
                                        : SplitPackLines(fromTableItems(value));
            else if (key == "@flag")
                table.FlagSpec = value;
            else if (key == "@target")
                h.TargetVersion = PackVersionText(value);
            else if (key == "@font")
                h.FontName = value;
            else if (key == "@charset")
                h.Charset = toInt(value, 10);
            else if (key == "@minfont")
                h.MinFontSize = toInt(value, 10);
            else
                fail("unknown header field " + key);
            continue;
        }
        if (f.size() != 4)
            fail("a row needs path, field, English and translation");
        table.Rows.push_back({unescape(f[0]), f[1], unescape(f[2]), unescape(f[3])});
    }
    return table;
}

std::vector<std::uint8_t> DrawFlag(const std::string& pattern) {
    if (pattern.rfind("bmp ", 0) == 0) {
        // A pack's own picture, carried through its table.
        const QByteArray bmp = QByteArray::fromBase64(QByteArray::fromStdString(pattern.substr(4)));
        if (bmp.isEmpty() || QImage::fromData(bmp, "BMP").isNull())
            throw Error("The flag of the table is not a BMP picture");
        return std::vector<std::uint8_t>(bmp.begin(), bmp.end());
    }
    const QStringList words = QString::fromStdString(pattern).split(' ', Qt::SkipEmptyParts);
    if (words.size() < 3)
        throw Error("Cannot draw the flag \"" + pattern + "\"");
    std::vector<QColor> colours;
    for (int i = 1; i < words.size(); ++i) {
        QColor c(words[i]);
        if (!c.isValid())
            throw Error("Not a colour in the flag \"" + pattern + "\": " + words[i].toStdString());
        colours.push_back(c);
    }
    const int w = 42, h = 28;
    QImage flag(w, h, QImage::Format_RGB32);
    QPainter p(&flag);
    const QString kind = words[0];
    const int n = int(colours.size());
    if (kind == "vertical") {
        for (int i = 0; i < n; ++i)
            p.fillRect(QRect(i * w / n, 0, (i + 1) * w / n - i * w / n, h), colours[i]);
    } else if (kind == "horizontal") {
        for (int i = 0; i < n; ++i)
            p.fillRect(QRect(0, i * h / n, w, (i + 1) * h / n - i * h / n), colours[i]);
    } else if (kind == "cross" && n == 2) {
        p.fillRect(flag.rect(), colours[0]);
        p.fillRect(QRect(0, h / 2 - 3, w, 6), colours[1]);
        p.fillRect(QRect(w / 2 - 3, 0, 6, h), colours[1]);
    } else {
        throw Error("Cannot draw the flag \"" + pattern + "\"");
    }
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    flag.save(&buffer, "BMP");
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

} // namespace lv
