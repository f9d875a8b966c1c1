#pragma once

#include "commission/commissionoptions.h"
#include "commission/commissionreport.h"
#include "commission/commissionunit.h"
#include "commission/planvalidator.h"
#include "commission/siteoutcomes.h"
#include "fleet/fleetrun.h"
#include "fleet/progressline.h"

#include <QDateTime>
#include <QList>

// One commissioning run over a site: finds the units on one socket, judges
// them against the plan, pushes to those that differ and verifies them, while
// the progress line counts. find() and apply() return when their part is
// over, running the event loop meanwhile.
class SiteRun
{
public:
    SiteRun(const CommissionOptions &options, const QList<PlannedUnit> &plan);

    // Finds the units and judges them; false with `error` when the socket
    // cannot be opened.
    bool find(QString *error);
    // Pushes to every unit that differs from its row and waits for each one's
    // outcome.
    void apply();

    // The units taken part, found or silent.
    int unitCount() const { return int(m_run.units().size()); }
    int foundCount() const;
    QHostAddress discoveryAddress() const { return m_run.discoveryAddress(); }

    // The plan of the units found, in address order, as CSV.
    QByteArray templateText() const;
    // One entry per plan row, unplanned and silent unit, as judged (and pushed).
    QList<ReportEntry> entries() const;

private:
    CommissionUnit &unit(int index) const;
    QList<FoundUnit> foundUnits() const;
    void waitForRun();
    void showProgress();

    CommissionOptions m_options;
    QList<PlannedUnit> m_plan;
    FleetRun m_run;
    ProgressLine m_progress;
    QDateTime m_startTime;
    qint64 m_judgedMs = 0;
    QList<SiteOutcome> m_outcomes;
};
