#include "support/ledgerfixture.h"

#include "channel/commandtext.h"
#include "gate/ledgerconnection.h"
#include "sim/simulatedunit.h"
#include "sim/unitentry.h"

#include <QJsonDocument>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

bool LedgerFixture::startServer(QString *error)
{
    return m_server.start(error);
}

QString LedgerFixture::newLedger(const QString &kind, QString *error)
{
    QString ledger;
    const QString name = QStringLiteral("ledger%1").arg(++m_databases);
    if (kind == QLatin1String("postgresql")) {
        if (!m_server.createDatabase(name, error))
            return QString();
        ledger = m_server.uri(name);
    } else {
        ledger = m_folder.filePath(name + QStringLiteral(".db"));
    }
    LedgerConnection connection;
    if (connection.create(ledger, error) != LedgerConnection::Status::Open)
        return QString();
    return ledger;
}

QString LedgerFixture::missingLedger(const QString &kind)
{
    if (kind == QLatin1String("postgresql"))
        return m_server.uri(QStringLiteral("ledgre"));
    return m_folder.filePath(QStringLiteral("ledgre.db"));
}

namespace LedgerRows {

namespace {

QList<QJsonObject> rows(const QString &ledger, const QString &statement)
{
    LedgerConnection connection;
    QString error;
    if (connection.open(ledger, &error) != LedgerConnection::Status::Open) {
        qWarning("%s", qPrintable(error));
        return {};
    }
    QList<QJsonObject> result;
    QSqlQuery query(connection.database());
    if (!query.exec(statement))
        return {};
    while (query.next()) {
        QJsonObject row;
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i)
            row.insert(record.fieldName(i), QJsonValue::fromVariant(query.value(i)));
        result << row;
    }
    return result;
}

} // namespace

QList<QJsonObject> issued(const QString &ledger)
{
    QList<QJsonObject> result = rows(ledger, QStringLiteral("SELECT mac, dante_mac AS \"danteMac\", dante_mac_read = 1 AS \"read\", "
                                       "address, model, station, run_id AS \"runId\", outcome, reason "
                                       "FROM issued_macs ORDER BY id"));
    // SQLite gives the comparison as 0 or 1, PostgreSQL as a boolean.
    for (QJsonObject &row : result)
        row.insert(QStringLiteral("read"), row.value(QStringLiteral("read")).toVariant().toBool());
    return result;
}

QList<QJsonObject> records(const QString &ledger)
{
    QList<QJsonObject> result = rows(ledger, QStringLiteral("SELECT * FROM unit_records ORDER BY id"));
    for (QJsonObject &row : result)
        row.insert(QStringLiteral("record"), QJsonDocument::fromJson(row.value("record").toString().toUtf8()).object());
    return result;
}

int count(const QString &ledger, const QString &table)
{
    const QList<QJsonObject> result = rows(ledger, QStringLiteral("SELECT count(*) AS n FROM %1").arg(table));
    return result.size() == 1 ? result[0].value(QStringLiteral("n")).toInt() : -1;
}

} // namespace LedgerRows

namespace LineUnits {

bool add(SimulatorThread &sim, const QStringList &lines)
{
    for (const QString &text : lines) {
        QList<UnitEntry> entries;
        QString error;
        if (!UnitEntries::parseLine(text, &entries, &error) || !sim.addUnit(entries[0].config))
            return false;
        bool applied = true;
        const bool found = sim.withUnit(entries[0].config.address, [&](SimulatedUnit &unit) {
            unit.setRestartTime(300);
            for (const QString &option : entries[0].options)
                applied = applied && UnitEntries::applyOption(&unit, option, &error);
        });
        if (!found || !applied)
            return false;
    }
    return true;
}

QList<QByteArray> commandsTo(const QList<SimDatagram> &log, const QHostAddress &unit)
{
    QList<QByteArray> commands;
    for (const SimDatagram &d : log) {
        if (d.direction == SimDatagram::In && d.unitAddress == unit && d.data != CommandText::statusRequest()
            && d.data != CommandText::versionQuery())
            commands << d.data;
    }
    return commands;
}

QMultiHash<QString, QString> macsSent(const QList<SimDatagram> &log)
{
    QMultiHash<QString, QString> sent;
    for (const SimDatagram &d : log) {
        if (d.direction == SimDatagram::In && d.data.endsWith("MC\r"))
            sent.insert(d.unitAddress.toString(), QString::fromLatin1(d.data.left(17)));
    }
    return sent;
}

QString controlMac(SimulatorThread &sim, const QHostAddress &unit)
{
    QString mac;
    sim.withUnit(unit, [&](SimulatedUnit &u) { mac = u.status().controlMacText; });
    return mac;
}

} // namespace LineUnits
