#pragma once

#include "monitor/unitstatus.h"

#include <QString>

#include <array>

// The details report: the HTML table of what the selected unit reported, and
// the text of the version label in the status bar. Text that the unit sends
// (names, image product, chip model) is escaped before it enters the HTML.
namespace DetailsReport {

struct Options
{
    bool ultimoXModel = false; // the accepted assembly is UltimoX-class
    bool privateMode = false;  // adds the power-cycle counter row
    QString rowPrefix;         // opening of a row whose value needs attention
};

// The whole table for a status reply with a complete binary block.
QString fullReport(const UnitStatus &status, const Options &options);

// The one-row table for a reply whose binary block was too short to decode.
QString shortBlockReport(int blockLength, const QString &rowPrefix);

// The status-bar version text: the reply's header without line breaks and,
// for a complete reply, "  BL v<major>.<minor>.<patch>" after it. Plain text.
QString versionText(const QString &header);
QString versionText(const QString &header, const std::array<quint8, 3> &bootloaderVersion);

// "30s", or "0s (disabled)" for a timer of 0 seconds.
QString timerText(quint16 seconds);

} // namespace DetailsReport
