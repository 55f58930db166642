#pragma once

#include <QIcon>

namespace lv {

// The side panel's pictures, drawn by the program itself: a gear, a question mark and an
// information sign.
QIcon SettingsIcon();
QIcon HelpIcon();
QIcon AboutIcon();

} // namespace lv
