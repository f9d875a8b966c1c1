#include "gate/ledger.h"

#include "fleet/recordtime.h"
#include "gate/ledgerschema.h"
#include "monitor/unitfactory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString Issued = QStringLiteral("issued");
const QString Programmed = QStringLiteral("programmed");
const QString Refused = QStringLiteral("refused");
const QString Imported = QStringLiteral("imported");

// A conflict another station's commit caused: the transaction is tried again.
constexpr int Attempts = 5;

// A null text would be bound as NULL; the columns hold '' for "none".
void bindAll(QSqlQuery &query, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values[i];
        const bool nullText = value.userType() == QMetaType::QString && value.toString().isNull();
        query.bindValue(i, nullText ? QVariant(QString(QLatin1String(""))) : value);
    }
}

bool isConflict(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // 23505: PostgreSQL's unique_violation; 19 and 2067: SQLite's constraint and unique constraint.
    return code == QLatin1String("23505") || code == QLatin1String("19") || code == QLatin1String("2067");
}

} // namespace

Ledger::Ledger(const QSqlDatabase &database, const QString &name, const Station &station)
    : m_database(database)
    , m_name(name)
    , m_station(station)
    , m_postgres(LedgerSchema::dialect(database) == LedgerSchema::Dialect::Postgres)
{
}

QString Ledger::fail(const QString &message)
{
    // One line: the servers' messages run over several.
    const QString line = message.simplified();
    const QString text = m_name + QStringLiteral(": ")
        + (line.isEmpty() ? QStringLiteral("the database failed without a message") : line);
    if (!m_failures.contains(text))
        m_failures << text;
    return text;
}

// A connection the server closed is closed for good: every later statement
// fails at once with this, rather than with the driver's warnings.
bool Ledger::connected(QString *error) const
{
    if (m_database.isOpen())
        return true;
    *error = QStringLiteral("no connection to the database");
    return false;
}

bool Ledger::execute(QSqlQuery &query, QString *error)
{
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

// SQLite: BEGIN IMMEDIATE takes the write lock at once (waiting up to the busy
// timeout), so no other station reads the table between this one's read and
// write. PostgreSQL: the table lock does the same for writers; readers go on.
bool Ledger::beginExclusive(const char *table, QString *error)
{
    if (QString down; !connected(&down)) {
        *error = down;
        return false;
    }
    QSqlQuery query(m_database);
    if (!m_postgres) {
        if (query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return true;
        *error = query.lastError().text();
        return false;
    }
    if (!query.exec(QStringLiteral("BEGIN"))) {
        *error = query.lastError().text();
        return false;
    }
    if (query.exec(QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE").arg(QLatin1String(table))))
        return true;
    *error = query.lastError().text();
    rollback();
    return false;
}

void Ledger::rollback()
{
    QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
}

bool Ledger::commit(QString *error)
{
    QSqlQuery query(m_database);
    if (query.exec(QStringLiteral("COMMIT")))
        return true;
    *error = query.lastError().text();
    rollback();
    return false;
}

Ledger::Allocation Ledger::allocate(const MacPool &pool, const Unit &unit, const QDateTime &time)
{
    Allocation allocation;
    QString error;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        if (!beginExclusive("issued_macs", &error))
            break;
        if (unit.identified) {
            QSqlQuery given(m_database);
            given.prepare(QStringLiteral("SELECT mac FROM issued_macs WHERE dante_mac = ? AND dante_mac_read = 1 "
                                         "AND outcome <> ? ORDER BY id DESC LIMIT 1"));
            bindAll(given, {unit.danteMac, Refused});
            if (!execute(given, &error)) {
                rollback();
                break;
            }
            if (given.next()) {
                allocation.mac = given.value(0).toString();
                allocation.again = true;
                given.finish();
                rollback();
                return allocation;
            }
        }
        QSqlQuery named(m_database);
        named.setForwardOnly(true);
        if (!named.exec(QStringLiteral("SELECT mac FROM issued_macs"))) {
            error = named.lastError().text();
            rollback();
            break;
        }
        QSet<quint64> taken;
        while (named.next()) {
            if (const std::optional<quint64> mac = MacText::parse(named.value(0).toString()))
                taken.insert(*mac);
        }
        named.finish();
        const std::optional<quint64> free = pool.firstFree(taken);
        if (!free) {
            rollback();
            allocation.error = QLatin1String(Exhausted);
            return allocation;
        }
        const QString mac = MacText::text(*free);
        QSqlQuery insert(m_database);
        insert.prepare(QStringLiteral(
            "INSERT INTO issued_macs (mac, dante_mac, dante_mac_read, address, model, station, run_id, issued_at, "
            "outcome) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        bindAll(insert, {mac, unit.danteMac, unit.identified ? 1 : 0, unit.address, unit.model, m_station.name,
                         m_station.runId, recordTime(time), Issued});
        if (!insert.exec()) {
            const QSqlError sqlError = insert.lastError();
            error = sqlError.text();
            rollback();
            if (isConflict(sqlError))
                continue;
            break;
        }
        if (!commit(&error))
            break;
        allocation.mac = mac;
        return allocation;
    }
    allocation.error = fail(error);
    return allocation;
}

bool Ledger::markProgrammed(const QString &mac)
{
    return update(QStringLiteral("UPDATE issued_macs SET outcome = ? WHERE mac = ? AND outcome = ?"),
                  {Programmed, mac, Issued});
}

bool Ledger::markRefused(const QString &mac, const QString &reason)
{
    return update(QStringLiteral("UPDATE issued_macs SET outcome = ?, reason = ? WHERE mac = ?"),
                  {Refused, reason, mac});
}

bool Ledger::update(const QString &statement, const QVariantList &values)
{
    if (QString down; !connected(&down)) {
        fail(down);
        return false;
    }
    QSqlQuery query(m_database);
    query.prepare(statement);
    bindAll(query, values);
    QString error;
    if (execute(query, &error))
        return true;
    fail(error);
    return false;
}

std::optional<Ledger::Issue> Ledger::issueOf(const QString &mac, QString *error)
{
    if (QString down; !connected(&down)) {
        *error = fail(down);
        return std::nullopt;
    }
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("SELECT dante_mac, dante_mac_read, outcome FROM issued_macs WHERE mac = ?"));
    bindAll(query, {mac.toUpper()});
    if (!execute(query, error)) {
        *error = fail(*error);
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    return Issue{query.value(0).toString(), query.value(1).toInt() == 1, query.value(2).toString()};
}

// One statement, atomic in both databases: the row is written when there is
// none, when it is this run's, or when its claim has lapsed.
Ledger::Claim Ledger::claim(const QString &danteMac, const QDateTime &now)
{
    if (QString down; !connected(&down)) {
        return {false, QString(), fail(down)};
    }
    Claim result;
    const qint64 nowMs = now.toMSecsSinceEpoch();
    QSqlQuery upsert(m_database);
    upsert.prepare(QStringLiteral(
        "INSERT INTO unit_claims (dante_mac, run_id, station, claimed_at_ms) VALUES (?, ?, ?, ?) "
        "ON CONFLICT (dante_mac) DO UPDATE SET run_id = excluded.run_id, station = excluded.station, "
        "claimed_at_ms = excluded.claimed_at_ms "
        "WHERE unit_claims.run_id = excluded.run_id OR unit_claims.claimed_at_ms < ?"));
    bindAll(upsert, {danteMac, m_station.runId, m_station.name, nowMs, nowMs - ClaimLifetimeMs});
    QString error;
    if (!execute(upsert, &error)) {
        result.error = fail(error);
        return result;
    }
    if (upsert.numRowsAffected() == 1) {
        result.ours = true;
        return result;
    }
    QSqlQuery holder(m_database);
    holder.prepare(QStringLiteral("SELECT station FROM unit_claims WHERE dante_mac = ?"));
    bindAll(holder, {danteMac});
    if (!execute(holder, &error)) {
        result.error = fail(error);
        return result;
    }
    result.station = holder.next() ? holder.value(0).toString() : QString();
    return result;
}

bool Ledger::releaseClaims()
{
    if (QString down; !connected(&down)) {
        fail(down);
        return false;
    }
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("DELETE FROM unit_claims WHERE run_id = ?"));
    bindAll(query, {m_station.runId});
    QString error;
    if (execute(query, &error))
        return true;
    fail(error);
    return false;
}

bool Ledger::releaseEarlierClaims()
{
    if (QString down; !connected(&down)) {
        fail(down);
        return false;
    }
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("DELETE FROM unit_claims WHERE station = ? AND run_id <> ?"));
    bindAll(query, {m_station.name, m_station.runId});
    QString error;
    if (execute(query, &error))
        return true;
    fail(error);
    return false;
}

bool Ledger::addRecords(const std::vector<Record> &records)
{
    if (QString down; !connected(&down)) {
        fail(down);
        return false;
    }
    if (records.empty())
        return true;
    QString error;
    QSqlQuery begin(m_database);
    if (!begin.exec(QStringLiteral("BEGIN"))) {
        fail(begin.lastError().text());
        return false;
    }
    QSqlQuery insert(m_database);
    insert.prepare(QStringLiteral(
        "INSERT INTO unit_records (run_id, station, operator, version, judged_at, address, model, control_mac, "
        "dante_mac, ready, checklist, programming_failure, record) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const Record &record : records) {
        const QByteArray checklist = QJsonDocument(QJsonArray::fromStringList(record.checklist))
                                         .toJson(QJsonDocument::Compact);
        const QByteArray object = QJsonDocument(record.record).toJson(QJsonDocument::Compact);
        bindAll(insert, {m_station.runId, m_station.name, m_station.operatorName, m_station.version,
                         recordTime(record.judgedAt), record.address, record.model, record.controlMac,
                         record.danteMac, record.ready ? 1 : 0, QString::fromUtf8(checklist),
                         record.programmingFailure, QString::fromUtf8(object)});
        if (!execute(insert, &error)) {
            rollback();
            fail(error);
            return false;
        }
    }
    if (!commit(&error)) {
        fail(error);
        return false;
    }
    return true;
}

bool Ledger::importMacs(const std::vector<ImportedMac> &macs, int *added)
{
    *added = 0;
    QString error;
    if (!beginExclusive("issued_macs", &error)) {
        fail(error);
        return false;
    }
    QSqlQuery insert(m_database);
    insert.prepare(QStringLiteral(
        "INSERT INTO issued_macs (mac, dante_mac, dante_mac_read, address, model, station, run_id, issued_at, "
        "outcome, reason) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (mac) DO NOTHING"));
    for (const ImportedMac &mac : macs) {
        const std::optional<quint64> dante = MacText::parse(mac.danteMac);
        const bool identified =
            dante && UnitFactory::hasPrefix(MacText::bytes(*dante), UnitFactory::DanteMacPrefix);
        bindAll(insert, {mac.mac, mac.danteMac.toUpper(), identified ? 1 : 0, mac.address, mac.model,
                         mac.station.isEmpty() ? m_station.name : mac.station, m_station.runId,
                         mac.time.isValid() ? recordTime(mac.time) : QString(QLatin1String("")),
                         mac.refused ? Refused : Imported, mac.reason});
        if (!execute(insert, &error)) {
            rollback();
            fail(error);
            return false;
        }
        *added += insert.numRowsAffected() == 1;
    }
    if (!commit(&error)) {
        fail(error);
        return false;
    }
    return true;
}
