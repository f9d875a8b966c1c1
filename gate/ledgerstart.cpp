#include "gate/ledgerstart.h"

#include "gate/ledgerschema.h"

#include <QCoreApplication>
#include <QUuid>

namespace LedgerStart {

int exitStatus(LedgerConnection::Status status)
{
    switch (status) {
    case LedgerConnection::Status::Open:
        return 0;
    case LedgerConnection::Status::Missing:
        return CheckCommandLine::LedgerMissing;
    case LedgerConnection::Status::Exists:
        return CheckCommandLine::LedgerExists;
    case LedgerConnection::Status::BadLocation:
        return CheckCommandLine::Usage;
    case LedgerConnection::Status::Failed:
        break;
    }
    return CheckCommandLine::LedgerFailure;
}

int create(const CheckOptions &options, QString *message)
{
    LedgerConnection connection;
    const LedgerConnection::Status status = connection.create(options.ledgerFile, message);
    if (status == LedgerConnection::Status::Open)
        *message = QStringLiteral("%1: ledger created (schema version %2)")
                       .arg(options.ledgerFile)
                       .arg(LedgerSchema::Version);
    return exitStatus(status);
}

std::unique_ptr<Ledger> open(const CheckOptions &options, LedgerConnection *connection, int *status,
                             QString *error)
{
    const LedgerConnection::Status opened = connection->open(options.ledgerFile, error);
    if (opened != LedgerConnection::Status::Open) {
        *status = exitStatus(opened);
        return nullptr;
    }
    Ledger::Station station;
    station.runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    station.name = options.station;
    station.operatorName = options.operatorName;
    station.version = QCoreApplication::applicationVersion();
    return std::make_unique<Ledger>(connection->database(), options.ledgerFile, station);
}

} // namespace LedgerStart
