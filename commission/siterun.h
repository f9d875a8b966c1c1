#pragma once

#include "commission/commissionoptions.h"
#include "commission/commissionreport.h"
#include "commission/commissionunit.h"
#include "commission/planvalidator.h"
#include "commission/siteoutcomes.h"
#include "commission/siterecord.h"
#include "fleet/fleetrun.h"
#include "fleet/localsubnets.h"
#include "fleet/progressline.h"
#include "fleet/recordfile.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>

// One commissioning run over a site: finds the units on one socket, judges
// them against the plan and, with --apply, pushes to those that differ and
// verifies them, while the progress line counts. Before a unit's first link
// datagram its "pushing" line is in the record and synced. Ends with
// finished(), as CheckRun does; stop() ends it early without sending more.
class SiteRun : public QObject
{
    Q_OBJECT

public:
    SiteRun(const CommissionOptions &options, const QList<PlannedUnit> &plan, QObject *parent = nullptr);

    // The record the "pushing" lines go to (open), and the run's name in them.
    void setRecord(RecordFile *record, const RunName &name);
    // A revert: `pushed[i]` is what the reverted run did to the unit of plan
    // row i. A unit changed since is a conflict; a unit found at one of its
    // addresses is not waited for at the other, and silent units are left out.
    void setReverting(const QList<SiteRecord::Pushed> &pushed);

    // Opens the socket and sends the first requests; false with `error` when
    // the socket cannot be opened.
    bool start(QString *error);
    // Sends nothing more and finishes at once with what is known.
    void stop();
    bool stopped() const { return m_stopped; }
    // Why nothing was pushed: the record could not be written; empty otherwise.
    QString recordError() const { return m_recordError; }

    // The units taken part, found or silent.
    int unitCount() const { return int(m_run.units().size()); }
    int foundCount() const;
    QList<QHostAddress> discoveryAddresses() const { return m_run.discoveryAddresses(); }
    // This workstation's subnets, as the run started.
    const QList<Subnet> &subnets() const { return m_subnets; }

    // The plan of the units found, in address order, as CSV.
    QByteArray templateText() const;
    // One entry per plan row, unplanned and silent unit, as judged (and pushed).
    QList<ReportEntry> entries() const;

signals:
    // The run is over (or stopped); entries() tells how it went.
    void finished();

private:
    enum class Stage { Finding, Applying, Done };

    CommissionUnit &unit(int index) const;
    QList<FoundUnit> foundUnits() const;
    ReportEntry entry(const SiteOutcome &outcome) const;
    void judge();
    void pushAll();
    bool writeAhead(const QList<SiteOutcome> &pushing);
    void runFinished();
    void showProgress();
    void stopFindingFoundElsewhere();

    CommissionOptions m_options;
    QList<PlannedUnit> m_plan;
    QList<SiteRecord::Pushed> m_reverting; // per plan row, with --revert
    QHash<quint32, QString> m_revertMacs;  // address -> control MAC looked for there
    FleetRun m_run;
    ProgressLine m_progress;
    RecordFile *m_record = nullptr;
    RunName m_name;
    QList<Subnet> m_subnets;
    QDateTime m_startTime;
    qint64 m_judgedMs = 0;
    QList<SiteOutcome> m_outcomes;
    Stage m_stage = Stage::Finding;
    bool m_stopped = false;
    QString m_recordError;
};
