#include "app/hvtkutilities.h"

void HVTKUtilities::showAboutMessage()
{
}

void HVTKUtilities::on_m_cmdNotes_clicked()
{
}

void HVTKUtilities::on_m_cmdWebSrv_clicked()
{
}

