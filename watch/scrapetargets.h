#pragma once

#include "commission/planvalidator.h"

#include <QByteArray>
#include <QList>

// What Prometheus scrapes: the control addresses of a plan as a file_sd
// document, one target group per unit, the bare address (no port) labelled
// with the unit's local name.
namespace ScrapeTargets {

QByteArray fileSdDocument(const QList<PlannedUnit> &plan);

} // namespace ScrapeTargets
