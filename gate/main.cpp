// hvtk-check: the readiness gate of the production line. See --help.
#include "gate/checkoptions.h"
#include "gate/checkreport.h"
#include "gate/checkrun.h"
#include "gate/ledgerimport.h"
#include "gate/ledgerstart.h"
#include "fleet/programoutput.h"
#include "fleet/recordfile.h"
#include "fleet/stopsignals.h"

#include "programversion.h"

#include <QCoreApplication>

namespace {

using ProgramOutput::printError;
using ProgramOutput::printOut;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hvtk-check"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion));

    const CommandLine line = CheckCommandLine::parse(QCoreApplication::arguments());
    switch (line.outcome) {
    case CommandLine::ShowHelp:
        printOut(CheckCommandLine::helpText().toUtf8());
        return 0;
    case CommandLine::ShowVersion:
        printOut(QStringLiteral("hvtk-check %1\n").arg(QCoreApplication::applicationVersion()).toUtf8());
        return 0;
    case CommandLine::UsageError:
        printError(line.error + QStringLiteral(" (see hvtk-check --help)"));
        return CheckCommandLine::Usage;
    case CommandLine::Run:
        break;
    }
    const CheckOptions &options = line.options;

    QString error;
    if (options.createLedger) {
        const int status = LedgerStart::create(options, &error);
        if (status == 0)
            printOut((error + QLatin1Char('\n')).toUtf8());
        else
            printError(error);
        return status;
    }

    if (!options.importLedger.isEmpty()) {
        QString report;
        QStringList errors;
        const int status = LedgerImport::run(options, &report, &errors);
        for (const QString &line : errors)
            printError(line);
        printOut(report.toUtf8());
        return status;
    }

    LedgerConnection connection;
    std::unique_ptr<Ledger> ledger;
    if (!options.ledgerFile.isEmpty()) {
        int status = 0;
        ledger = LedgerStart::open(options, &connection, &status, &error);
        if (!ledger) {
            printError(error);
            return status;
        }
    }

    RecordFile record;
    if (!options.recordFile.isEmpty() && !record.open(options.recordFile, &error)) {
        printError(error);
        return CheckCommandLine::RecordFailure;
    }

    CheckRun run(options, ledger.get());
    QObject::connect(&run, &CheckRun::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // SIGINT, SIGTERM: nothing more is sent; every unit is reported, recorded
    // and written to the ledger with what it was sent.
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, &run, &CheckRun::interrupt);
    if (!run.start(&error)) {
        printError(QStringLiteral("cannot open a UDP socket: ") + error);
        return CheckCommandLine::SocketFailure;
    }
    app.exec();

    const std::vector<UnitCheck> &units = run.units();
    if (options.json) {
        printOut(CheckReport::jsonDocument(units));
    } else {
        QString text;
        for (const UnitCheck &unit : units)
            text += CheckReport::textBlock(unit, options.timeoutMs) + QLatin1Char('\n');
        for (const UnitCheck &unit : run.claimedElsewhere())
            text += CheckReport::claimedLine(unit) + QLatin1Char('\n');
        text += CheckReport::summaryLine(units);
        printOut(text.toUtf8());
    }
    if (options.discover && units.empty() && run.claimedElsewhere().empty())
        printError(QStringLiteral("no unit answered the discovery query sent to %1")
                       .arg(run.discoveryAddress().toString()));

    int status = CheckReport::exitStatus(units);
    if (options.discover && units.empty() && !run.claimedElsewhere().empty())
        status = CheckCommandLine::AllReady; // every unit was another station's
    // Units another station's run claimed answered too.
    std::vector<UnitCheck> seen = units;
    seen.insert(seen.end(), run.claimedElsewhere().begin(), run.claimedElsewhere().end());
    const QString missing = CheckReport::missingUnitsLine(seen, options.expectedUnits);
    if (!missing.isEmpty()) {
        printError(missing);
        status = CheckCommandLine::NoAnswer;
    }
    for (const UnitCheck &unit : units) {
        if (record.isOpen() && !record.append(CheckReport::recordLine(unit), &error)) {
            printError(error);
            status = CheckCommandLine::RecordFailure;
            break;
        }
    }
    if (ledger && !ledger->failures().isEmpty()) {
        for (const QString &failure : ledger->failures())
            printError(failure);
        status = CheckCommandLine::LedgerFailure;
    }
    if (stop.caughtSignal() != 0)
        status = StopSignals::exitStatus(stop.caughtSignal());
    return status;
}
