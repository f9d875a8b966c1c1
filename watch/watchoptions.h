#pragma once

#include "fleet/commandlinefront.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

// What hvtk-watch is asked on its command line: to serve Prometheus, to
// check one unit for Icinga or Nagios, or to print the plan's scrape targets.
struct WatchOptions
{
    enum class Mode { Exporter, Check, Targets };

    Mode mode = Mode::Exporter;
    QHostAddress listenAddress; // --listen
    quint16 listenPort = 0;
    QHostAddress host;          // --check -H
    int checkTimeoutMs = 10000; // --check -t
    QString plan;               // --plan, or the plan of --targets
    QString log;                // --log
};

namespace WatchCommandLine {

// Monitoring plugins end with these and nothing else.
constexpr int CheckUnknown = 3;

CommandLineFront::Program program();
CommandLineFront::Parsed<WatchOptions> parse(const QStringList &arguments);
// The command line asks for the check: its usage errors are the check's UNKNOWN.
bool asksForCheck(const QStringList &arguments);

} // namespace WatchCommandLine
