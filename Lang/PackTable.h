#pragma once

#include "Lang/LanguagePack.h"

#include <string>
#include <vector>

namespace lv {

// A language pack as a plain text table, so that translators never edit binary files.
// UTF-8, one line a record, fields separated by TAB; "\n", "\t" and "\\" stand for a line
// break, a TAB and a backslash inside a field; lines starting with '#' are comments.
//   @langid <TAB> 040C                        header fields: langid (hex), name, banner,
//   @name <TAB> Français                      info, notes, flag, target (a.b.c.d), font,
//   ...                                       charset, minfont
//   @flag <TAB> vertical #002395 #FFFFFF #ED2939    stripes (vertical or horizontal) or
//                                                   "cross BACKGROUND CROSS", drawn 42 x 28,
//                                                   or "bmp <base64>" (a pack's own picture)
//   MainDlg.photo_grp <TAB> caption <TAB> Photos <TAB> Photos
//   path <TAB> field <TAB> English <TAB> translation
// Fields are caption, hint (hint+show for a hint shown as a tool tip) and items (lines
// joined by "\n"). A row without translation shows the English.

struct TTableRow {
    std::string Path, Field, English, Translation;
};

struct TPackTable {
    TPackHeader Header;
    std::string FlagSpec; // as in the table; empty for none
    std::vector<TTableRow> Rows;
};

// Rows for every text of `english` (a template), with the translations of `translated`
// (a pack; records marked translated) where it has the same path and field.
TPackTable TableFromPacks(const TPack& english, const TPack* translated);
// The pack a table stands for: every row marked translated (the English where the table has
// no translation), the flag drawn from its pattern.
TPack PackFromTable(const TPackTable& table);

// Text form. ParseTable throws lv::Error with the line number for a line it cannot read.
std::string FormatTable(const TPackTable& table);
TPackTable ParseTable(const std::string& text);

// A flag from its pattern, as a BMP file image; throws lv::Error for a pattern it cannot draw.
std::vector<std::uint8_t> DrawFlag(const std::string& pattern);

} // namespace lv
