#pragma once

#include <QIcon>

namespace lv {

// The program's pictures, drawn by the program itself. The side panel: a gear, a question
// mark and an information sign; the done dialog: play, disc, DVD and folder.
QIcon SettingsIcon();
QIcon HelpIcon();
QIcon AboutIcon();
QIcon PlayIcon();
QIcon BurnIcon();
QIcon DvdIcon();
QIcon FolderIcon();

} // namespace lv
