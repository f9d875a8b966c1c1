#pragma once

#include "watch/proberesult.h"

#include <QString>

// The check's answer to Icinga or Nagios, as the Monitoring Plugins
// development guidelines have it: one line "HVTK STATE - what" naming the
// worst condition first, performance data after "|", and the exit code.
namespace CheckLine {

enum ExitCode { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

struct Answer
{
    QString line; // without the line feed
    int exitCode = Unknown;
};

// The answer for one probe: its service state, its conditions, the unit's
// address, model and name, and the elapsed time and the unit's counters as
// performance data. `timeoutSeconds` is what a unit that did not answer was
// given.
Answer forProbe(const ProbeResult &probe, double timeoutSeconds);

// "HVTK UNKNOWN - why", exit code 3: the check could not be made (a usage
// error, a socket that cannot be opened).
Answer unknown(const QString &why);

} // namespace CheckLine
