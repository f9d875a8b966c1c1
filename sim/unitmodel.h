#pragma once

#include <QString>
#include <QVector>

#include <optional>

// The assemblies a unit can be built as, and the old model word "Halvo" that
// early paging units send instead of "HV4". The assembly code is what the
// "%dPAHV" command programs (1 to 10).
struct UnitModel
{
    QString name;
    int assemblyCode = 0;
    int ioCount = 0;      // inputs and LEDs
    bool intercom = false; // the Tesk family
    bool ultimoX = false;  // built with the UltimoX2 chip; false for the compatibility models
};

namespace UnitModels {

const QVector<UnitModel> &all();
// Exact, case-sensitive name lookup.
std::optional<UnitModel> find(const QString &name);
std::optional<UnitModel> byAssemblyCode(int code);
QStringList names();

} // namespace UnitModels
