#include "app/hvtkutilities.h"

void HVTKUtilities::on_m_cmbAssembly_currentIndexChanged(int index)
{
}

void HVTKUtilities::on_m_cmbMacType_currentIndexChanged(int index)
{
}

void HVTKUtilities::displayMacType(bool show, bool force)
{
}

