// hvtk-commission: gives a whole site its network identities from one plan. See --help.
#include "commission/commissionoptions.h"
#include "commission/commissionreport.h"
#include "commission/commissionunit.h"
#include "commission/planload.h"
#include "commission/planvalidator.h"
#include "commission/siterecord.h"
#include "commission/siterun.h"
#include "fleet/programoutput.h"
#include "fleet/recordfile.h"
#include "fleet/stopsignals.h"
#include "programversion.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

using ProgramOutput::printError;
using ProgramOutput::printOut;

// The plan's rows, or the exit status when it cannot be used.
int readPlan(const QString &path, QList<PlannedUnit> *plan)
{
    const PlanLoad::Loaded loaded = PlanLoad::fromFile(path);
    PlanLoad::printErrors(loaded);
    *plan = loaded.units;
    return loaded.status;
}

// The units run `options.revertRun` of the record pushed to, planned back to
// their fields before it; the units are named where they were found and
// where they were to go. The exit status when it cannot be used.
int readRevert(CommissionOptions *options, QList<PlannedUnit> *plan, QList<SiteRecord::Pushed> *reverting)
{
    QFile file(options->revertRecord);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("%1: %2").arg(options->revertRecord, file.errorString()));
        return CommissionCommandLine::PlanUnreadable;
    }
    const SiteRecord::Revert revert = SiteRecord::pushedBy(file.readAll(), options->revertRun);
    if (!revert.error.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(options->revertRecord, revert.error));
        return CommissionCommandLine::PlanInvalid;
    }
    options->revertRun = revert.run;
    *reverting = revert.units;
    for (const SiteRecord::Pushed &pushed : revert.units) {
        *plan << PlannedUnit{pushed.line, pushed.before};
        for (const QHostAddress &address : {pushed.foundAddress, QHostAddress(pushed.planned.controlIp)}) {
            if (!address.isNull() && !options->units.contains(address))
                options->units << address;
        }
    }
    return CommissionCommandLine::Done;
}

RunName runName(const CommissionOptions &options)
{
    RunName name;
    name.id = RunName::newId();
    name.mode = !options.revertRecord.isEmpty() ? QStringLiteral("revert")
                : options.apply                 ? QStringLiteral("apply")
                                                : QStringLiteral("dry-run");
    name.plan = options.revertRecord.isEmpty() ? options.planFile : options.revertRecord;
    name.planSha256 = RunName::fileSha256(name.plan);
    name.version = QCoreApplication::applicationVersion();
    name.station = options.station.isEmpty() ? QHostInfo::localHostName() : options.station;
    return name;
}

// The template to standard output, or to `path` only when a unit answered.
int writeTemplate(const SiteRun &run, const QString &path)
{
    const QByteArray text = run.templateText();
    const int status = run.foundCount() > 0 ? CommissionCommandLine::Done : CommissionCommandLine::NotFound;
    if (path.isEmpty()) {
        printOut(text);
        return status;
    }
    if (status != CommissionCommandLine::Done) {
        printError(QStringLiteral("no unit answered: %1 is left as it was").arg(path));
        return status;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        printError(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return CommissionCommandLine::RecordFailure;
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hvtk-commission"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion));

    const CommandLineFront::Parsed<CommissionOptions> line =
        CommissionCommandLine::parse(QCoreApplication::arguments());
    if (line.outcome != CommandLineFront::Outcome::Run)
        return CommandLineFront::answer(CommissionCommandLine::program(), line.outcome, line.error);
    CommissionOptions options = line.options;

    // Nothing is sent before the plan is known to be right.
    QList<PlannedUnit> plan;
    QList<SiteRecord::Pushed> reverting;
    if (!options.revertRecord.isEmpty()) {
        const int status = readRevert(&options, &plan, &reverting);
        if (status != CommissionCommandLine::Done)
            return status;
    } else if (!options.writeTemplate) {
        const int status = readPlan(options.planFile, &plan);
        if (status != CommissionCommandLine::Done)
            return status;
    }
    const RunName name = runName(options);
    QString error;
    RecordFile record;
    if (!options.recordFile.isEmpty()
        && (!record.open(options.recordFile, &error)
            || !record.append(SiteRecord::startLine(name, QDateTime::currentDateTimeUtc(),
                                                    QCoreApplication::arguments().mid(1)),
                              &error))) {
        printError(error);
        return CommissionCommandLine::RecordFailure;
    }

    SiteRun run(options, plan);
    run.setRecord(record.isOpen() ? &record : nullptr, name);
    if (!reverting.isEmpty())
        run.setReverting(reverting);
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, &run, &SiteRun::stop);
    QObject::connect(&run, &SiteRun::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!run.start(&error)) {
        printError(QStringLiteral("cannot open a UDP socket: ") + error);
        return CommissionCommandLine::SocketFailure;
    }
    app.exec();

    if (options.discover && run.unitCount() == 0)
        printError(ProgramOutput::noDiscoveryAnswer(run.discoveryAddresses()));
    if (options.writeTemplate && !run.stopped())
        return writeTemplate(run, options.outputFile);

    const QList<ReportEntry> entries = run.entries();
    const QString unreachable = CommissionReport::unreachableNote(plan, run.subnets());
    if (options.json) {
        printOut(CommissionReport::jsonDocument(entries));
        if (!unreachable.isEmpty())
            fwrite(unreachable.toUtf8().constData(), 1, size_t(unreachable.toUtf8().size()), stderr);
    } else {
        QString text;
        for (const ReportEntry &entry : entries)
            text += CommissionReport::textBlock(entry);
        text += unreachable;
        text += CommissionReport::summaryLine(entries);
        printOut(text.toUtf8());
    }

    int status = CommissionReport::exitStatus(entries);
    if (options.discover && run.unitCount() == 0)
        status = CommissionCommandLine::NotFound;
    if (!run.recordError().isEmpty()) {
        printError(run.recordError() + QStringLiteral(" (nothing was pushed)"));
        status = CommissionCommandLine::RecordFailure;
    }
    for (const ReportEntry &entry : entries) {
        if (record.isOpen() && !record.append(SiteRecord::outcomeLine(name, entry), &error)) {
            printError(error);
            status = CommissionCommandLine::RecordFailure;
            break;
        }
    }
    if (run.stopped())
        status = StopSignals::exitStatus(stop.caughtSignal());
    return status;
}
