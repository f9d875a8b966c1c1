#pragma once

#include "gate/yieldreport.h"

#include <QSize>
#include <QString>

// The picture of hvtk-check --report --chart: "First-pass yield" and "Final
// yield" of each day (all models together) as bars, 0 to 100 %. Drawn with
// Qt Charts, which needs a QApplication; it draws offscreen as well.
namespace YieldChart {

constexpr QSize Size(960, 540);

// Writes the PNG to `path`; false with why in `error`.
bool write(const YieldReport::Report &report, const QString &path, QString *error);

} // namespace YieldChart
