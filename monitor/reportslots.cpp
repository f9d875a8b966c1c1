#include "app/hvtkutilities.h"

void HVTKUtilities::renderDetailsReport(const QString &header, int blockLength)
{
}

void HVTKUtilities::refreshIoPanel()
{
}

QString HVTKUtilities::displayErrors()
{
    return QString();
}

