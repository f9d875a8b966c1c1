#pragma once

#include <QFont>

// The fonts of the window on a Linux desktop. The form places every widget in
// fixed pixels, so the font that its widgets inherit is sized in pixels too: a
// point size grows with the screen's resolution and would cut the texts. The
// fonts that the form names for single widgets stay as they are.
namespace DesktopFonts {

// DejaVu Sans (package fonts-dejavu-core, on every Debian desktop) at the
// largest pixel size at which every caption, button text and the whole
// details report fit their widgets.
QFont windowFont();

// Makes windowFont() the font that the window and all its widgets inherit,
// and lets DejaVu Sans Mono stand in for Consolas, the detected-unit list's
// font, which Debian does not have, so addresses and versions line up in
// columns. Call before the window is built.
void use();

} // namespace DesktopFonts
