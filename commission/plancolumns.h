#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The eleven columns of a commissioning plan, in the order the template
// writes them. The header names are those of hvtk-check's JSON where the two
// overlap.
namespace PlanColumns {

enum Column {
    ControlMac,
    ControlIp,
    ControlMask,
    ControlGateway,
    LocalName,
    DanteIp,
    DanteMask,
    DanteGateway,
    DanteName,
    QsysCoreIp,
    StationId,
};
constexpr int Count = 11;

// "controlMac", "controlIp", ...
QString name(Column column);
QStringList names();

} // namespace PlanColumns

// One value per column, indexed by PlanColumns::Column.
using PlanFields = std::array<QString, PlanColumns::Count>;
