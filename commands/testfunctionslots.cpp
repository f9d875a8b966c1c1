#include "app/hvtkutilities.h"

void HVTKUtilities::ledStateToggle()
{
}

void HVTKUtilities::sonalertTest()
{
}

void HVTKUtilities::muteHandsetToggle()
{
}

void HVTKUtilities::reboot()
{
}

void HVTKUtilities::loadDefaults()
{
}

void HVTKUtilities::firmwareUpdateMode()
{
}

