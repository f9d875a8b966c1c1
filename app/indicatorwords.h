#pragma once

class QWidget;

// Tool tips and accessible names for the I/O panel's indicators that say what
// each one shows ("LED 3: red", "Input 2: active", "DIP switch 3: on"), so a
// technician who cannot tell red from lime, and a screen reader, can read the
// panel. They follow every repaint of an indicator, whoever paints it; the
// look of the panel does not change.
namespace IndicatorWords {

// Starts following the indicators of `window`, a window built from the form.
void follow(QWidget &window);

} // namespace IndicatorWords
