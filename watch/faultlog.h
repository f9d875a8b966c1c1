#pragma once

#include "fleet/recordfile.h"
#include "watch/servicehealth.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

// The fault log: JSON lines, one when a unit's service state or one of its
// conditions changed between two probes, with the states and conditions
// before and after, so that when a fault began and when it cleared can be
// read. A unit's first probe writes a line only when it is not ok.
class FaultLog
{
public:
    // The line for a probe of `target` judged `now` after `before` (none for
    // the unit's first probe), ending in a line feed; empty when nothing changed.
    static QByteArray line(const QString &target, const std::optional<ServiceHealth::Judgement> &before,
                           const ServiceHealth::Judgement &now, const QDateTime &time);

    // Opens (and creates) the log file for appending; false with `error` when
    // it cannot. The states its lines leave each unit in are taken as the
    // units' last probes, so a restarted program (or the next check) writes
    // only what changed since; a line that cannot be read is passed over.
    bool open(const QString &path, QString *error);
    // Takes one probe of `target`: writes and syncs its line, if any, and
    // remembers the judgement for the next probe. False with `error` when a
    // line could not be written whole and synced.
    bool record(const QString &target, const ServiceHealth::Judgement &now, const QDateTime &time, QString *error);

private:
    void takeExisting(const QString &path);

    RecordFile m_file;
    QHash<QString, ServiceHealth::Judgement> m_last;
};
