#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The one schema of the production line's database, in its two dialects
// (SQLite for a ledger on this PC, PostgreSQL for a line of stations), and
// its creation. The tables:
//   ledger_schema  one row: the schema's version
//   issued_macs    every control MAC handed out from the master list, unique,
//                  with the unit it was handed to and what became of it
//   unit_claims    which run works on a unit (by its Dante MAC) just now
//   unit_records   one row per judged unit: the line's records
namespace LedgerSchema {

// The version this program reads and writes.
constexpr int Version = 1;

enum class Dialect { Sqlite, Postgres };

// By the database's driver (QSQLITE or QPSQL).
Dialect dialect(const QSqlDatabase &database);

// The statements that create the schema, in order.
QStringList statements(Dialect dialect);

// Creates every table and writes the version, in one transaction; false with
// the database's own message in `error`. A database that has any of the
// tables already is left as it is (an error).
bool create(QSqlDatabase &database, QString *error);

enum class Found { Current, Missing, Other, Unreadable };
// Whether the database holds this program's schema: Missing when it has no
// ledger_schema table, Other when its version is another (`version`),
// Unreadable with the database's message in `error`.
Found find(const QSqlDatabase &database, int *version, QString *error);

} // namespace LedgerSchema
