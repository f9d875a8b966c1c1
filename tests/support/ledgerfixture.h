#pragma once

#include "sim/unitsimulator.h"
#include "support/postgresserver.h"
#include "support/simulatorthread.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What the ledger suites share: ledgers of both kinds ("sqlite", a file in a
// temporary folder; "postgresql", a database of the suite's own server),
// simulated units as the line has them, and the ledger read back.
class LedgerFixture
{
public:
    // Starts the PostgreSQL server; false with `error` where it cannot run.
    bool startServer(QString *error);
    PostgresServer &server() { return m_server; }
    bool hasServer() const { return m_server.isRunning(); }

    // A new, empty ledger of `kind`, created as --create-ledger creates it.
    QString newLedger(const QString &kind, QString *error);
    // A ledger name of `kind` that does not exist.
    QString missingLedger(const QString &kind);
    QTemporaryDir &folder() { return m_folder; }

private:
    PostgresServer m_server;
    QTemporaryDir m_folder;
    int m_databases = 0;
};

namespace LedgerRows {

// issued_macs, oldest first: mac, danteMac, read (bool), address, model,
// station, runId, outcome, reason.
QList<QJsonObject> issued(const QString &ledger);
// unit_records, oldest first, by column name; "record" parsed.
QList<QJsonObject> records(const QString &ledger);
// How many rows a table of the ledger holds; -1 when it cannot be read.
int count(const QString &ledger, const QString &table);

} // namespace LedgerRows

namespace LineUnits {

// Starts the units "ADDRESS:MODEL[:FIRMWARE] options" (as for hvtk-unit-sim)
// with a short restart.
bool add(SimulatorThread &sim, const QStringList &lines);
// What a unit received besides the polls, in order.
QList<QByteArray> commandsTo(const QList<SimDatagram> &log, const QHostAddress &unit);
// Every MAC SET any unit received: unit address -> the MACs, in order.
QMultiHash<QString, QString> macsSent(const QList<SimDatagram> &log);
// The control MAC a simulated unit holds now.
QString controlMac(SimulatorThread &sim, const QHostAddress &unit);

} // namespace LineUnits
