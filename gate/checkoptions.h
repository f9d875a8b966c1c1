#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// What hvtk-check was asked to do.
struct CheckOptions
{
    QList<QHostAddress> units;         // named on the command line, in that order
    bool discover = false;             // also check every unit that answers a broadcast
    quint32 mask = 0xFFFFFF00u;        // discovery mask; 0 means the global broadcast
    int timeoutMs = 5000;              // per unit
    bool json = false;
    QString recordFile;                // empty: no record
    int assembly = 10;                 // index of the assembly list; 10, "UNKNOWN": the model each unit reports
};

struct CommandLine
{
    enum Outcome { Run, ShowHelp, ShowVersion, UsageError };
    Outcome outcome = UsageError;
    CheckOptions options;
    QString error; // one line, for UsageError
};

namespace CheckCommandLine {

// `arguments` includes the program name first, as QCoreApplication::arguments().
CommandLine parse(const QStringList &arguments);

// The whole --help text.
QString helpText();

// Exit statuses.
constexpr int AllReady = 0;
constexpr int NotReady = 1;
constexpr int NoAnswer = 2;
constexpr int Usage = 64;
constexpr int SocketFailure = 71;
constexpr int RecordFailure = 74;

} // namespace CheckCommandLine
