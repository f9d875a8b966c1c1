#include "app/hvtkutilities.h"

void HVTKUtilities::readPendingUnicastResponse()
{
}

