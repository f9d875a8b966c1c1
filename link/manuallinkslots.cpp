#include "app/hvtkutilities.h"

void HVTKUtilities::on_m_txtUALControlIP_textChanged()
{
}

void HVTKUtilities::on_m_txtUALControlSM_textChanged()
{
}

void HVTKUtilities::on_m_txtUALControlGW_textChanged()
{
}

void HVTKUtilities::on_m_txtUALStationLocalName_textChanged()
{
}

void HVTKUtilities::on_m_txtUALDanteIP_textChanged()
{
}

void HVTKUtilities::on_m_txtUALDanteSM_textChanged()
{
}

void HVTKUtilities::on_m_txtUALDanteGW_textChanged()
{
}

void HVTKUtilities::on_m_txtUALStationDanteName_textChanged()
{
}

void HVTKUtilities::on_m_txtUALQsysIP_textChanged()
{
}

void HVTKUtilities::on_m_txtUALStationID_textChanged()
{
}

void HVTKUtilities::showManualLink()
{
}

void HVTKUtilities::on_m_cmdUALGo_clicked()
{
}

void HVTKUtilities::on_m_cmdUALClose_clicked()
{
}

void HVTKUtilities::updateUALStates()
{
}

