#pragma once

#include <QJsonArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTextStream>

// What the benchmarks that run a command-line program over simulated units
// share: their output, the workstation's address, the simulator, and one
// timed run of the program with its JSON document of units.
namespace BenchProcess {

QTextStream &out();

// The first IPv4 address that is not loopback, 0 when there is none.
quint32 workstation();

// Starts hvtk-unit-sim with the units of `unitsFile`; false when not all started.
bool startSimulator(QProcess &simulator, const QString &simulatorProgram, const QString &unitsFile, int count);

struct TimedRun
{
    bool finished = false;
    qint64 wallMs = 0;
    double cpuSeconds = 0;
    int exitCode = -1;
    QJsonArray units; // the "units" of the program's --json document
    qint64 medianUnitMs = 0;
    qint64 slowestUnitMs = 0;
};

// Runs `program` to its end (at most `timeoutMs`), timing wall clock and CPU.
TimedRun runTimed(const QString &program, const QStringList &arguments, int timeoutMs);

} // namespace BenchProcess
