#include "sim/unitmodel.h"

#include "monitor/assemblyprofiles.h"

#include <QStringList>

namespace UnitModels {

namespace {

// The assembly codes count from 1 in the order of the tool's assembly box.
UnitModel model(const char *name, int assemblyCode)
{
    const Assembly::Profile profile = Assembly::profile(assemblyCode - 1);
    return {QLatin1String(name), assemblyCode, profile.indicatorCount, profile.intercom,
            profile.ultimoXClass};
}

} // namespace

const QVector<UnitModel> &all()
{
    static const QVector<UnitModel> models{
        model("HV4", 1),   model("HV4X", 2),  model("HV4K", 3), model("HV12X", 4),
        model("HV16", 5),  model("HV16K", 6), model("HV32K", 7), model("TK4K", 8),
        model("TK12X", 9), model("TK32K", 10),
        model("Halvo", 1), // the old model word of early HV4 units
    };
    return models;
}

std::optional<UnitModel> find(const QString &name)
{
    for (const UnitModel &model : all()) {
        if (model.name == name)
            return model;
    }
    return std::nullopt;
}

std::optional<UnitModel> byAssemblyCode(int code)
{
    for (const UnitModel &model : all()) {
        if (model.assemblyCode == code)
            return model;
    }
    return std::nullopt;
}

QStringList names()
{
    QStringList result;
    for (const UnitModel &model : all())
        result << model.name;
    return result;
}

} // namespace UnitModels
