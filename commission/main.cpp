// hvtk-commission: gives a whole site its network identities from one plan. See --help.
#include "commission/commissionoptions.h"
#include "commission/commissionreport.h"
#include "commission/commissionunit.h"
#include "commission/planfile.h"
#include "commission/planvalidator.h"
#include "commission/siterun.h"
#include "fleet/programoutput.h"
#include "fleet/recordfile.h"
#include "programversion.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkInterface>

#include <cstdio>

namespace {

using ProgramOutput::printError;
using ProgramOutput::printOut;

// The plan's rows, or the exit status when it cannot be used.
int readPlan(const QString &path, QList<PlannedUnit> *plan)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return CommissionCommandLine::PlanUnreadable;
    }
    const PlanFile::Read read = PlanFile::parse(file.read(PlanFile::MaximumSize + 1));
    if (read.content == PlanFile::Content::Workbook) {
        printError(QStringLiteral("%1: a spreadsheet workbook, not CSV text; save it as CSV (UTF-8)").arg(path));
        return CommissionCommandLine::PlanUnreadable;
    }
    QList<PlanError> errors = read.errors;
    PlanValidator::Checked checked;
    if (read.columnsFound) {
        QList<quint32> workstation;
        for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                workstation << address.toIPv4Address();
        }
        checked = PlanValidator::check(read.rows, workstation);
        errors += checked.errors;
    }
    if (!errors.isEmpty()) {
        std::stable_sort(errors.begin(), errors.end(),
                         [](const PlanError &a, const PlanError &b) { return a.line < b.line; });
        QByteArray text;
        for (const PlanError &error : errors)
            text += QStringLiteral("%1:%2: %3\n").arg(path).arg(error.line).arg(error.text).toUtf8();
        fwrite(text.constData(), 1, size_t(text.size()), stderr);
        return read.content == PlanFile::Content::NotUtf8 ? CommissionCommandLine::PlanUnreadable
                                                          : CommissionCommandLine::PlanInvalid;
    }
    *plan = checked.units;
    return CommissionCommandLine::Done;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hvtk-commission"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion));

    const CommissionCommandLine::Parsed line = CommissionCommandLine::parse(QCoreApplication::arguments());
    switch (line.outcome) {
    case CommissionCommandLine::Parsed::ShowHelp:
        printOut(CommissionCommandLine::helpText().toUtf8());
        return 0;
    case CommissionCommandLine::Parsed::ShowVersion:
        printOut(QStringLiteral("hvtk-commission %1\n").arg(QCoreApplication::applicationVersion()).toUtf8());
        return 0;
    case CommissionCommandLine::Parsed::UsageError:
        printError(line.error + QStringLiteral(" (see hvtk-commission --help)"));
        return CommissionCommandLine::Usage;
    case CommissionCommandLine::Parsed::Run:
        break;
    }
    const CommissionOptions &options = line.options;

    // Nothing is sent before the plan is known to be right.
    QList<PlannedUnit> plan;
    if (!options.writeTemplate) {
        const int status = readPlan(options.planFile, &plan);
        if (status != CommissionCommandLine::Done)
            return status;
    }
    QString error;
    RecordFile record;
    if (!options.recordFile.isEmpty() && !record.open(options.recordFile, &error)) {
        printError(error);
        return CommissionCommandLine::RecordFailure;
    }

    SiteRun run(options, plan);
    if (!run.find(&error)) {
        printError(QStringLiteral("cannot open a UDP socket: ") + error);
        return CommissionCommandLine::SocketFailure;
    }
    if (options.discover && run.unitCount() == 0)
        printError(QStringLiteral("no unit answered the discovery query sent to %1")
                       .arg(run.discoveryAddress().toString()));

    if (options.writeTemplate) {
        const QByteArray text = run.templateText();
        printOut(text);
        return run.foundCount() > 0 ? CommissionCommandLine::Done : CommissionCommandLine::NotFound;
    }

    if (options.apply)
        run.apply();
    const QList<ReportEntry> entries = run.entries();
    if (options.json) {
        printOut(CommissionReport::jsonDocument(entries));
    } else {
        QString text;
        for (const ReportEntry &entry : entries)
            text += CommissionReport::textBlock(entry);
        text += CommissionReport::summaryLine(entries);
        printOut(text.toUtf8());
    }

    int status = CommissionReport::exitStatus(entries);
    if (options.discover && run.unitCount() == 0)
        status = CommissionCommandLine::NotFound;
    for (const ReportEntry &entry : entries) {
        if (record.isOpen() && !record.append(CommissionReport::recordLine(entry), &error)) {
            printError(error);
            status = CommissionCommandLine::RecordFailure;
            break;
        }
    }
    return status;
}
