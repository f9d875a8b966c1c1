#include "support/programrun.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

ProgramRun runProgram(const QString &program, const QStringList &arguments, int waitMs,
                      const std::function<void()> &whileRunning, int tickMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < waitMs) {
        if (whileRunning)
            whileRunning();
        QTest::qWait(tickMs);
    }
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}
