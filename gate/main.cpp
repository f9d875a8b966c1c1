// hvtk-check: the readiness gate of the production line. See --help.
#include "gate/checkoptions.h"
#include "gate/checkreport.h"
#include "gate/checkrun.h"
#include "gate/ledgerimport.h"
#include "gate/ledgerstart.h"
#include "gate/yieldchart.h"
#include "gate/yieldreport.h"
#include "fleet/programoutput.h"
#include "fleet/recordfile.h"
#include "fleet/stopsignals.h"

#include "programversion.h"

#include <QApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>

#include <memory>

namespace {

using ProgramOutput::printError;
using ProgramOutput::printOut;

// --chart draws with Qt Charts, which needs a QApplication: offscreen unless
// a platform is chosen.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--chart" || argument == "-chart" || argument.startsWith("--chart=")
            || argument.startsWith("-chart=")) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            return std::make_unique<QApplication>(argc, argv);
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

// --report: the yield from the ledger's records.
int printReport(const CheckOptions &options)
{
    QString error;
    std::vector<YieldReport::Verdict> verdicts;
    YieldReport::MacsLeft macs;
    {
        LedgerConnection connection;
        const LedgerConnection::Status status = connection.open(options.ledgerFile, &error);
        if (status != LedgerConnection::Status::Open) {
            printError(error);
            return LedgerStart::exitStatus(status);
        }
        const QSqlDatabase database = connection.database();
        if (YieldReport::readVerdicts(database, options.reportPeriod, &verdicts, &error)
            && !options.macPool.ranges().empty())
            YieldReport::readMacsLeft(database, options.macPool, &macs, &error);
    }
    if (!error.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(options.ledgerFile, error));
        return CheckCommandLine::RecordFailure;
    }
    YieldReport::Report report = YieldReport::compute(verdicts, options.reportPeriod);
    if (!options.macPool.ranges().empty())
        report.macs = macs;
    printOut(options.json ? YieldReport::json(report) : YieldReport::text(report).toUtf8());
    if (!options.chartFile.isEmpty() && !YieldChart::write(report, options.chartFile, &error)) {
        printError(error);
        return CheckCommandLine::RecordFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hvtk-check"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion));

    const CommandLineFront::Parsed<CheckOptions> line = CheckCommandLine::parse(QCoreApplication::arguments());
    if (line.outcome != CommandLineFront::Outcome::Run)
        return CommandLineFront::answer(CheckCommandLine::program(), line.outcome, line.error);
    const CheckOptions &options = line.options;
    if (options.report)
        return printReport(options);

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
    QObject::connect(&run, &CheckRun::finished, app.get(), &QCoreApplication::quit, Qt::QueuedConnection);
    // SIGINT, SIGTERM: nothing more is sent; every unit is reported, recorded
    // and written to the ledger with what it was sent.
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, &run, &CheckRun::interrupt);
    if (!run.start(&error)) {
        printError(QStringLiteral("cannot open a UDP socket: ") + error);
        return CheckCommandLine::SocketFailure;
    }
    app->exec();

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
        printError(ProgramOutput::noDiscoveryAnswer(run.discoveryAddresses()));

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
    if (ledger && options.program && !options.macPool.ranges().empty()) {
        YieldReport::MacsLeft macs;
        QString unread; // a ledger that failed has said so above
        if (YieldReport::readMacsLeft(connection.database(), options.macPool, &macs, &unread)
            && !YieldReport::macsLeftWarning(macs).isEmpty())
            printError(YieldReport::macsLeftWarning(macs));
    }
    if (stop.caughtSignal() != 0)
        status = StopSignals::exitStatus(stop.caughtSignal());
    return status;
}
