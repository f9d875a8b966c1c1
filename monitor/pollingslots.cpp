#include "app/hvtkutilities.h"

void HVTKUtilities::readSettingsAndData()
{
}

void HVTKUtilities::connectToUnit()
{
}

void HVTKUtilities::setOnlineUI(bool online)
{
}

