#include "sim/unitmodel.h"

#include "monitor/assemblyprofiles.h"

#include <QStringList>

namespace UnitModels {

namespace {

// The assembly codes count from 1 in the order of the tool's assembly box.
UnitModel model(const QString &name, int assemblyCode)
{
    const Assembly::Profile profile = Assembly::profile(assemblyCode - 1);
    return {name, assemblyCode, profile.indicatorCount, profile.intercom, profile.ultimoXClass};
}

QVector<UnitModel> knownModels()
{
    QVector<UnitModel> models;
    for (int index = 0; index < Assembly::Unknown; ++index)
        models << model(Assembly::name(index), index + 1);
    models << model(QStringLiteral("Halvo"), 1); // the old model word of early HV4 units
    return models;
}

} // namespace

const QVector<UnitModel> &all()
{
    static const QVector<UnitModel> models = knownModels();
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
