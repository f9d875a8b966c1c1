#include "sim/unitmodel.h"

#include <QStringList>

namespace UnitModels {

const QVector<UnitModel> &all()
{
    static const QVector<UnitModel> models{
        {QStringLiteral("HV4"), 1, 4, false, false},
        {QStringLiteral("HV4X"), 2, 4, false, true},
        {QStringLiteral("HV4K"), 3, 4, false, true},
        {QStringLiteral("HV12X"), 4, 12, false, true},
        {QStringLiteral("HV16"), 5, 16, false, false},
        {QStringLiteral("HV16K"), 6, 16, false, true},
        {QStringLiteral("HV32K"), 7, 32, false, true},
        {QStringLiteral("TK4K"), 8, 4, true, true},
        {QStringLiteral("TK12X"), 9, 12, true, true},
        {QStringLiteral("TK32K"), 10, 32, true, true},
        {QStringLiteral("Halvo"), 1, 4, false, false},
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
