#include "app/hvtkutilities.h"

void HVTKUtilities::scanNetwork()
{
}

void HVTKUtilities::readPendingBroadcastResponse()
{
}

void HVTKUtilities::on_m_txtScanSM_textChanged()
{
}

void HVTKUtilities::on_m_cmdBdcstSMSelect_clicked()
{
}

