// hvtk-check: the readiness gate of the production line. See --help.
#include "gate/checkoptions.h"
#include "gate/checkreport.h"
#include "gate/checkrun.h"
#include "gate/ledger.h"
#include "fleet/programoutput.h"
#include "fleet/recordfile.h"

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
    QObject::connect(&run, &CheckRun::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
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
