#include "app/desktopfonts.h"

#include <QApplication>

namespace DesktopFonts {

namespace {

// "Pioneer Command:" in its 91 px is the tightest fit: 86 px at 9 px, 95 px at 10 px.
constexpr int WindowFontPixels = 9;

} // namespace

QFont windowFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(WindowFontPixels);
    return font;
}

void use()
{
    QFont::insertSubstitution(QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"));
    // The application's font, not one set on the window: a font set on a
    // widget does not reach its children that have a style sheet, and the
    // indicators and the details report get theirs in the constructor.
    QApplication::setFont(windowFont());
}

} // namespace DesktopFonts
