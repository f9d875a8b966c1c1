#include "commission/planload.h"

#include "commission/commissionoptions.h"
#include "commission/planfile.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>

namespace PlanLoad {

namespace {

QList<quint32> workstationAddresses()
{
    QList<quint32> addresses;
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            addresses << address.toIPv4Address();
    }
    return addresses;
}

Loaded refused(const QString &path, const QString &why)
{
    Loaded loaded;
    loaded.status = CommissionCommandLine::PlanUnreadable;
    loaded.errorText = QStringLiteral("%1: %2\n").arg(path, why).toUtf8();
    return loaded;
}

} // namespace

Loaded fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(path, file.errorString());
    const PlanFile::Read read = PlanFile::parse(file.read(PlanFile::MaximumSize + 1));
    if (read.content == PlanFile::Content::Workbook)
        return refused(path, QStringLiteral("a spreadsheet workbook, not CSV text; save it as CSV (UTF-8)"));
    QList<PlanError> errors = read.errors;
    PlanValidator::Checked checked;
    if (read.columnsFound) {
        checked = PlanValidator::check(read.rows, workstationAddresses());
        errors += checked.errors;
    }
    Loaded loaded;
    if (!errors.isEmpty()) {
        std::stable_sort(errors.begin(), errors.end(),
                         [](const PlanError &a, const PlanError &b) { return a.line < b.line; });
        for (const PlanError &error : qAsConst(errors))
            loaded.errorText += QStringLiteral("%1:%2: %3\n").arg(path).arg(error.line).arg(error.text).toUtf8();
        loaded.status = read.content == PlanFile::Content::NotUtf8 ? CommissionCommandLine::PlanUnreadable
                                                                   : CommissionCommandLine::PlanInvalid;
        return loaded;
    }
    loaded.units = checked.units;
    return loaded;
}

} // namespace PlanLoad
