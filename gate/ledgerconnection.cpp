#include "gate/ledgerconnection.h"

#include "gate/ledgerschema.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QUrl>
#include <QUrlQuery>

namespace {

// How long a station waits for another's transaction before its statement fails.
constexpr int WaitForOthersMs = 10000;
// How long a station waits for the PostgreSQL server to answer a connection.
constexpr int ConnectTimeoutS = 10;

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("hvtk-ledger-%1").arg(counter.fetchAndAddRelaxed(1));
}

bool execAll(QSqlDatabase database, const QStringList &statements, QString *error)
{
    QSqlQuery query(database);
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

} // namespace

LedgerConnection::LedgerConnection() : m_connectionName(nextConnectionName()) {}

LedgerConnection::~LedgerConnection()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool LedgerConnection::isServer(const QString &ledger)
{
    return ledger.startsWith(QLatin1String("postgresql://")) || ledger.startsWith(QLatin1String("postgres://"));
}

QString LedgerConnection::locationError(const QString &ledger)
{
    if (ledger.isEmpty())
        return QStringLiteral("--ledger: the name is empty");
    if (!isServer(ledger))
        return QString();
    const QUrl url(ledger, QUrl::StrictMode);
    if (!url.isValid())
        return QStringLiteral("--ledger: %1 is not a URI postgresql://USER@HOST[:PORT]/DB").arg(ledger);
    if (!url.password().isEmpty() || QUrlQuery(url).hasQueryItem(QStringLiteral("password")))
        return QStringLiteral("--ledger: the URI holds a password; give it in ~/.pgpass or PGPASSWORD instead");
    if (url.path().mid(1).isEmpty() || url.path().mid(1).contains(QLatin1Char('/')))
        return QStringLiteral("--ledger: %1 names no database (postgresql://USER@HOST[:PORT]/DB)").arg(ledger);
    return QString();
}

QSqlDatabase LedgerConnection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool LedgerConnection::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && database().isOpen();
}

LedgerConnection::Status LedgerConnection::open(const QString &ledger, QString *error)
{
    const Status status = connect(ledger, false, error);
    if (status != Status::Open)
        return status;
    int version = 0;
    QString message;
    switch (LedgerSchema::find(database(), &version, &message)) {
    case LedgerSchema::Found::Current:
        return Status::Open;
    case LedgerSchema::Found::Missing:
        *error = QStringLiteral("%1: holds no ledger (hvtk-check --create-ledger --ledger %1 makes one)").arg(ledger);
        break;
    case LedgerSchema::Found::Other:
        *error = QStringLiteral("%1: a ledger of version %2; this program reads version %3")
                     .arg(ledger)
                     .arg(version)
                     .arg(LedgerSchema::Version);
        break;
    case LedgerSchema::Found::Unreadable:
        *error = QStringLiteral("%1: %2").arg(ledger, message.simplified());
        database().close();
        return Status::Failed;
    }
    database().close();
    return Status::Missing;
}

LedgerConnection::Status LedgerConnection::create(const QString &ledger, QString *error)
{
    const Status status = connect(ledger, true, error);
    if (status != Status::Open)
        return status;
    int version = 0;
    QString message;
    switch (LedgerSchema::find(database(), &version, &message)) {
    case LedgerSchema::Found::Missing:
        break;
    case LedgerSchema::Found::Current:
    case LedgerSchema::Found::Other:
        *error = QStringLiteral("%1: holds a ledger already").arg(ledger);
        return Status::Exists;
    case LedgerSchema::Found::Unreadable:
        *error = QStringLiteral("%1: %2").arg(ledger, message);
        return Status::Failed;
    }
    QSqlDatabase db = database();
    if (!LedgerSchema::create(db, &message)) {
        *error = QStringLiteral("%1: %2").arg(ledger, message);
        return Status::Failed;
    }
    return Status::Open;
}

LedgerConnection::Status LedgerConnection::connect(const QString &ledger, bool creating, QString *error)
{
    m_ledger = ledger;
    const QString locationProblem = locationError(ledger);
    if (!locationProblem.isEmpty()) {
        *error = locationProblem;
        return Status::BadLocation;
    }
    QSqlDatabase db;
    if (isServer(ledger)) {
        const QUrl url(ledger, QUrl::StrictMode);
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        db.setHostName(url.host());
        if (url.port() > 0)
            db.setPort(url.port());
        db.setUserName(url.userName());
        db.setDatabaseName(url.path().mid(1));
        QStringList options{QStringLiteral("connect_timeout=%1").arg(ConnectTimeoutS),
                            QStringLiteral("application_name=hvtk-check")};
        for (const auto &item : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
            options << item.first + QLatin1Char('=') + item.second;
        db.setConnectOptions(options.join(QLatin1Char(';')));
    } else {
        const QFileInfo file(ledger);
        // A typo must never start a new ledger: only --create-ledger makes the file.
        if (!creating && !file.exists()) {
            *error = QStringLiteral("%1: no such ledger (hvtk-check --create-ledger --ledger %1 makes one)")
                         .arg(ledger);
            return Status::Missing;
        }
        if (file.exists() && !file.isFile()) {
            *error = QStringLiteral("%1: not a regular file; a ledger is a database file").arg(ledger);
            return Status::Failed;
        }
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(ledger);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(WaitForOthersMs));
    }
    if (!db.isValid()) {
        *error = QStringLiteral("%1: no Qt SQL driver for this database (%2)")
                     .arg(ledger, db.lastError().text());
        return Status::Failed;
    }
    if (!db.open()) {
        const QString message = db.lastError().text().simplified();
        *error = QStringLiteral("%1: %2").arg(ledger, message);
        // libpq gives a failed connection no SQLSTATE; the server's text names a missing database.
        return message.contains(QLatin1String("does not exist")) ? Status::Missing : Status::Failed;
    }
    if (!configure(error)) {
        *error = QStringLiteral("%1: %2").arg(ledger, *error);
        return Status::Failed;
    }
    return Status::Open;
}

bool LedgerConnection::configure(QString *error)
{
    if (LedgerSchema::dialect(database()) == LedgerSchema::Dialect::Postgres) {
        // A station waits for another's lock this long, then its statement fails.
        return execAll(database(),
                       {QStringLiteral("SET lock_timeout = %1").arg(WaitForOthersMs),
                        QStringLiteral("SET client_min_messages = warning")},
                       error);
    }
    // The rollback journal rather than WAL: the ledger stays one file (no -wal
    // and -shm beside it) that is copied, backed up or moved as it is, and a
    // station never depends on shared memory, which WAL needs and which does
    // not hold across PCs. Its cost, a few more fsyncs per commit, is small
    // beside a unit's poll. synchronous=FULL: a commit is on the disk before
    // it returns, so a MAC's row is durable before the MAC is sent, whatever
    // power cut or kill follows.
    return execAll(database(),
                   {QStringLiteral("PRAGMA journal_mode = DELETE"), QStringLiteral("PRAGMA synchronous = FULL")},
                   error);
}
