// hvtk-check: the readiness gate of the production line. See --help.
#include "gate/checkoptions.h"
#include "gate/checkreport.h"
#include "gate/checkrun.h"
#include "gate/ledger.h"
#include "gate/yieldchart.h"
#include "gate/yieldreport.h"
#include "fleet/programoutput.h"
#include "fleet/recordfile.h"

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
    if (!QFile::exists(options.ledgerFile)) {
        printError(QStringLiteral("%1: no such ledger").arg(options.ledgerFile));
        return CheckCommandLine::NoLedger;
    }
    QString error;
    std::vector<YieldReport::Verdict> verdicts;
    YieldReport::MacsLeft macs;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("report"));
        database.setDatabaseName(options.ledgerFile);
        database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!database.open())
            error = database.lastError().text();
        else if (YieldReport::readVerdicts(database, options.reportPeriod, &verdicts, &error)
                 && !options.macPool.ranges().empty())
            YieldReport::readMacsLeft(database, options.macPool, &macs, &error);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("report"));
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
    if (options.report)
        return printReport(options);

    QString error;
    RecordFile record;
    if (!options.recordFile.isEmpty() && !record.open(options.recordFile, &error)) {
        printError(error);
        return CheckCommandLine::RecordFailure;
    }

    Ledger ledger;
    if (!options.ledgerFile.isEmpty() && !ledger.open(options.ledgerFile, &error)) {
        printError(error);
        return CheckCommandLine::RecordFailure;
    }

    CheckRun run(options, ledger.isOpen() ? &ledger : nullptr);
    QObject::connect(&run, &CheckRun::finished, app.get(), &QCoreApplication::quit, Qt::QueuedConnection);
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
        text += CheckReport::summaryLine(units);
        printOut(text.toUtf8());
    }
    if (options.discover && units.empty())
        printError(QStringLiteral("no unit answered the discovery query sent to %1")
                       .arg(run.discoveryAddress().toString()));

    int status = CheckReport::exitStatus(units);
    const QString missing = CheckReport::missingUnitsLine(units, options.expectedUnits);
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
    return status;
}
