#include "support/programrun.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

ProgramRun runProgram(const QString &program, const QStringList &arguments, int waitMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < waitMs)
        QTest::qWait(10);
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}
