#include "app/hvtkutilities.h"

void HVTKUtilities::on_m_cmdSetProdAssembly_clicked()
{
}

void HVTKUtilities::on_m_cmdSetMAC_clicked()
{
}

void HVTKUtilities::on_m_cmdLEDCycleToggle_clicked()
{
}

void HVTKUtilities::on_m_cmdRedetectUltimo_clicked()
{
}

void HVTKUtilities::on_m_cmdClearReboots_clicked()
{
}

void HVTKUtilities::on_m_cmdSendPionCmd_clicked()
{
}

