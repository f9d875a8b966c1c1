#pragma once

#include "gate/macpool.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <vector>

// The ledger of a production line, in its database (LedgerConnection): every
// control MAC handed out from the master list is a row of issued_macs, unique,
// committed before the MAC is sent to the unit; the units that a run works on
// are claimed there, and every judged unit is a row of unit_records. Stations
// on one database wait for each other's transactions (up to 10 s) and retry a
// conflict. Every operation that fails adds the database's message to
// failures(), and the caller fails the unit it was for.
class Ledger
{
public:
    // The unit a MAC is for, as it reported itself.
    struct Unit
    {
        QString danteMac;
        // The Dante MAC is a chip's own (inside its vendor prefix): only
        // then does it tell this unit from others, so that a MAC it was
        // given before is given again.
        bool identified = false;
        QString address;
        QString model;
    };

    // Who writes: this run and its station.
    struct Station
    {
        QString runId;
        QString name;
        QString operatorName;
        QString version;
    };

    struct Allocation
    {
        QString mac;        // empty: none, see `error`
        bool again = false; // the unit's Dante MAC holds this MAC already; no new row
        QString error;      // "master list exhausted", or the database's message
    };

    // The row of a MAC the ledger handed out.
    struct Issue
    {
        QString danteMac;
        bool identified = false;
        QString outcome; // "issued", "programmed", "refused" or "imported"
    };

    struct Claim
    {
        bool ours = false; // this run may work on the unit
        QString station;   // otherwise: the station whose run holds it
        QString error;     // the database failed: neither
    };

    // One judged unit for unit_records.
    struct Record
    {
        QDateTime judgedAt;
        QString address;
        QString model;
        QString controlMac;
        QString danteMac;
        bool ready = false;
        QStringList checklist;
        QString programmingFailure;
        QJsonObject record;
    };

    // A MAC that an earlier JSON-lines ledger handed out.
    struct ImportedMac
    {
        QString mac;
        QString danteMac; // empty: the line lost it
        QString address;
        QString model;
        QString station;
        QDateTime time;   // invalid: the line lost it
        bool refused = false;
        QString reason;
    };

    static constexpr const char *Exhausted = "master list exhausted";
    // A claim lapses this long after it was made, so that a killed station blocks nothing.
    static constexpr qint64 ClaimLifetimeMs = 2 * 60 * 1000;

    // `database`: open, with the schema (LedgerConnection); `name` stands for it in messages.
    Ledger(const QSqlDatabase &database, const QString &name, const Station &station);

    // In one transaction that excludes every other station's allocation: the
    // MAC of the unit's Dante MAC when it was handed one that it did not
    // refuse (`identified` units only), or else the first MAC of `pool` that
    // no row names, as a new row "issued", committed.
    Allocation allocate(const MacPool &pool, const Unit &unit, const QDateTime &time);
    // The unit acknowledged the MAC.
    bool markProgrammed(const QString &mac);
    // The unit refused the MAC: it is never handed out again either.
    bool markRefused(const QString &mac, const QString &reason);

    // The row of `mac`, if the ledger handed it out; `error` set when the
    // database could not tell.
    std::optional<Issue> issueOf(const QString &mac, QString *error);

    // Claims the unit of `danteMac` for this run, unless another run holds a
    // claim that has not lapsed.
    Claim claim(const QString &danteMac, const QDateTime &now);
    // The run ends: its claims lapse.
    bool releaseClaims();
    // The run starts: the claims of this station's earlier runs lapse. A
    // station works one run at a time, so such a run was killed or lost its
    // database before it could release them.
    bool releaseEarlierClaims();

    bool addRecords(const std::vector<Record> &records);

    // In one transaction: a row for each MAC that no row names yet (an
    // "imported" one, or "refused"); `added` counts them.
    bool importMacs(const std::vector<ImportedMac> &macs, int *added);

    // The database's messages, "LEDGER: ...", each once, in order.
    const QStringList &failures() const { return m_failures; }

private:
    bool connected(QString *error) const;
    bool execute(class QSqlQuery &query, QString *error);
    // One statement that changes rows, with `values` bound in order; false
    // (the ledger failed) when it could not be made.
    bool update(const QString &statement, const QVariantList &values);
    bool beginExclusive(const char *table, QString *error);
    void rollback();
    bool commit(QString *error);
    QString fail(const QString &message);

    QSqlDatabase m_database;
    QString m_name;
    Station m_station;
    bool m_postgres = false;
    QStringList m_failures;
};
