#pragma once

#include "fleet/fleetrun.h"
#include "watch/proberesult.h"

#include <QHostAddress>
#include <QObject>

// One probe of one unit: a run of its own (its own socket on a free port)
// that polls the unit at `target` until two replies agree or `timeoutMs`
// runs out. The plan is not its business.
class UnitProbe : public QObject
{
    Q_OBJECT

public:
    UnitProbe(const QHostAddress &target, int timeoutMs, QObject *parent = nullptr);

    // False with `error` when the socket cannot be opened.
    bool start(QString *error);
    // What the probe learned; complete after finished().
    ProbeResult result() const;

signals:
    void finished();

private:
    FleetRun m_run;
};
