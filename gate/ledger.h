#pragma once

#include "gate/macpool.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QString>

// The ledger of a production line: one JSON line per control MAC handed out
// from the master list, appended and never rewritten, shared by every station
// that programs from the same list. Each line holds "time", "mac", the unit's
// "danteMac", "address", "model", "station" (the host name) and "outcome":
// "programmed", or "failed" with a "reason" (a line for a MAC whose
// programming failed after it was handed out).
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

    struct Allocation
    {
        QString mac;        // empty: none, see `error`
        bool again = false; // the unit had this MAC already; no new line
        QString error;      // "master list exhausted", or why the ledger could not be read or written
    };

    static constexpr const char *Exhausted = "master list exhausted";

    // Opens (and creates) the file; false with `error` when it cannot.
    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_file.isOpen(); }

    // Under an exclusive lock on the file (flock), so that no other station
    // hands out a MAC meanwhile: reads the lines added since the last call,
    // then takes the MAC of the unit's Dante MAC's "programmed" line (unless a
    // later "failed" line took it back), or else the first MAC of `pool` that
    // no line names and appends its "programmed" line.
    Allocation allocate(const MacPool &pool, const Unit &unit, const QDateTime &time);

    // Appends a "failed" line for a MAC the unit did not take.
    bool recordFailure(const QString &mac, const Unit &unit, const QString &reason, const QDateTime &time,
                       QString *error);

private:
    bool readNewLines(QString *error);
    bool append(const QJsonObject &line, QString *error);
    QJsonObject line(const QString &mac, const Unit &unit, const QDateTime &time) const;

    QFile m_file;
    qint64 m_readUpTo = 0;       // bytes of whole lines read so far
    int m_linesRead = 0;
    QSet<quint64> m_named;       // every MAC a line names
    QHash<QString, QString> m_programmedFor; // Dante MAC -> control MAC it was given
};
