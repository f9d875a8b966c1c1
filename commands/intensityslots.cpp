#include "app/hvtkutilities.h"

void HVTKUtilities::on_m_LEDIntensity_valueChanged()
{
}

void HVTKUtilities::setLEDIntensity()
{
}

