#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// What a command-line program left behind: its exit status and its output.
struct ProgramRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs `program` while this thread's event loop goes on (the window and the
// simulator keep working), calling `whileRunning` every `tickMs` meanwhile;
// exit status -1 when it did not start, did not end within `waitMs` or crashed.
ProgramRun runProgram(const QString &program, const QStringList &arguments, int waitMs,
                      const std::function<void()> &whileRunning = {}, int tickMs = 10);
