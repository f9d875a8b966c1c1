// hvtk-watch: units in service in the monitoring a site runs. See --help.
#include "commission/planload.h"
#include "fleet/commandlinefront.h"
#include "fleet/fleetoptions.h"
#include "fleet/programoutput.h"
#include "fleet/stopsignals.h"
#include "programversion.h"
#include "watch/checkline.h"
#include "watch/exporter.h"
#include "watch/scrapetargets.h"
#include "watch/watchoptions.h"
#include "watch/watchservice.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

using ProgramOutput::printError;
using ProgramOutput::printOut;

void printCheck(const CheckLine::Answer &answer)
{
    printOut(answer.line.toUtf8() + '\n');
}

int printTargets(const QString &path)
{
    const PlanLoad::Loaded loaded = PlanLoad::fromFile(path);
    if (loaded.status != 0) {
        fwrite(loaded.errorText.constData(), 1, size_t(loaded.errorText.size()), stderr);
        return loaded.status;
    }
    printOut(ScrapeTargets::fileSdDocument(loaded.units));
    return 0;
}

int check(const WatchOptions &options)
{
    WatchService service;
    QByteArray planErrors;
    if (!options.plan.isEmpty() && service.loadPlan(options.plan, &planErrors) != 0) {
        fwrite(planErrors.constData(), 1, size_t(planErrors.size()), stderr);
        const QString first = QString::fromUtf8(planErrors).section(QLatin1Char('\n'), 0, 0);
        printCheck(CheckLine::unknown(first));
        return CheckLine::Unknown;
    }
    QString error;
    if (!options.log.isEmpty() && !service.openLog(options.log, &error)) {
        printCheck(CheckLine::unknown(QStringLiteral("%1: %2").arg(options.log, error)));
        return CheckLine::Unknown;
    }
    int exitCode = CheckLine::Unknown;
    const double timeoutSeconds = options.checkTimeoutMs / 1000.0;
    const bool started = service.probe(options.host, options.checkTimeoutMs, [&](const ProbeResult &result) {
        const CheckLine::Answer answer = CheckLine::forProbe(result, timeoutSeconds);
        printCheck(answer);
        exitCode = answer.exitCode;
        QCoreApplication::quit();
    }, &error);
    if (!started) {
        printCheck(CheckLine::unknown(error));
        return CheckLine::Unknown;
    }
    QCoreApplication::exec();
    return exitCode;
}

int serve(const WatchOptions &options)
{
    WatchService service;
    QByteArray planErrors;
    if (!options.plan.isEmpty()) {
        const int status = service.loadPlan(options.plan, &planErrors);
        if (status != 0) {
            fwrite(planErrors.constData(), 1, size_t(planErrors.size()), stderr);
            return status;
        }
    }
    QString error;
    if (!options.log.isEmpty() && !service.openLog(options.log, &error)) {
        printError(QStringLiteral("%1: %2").arg(options.log, error));
        return FleetCommandLine::RecordFailure;
    }
    StopSignals stopSignals(nullptr, StopSignals::Hangup::Catch);
    QObject::connect(&stopSignals, &StopSignals::stopRequested, QCoreApplication::instance(), &QCoreApplication::quit);
    QObject::connect(&stopSignals, &StopSignals::hangup, &service, [&service] {
        QByteArray errors;
        if (!service.hasPlan())
            return;
        if (service.reloadPlan(&errors) == 0) {
            printError(QStringLiteral("plan read again"));
            return;
        }
        printError(QStringLiteral("the plan has errors; the one read before stays:"));
        fwrite(errors.constData(), 1, size_t(errors.size()), stderr);
    });
    Exporter exporter(&service);
    if (!exporter.listen(options.listenAddress, options.listenPort, &error)) {
        printError(error);
        return FleetCommandLine::SocketFailure;
    }
    QCoreApplication::exec();
    exporter.stop();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hvtk-watch"));
    QCoreApplication::setApplicationVersion(QLatin1String(ProgramVersion));

    const QStringList arguments = QCoreApplication::arguments();
    const CommandLineFront::Parsed<WatchOptions> line = WatchCommandLine::parse(arguments);
    if (line.outcome == CommandLineFront::Outcome::UsageError && WatchCommandLine::asksForCheck(arguments)) {
        printCheck(CheckLine::unknown(line.error));
        return CheckLine::Unknown;
    }
    if (line.outcome != CommandLineFront::Outcome::Run)
        return CommandLineFront::answer(WatchCommandLine::program(), line.outcome, line.error);

    switch (line.options.mode) {
    case WatchOptions::Mode::Targets:
        return printTargets(line.options.plan);
    case WatchOptions::Mode::Check:
        return check(line.options);
    case WatchOptions::Mode::Exporter:
        break;
    }
    return serve(line.options);
}
