#pragma once

#include <QSqlDatabase>
#include <QString>

// The connection to the production line's database, named on the command line
// as --ledger LEDGER: a file, an SQLite database on this PC; or a libpq
// connection URI, postgresql://USER@HOST[:PORT]/DB (query parameters such as
// ?host=/run/postgresql are passed on to libpq), one PostgreSQL database for
// the stations of many PCs. A password is never part of LEDGER: libpq takes
// it from ~/.pgpass or PGPASSWORD.
//
// A ledger is opened only when it exists and holds this program's schema;
// nothing else ever creates a file or a table but create().
class LedgerConnection
{
public:
    enum class Status {
        Open,
        Missing,     // no such file or database, or no ledger schema in it
        Failed,      // cannot be reached, read or written: the database's message
        Exists,      // create(): the database holds a ledger already
        BadLocation, // a URI that is not postgresql://USER@HOST[:PORT]/DB, or one with a password
    };

    LedgerConnection();
    ~LedgerConnection();
    LedgerConnection(const LedgerConnection &) = delete;
    LedgerConnection &operator=(const LedgerConnection &) = delete;

    // A PostgreSQL URI rather than a file.
    static bool isServer(const QString &ledger);
    // The usage error for LEDGER (a URI with a password, or not a URI
    // libpq and this program take), or an empty text.
    static QString locationError(const QString &ledger);

    // Opens LEDGER for the run; on any other status `error` names it
    // ("LEDGER: ...") with the database's own message where there is one.
    Status open(const QString &ledger, QString *error);
    // --create-ledger: makes the database file (SQLite) or the tables in an
    // existing PostgreSQL database, with the schema of this program.
    Status create(const QString &ledger, QString *error);

    QSqlDatabase database() const;
    bool isOpen() const;
    // LEDGER as given, for messages.
    QString name() const { return m_ledger; }

private:
    Status connect(const QString &ledger, bool creating, QString *error);
    bool configure(QString *error);

    QString m_connectionName;
    QString m_ledger;
};
