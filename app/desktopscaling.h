#pragma once

// The window on a scaled desktop. The form places every widget in fixed
// pixels; on a screen of more than 96 DPI (Xft.dpi 120, 144, 192 for a
// desktop at 125, 150, 200 %) the whole window scales with the desktop, its
// texts and point-sized fonts in proportion, rather than shrinking to a
// quarter of the screen.
namespace DesktopScaling {

// Scale by the screen's resolution over 96 DPI, unrounded (1.25, 1.5, 2), as
// Qt 6 always does. QT_SCALE_FACTOR and QT_SCREEN_SCALE_FACTORS set by the
// desktop or the user still apply. Call before the application object.
void follow();

} // namespace DesktopScaling
