#pragma once

#include "monitor/iopanel.h"

#include <QString>

class QLabel;

// Paints an indicator of the I/O panel in `colour` and says in its tool tip
// and accessible name what it now shows ("LED 3: red", "Input 2: active"),
// so that a technician who cannot tell red from lime, and a screen reader,
// can read the panel. `number` counts inputs, LEDs and DIP switches from 1.
// Only what changed is applied: a new style sheet re-polishes the label even
// when its text is the same, and a status reply comes every 300 ms.
void paintIndicator(QLabel *indicator, const QString &colour, IoPanel::Indicator kind, int number = 0);
