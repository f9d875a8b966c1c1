#include "gate/ledgerschema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace LedgerSchema {

namespace {

// The columns of unit_records after its id, the same in both dialects.
const char *const RecordColumns =
    "  run_id TEXT NOT NULL,\n"
    "  station TEXT NOT NULL,\n"
    "  operator TEXT NOT NULL DEFAULT '',\n"
    "  version TEXT NOT NULL,\n"
    "  judged_at TEXT NOT NULL,\n"
    "  address TEXT NOT NULL,\n"
    "  model TEXT NOT NULL DEFAULT '',\n"
    "  control_mac TEXT NOT NULL DEFAULT '',\n"
    "  dante_mac TEXT NOT NULL DEFAULT '',\n"
    "  ready INTEGER NOT NULL,\n"
    "  checklist TEXT NOT NULL DEFAULT '[]',\n"
    "  programming_failure TEXT NOT NULL DEFAULT '',\n"
    "  record TEXT NOT NULL\n";

// mac: upper-case hexadecimal with colons, as the master list's text.
// dante_mac_read: 1 when the Dante MAC was a chip's own, so that it names the
// unit. outcome: "issued" (committed before the command went out),
// "programmed" (the unit acknowledged it), "refused" (with reason; it is not
// handed out again either), "imported" (from a JSON-lines ledger).
const char *const IssuedColumns =
    "  mac TEXT NOT NULL UNIQUE,\n"
    "  dante_mac TEXT NOT NULL DEFAULT '',\n"
    "  dante_mac_read INTEGER NOT NULL DEFAULT 0,\n"
    "  address TEXT NOT NULL DEFAULT '',\n"
    "  model TEXT NOT NULL DEFAULT '',\n"
    "  station TEXT NOT NULL,\n"
    "  run_id TEXT NOT NULL,\n"
    "  issued_at TEXT NOT NULL,\n"
    "  outcome TEXT NOT NULL,\n"
    "  reason TEXT NOT NULL DEFAULT ''\n";

QString table(const char *name, Dialect dialect, const char *columns)
{
    const QString id = dialect == Dialect::Postgres ? QStringLiteral("id BIGSERIAL PRIMARY KEY")
                                                    : QStringLiteral("id INTEGER PRIMARY KEY");
    return QStringLiteral("CREATE TABLE %1 (\n  %2,\n%3)").arg(QLatin1String(name), id, QLatin1String(columns));
}

} // namespace

Dialect dialect(const QSqlDatabase &database)
{
    return database.driverName() == QLatin1String("QPSQL") ? Dialect::Postgres : Dialect::Sqlite;
}

QStringList statements(Dialect dialect)
{
    return {
        QStringLiteral("CREATE TABLE ledger_schema (version INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO ledger_schema (version) VALUES (%1)").arg(Version),
        table("issued_macs", dialect, IssuedColumns),
        QStringLiteral("CREATE INDEX issued_macs_dante_mac ON issued_macs (dante_mac)"),
        // claimed_at_ms: milliseconds since 1970 (UTC) on the claiming station's clock.
        QStringLiteral("CREATE TABLE unit_claims (\n"
                       "  dante_mac TEXT PRIMARY KEY,\n"
                       "  run_id TEXT NOT NULL,\n"
                       "  station TEXT NOT NULL,\n"
                       "  claimed_at_ms BIGINT NOT NULL)"),
        table("unit_records", dialect, RecordColumns),
        QStringLiteral("CREATE INDEX unit_records_judged_at ON unit_records (judged_at)"),
    };
}

bool create(QSqlDatabase &database, QString *error)
{
    if (!database.transaction()) {
        *error = database.lastError().text();
        return false;
    }
    QSqlQuery query(database);
    for (const QString &statement : statements(dialect(database))) {
        if (!query.exec(statement)) {
            *error = query.lastError().text();
            query.finish();
            database.rollback();
            return false;
        }
    }
    query.finish();
    if (!database.commit()) {
        *error = database.lastError().text();
        database.rollback();
        return false;
    }
    return true;
}

Found find(const QSqlDatabase &database, int *version, QString *error)
{
    const QString catalog = dialect(database) == Dialect::Postgres
        ? QStringLiteral("SELECT count(*) FROM information_schema.tables "
                         "WHERE table_name = 'ledger_schema' AND table_schema = current_schema()")
        : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'ledger_schema'");
    QSqlQuery query(database);
    if (!query.exec(catalog) || !query.next()) {
        *error = query.lastError().text();
        return Found::Unreadable;
    }
    if (query.value(0).toInt() == 0)
        return Found::Missing;
    if (!query.exec(QStringLiteral("SELECT version FROM ledger_schema"))) {
        *error = query.lastError().text();
        return Found::Unreadable;
    }
    *version = query.next() ? query.value(0).toInt() : 0;
    return *version == Version ? Found::Current : Found::Other;
}

} // namespace LedgerSchema
