#include "app/hvtkutilities.h"
#include "app/setbyprogram.h"

#include "channel/commandtext.h"
#include "monitor/assemblyprofiles.h"

#include <QMessageBox>

namespace {

constexpr int DanteReferenceMacType = 1;

} // namespace

void HVTKUtilities::on_m_cmdSetProdAssembly_clicked()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    // The model is read before any question, so what goes out is what was confirmed.
    const int index = ui.m_cmbAssembly->currentIndex();
    // The entries before "UNKNOWN" are the assemblies with codes 1 to 10.
    if (index < 0 || index >= Assembly::Unknown) {
        askUser(tr("Invalid model selected."), tr("Please select a valid model."),
                QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    int flags = NoCommandFlags;
    if (m_bConfirmAssembly) {
        if (askUser(tr("Default settings will be loaded."), tr("Do you want to continue?"),
                    QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
            != QMessageBox::Ok) {
            const SetByProgram setByProgram(m_bAssemblySetByProgram);
            ui.m_cmbAssembly->setCurrentIndex(Assembly::Unknown);
            return;
        }
        flags = DefaultsPending;
        m_bConfirmAssembly = false;
    }
    sendCommand(unit, CommandText::assembly(index), tr("Status: Waiting for response..."), flags);
}

void HVTKUtilities::on_m_cmdSetMAC_clicked()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    // A hidden type box may still hold "DanteRef"; only what the user sees counts.
    const bool danteReference = ui.m_cmbMacType->isVisibleTo(this)
                                && ui.m_cmbMacType->currentIndex() == DanteReferenceMacType;
    sendCommand(unit, CommandText::macAddress(ui.m_txtMAC->text(), danteReference),
                tr("Status: Setting MAC Address..."));
}

void HVTKUtilities::on_m_cmdLEDCycleToggle_clicked()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::ledCycleToggle(), tr("Status: LED cycle inhibit toggle..."));
}

void HVTKUtilities::on_m_cmdRedetectUltimo_clicked()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::redetectUltimo(), tr("Status: Redetecting ultimo..."),
                RestartPending);
}

void HVTKUtilities::on_m_cmdClearReboots_clicked()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::clearPowerCycleCounter(),
                tr("Status: Clearing power cycle counter..."));
}

void HVTKUtilities::on_m_cmdSendPionCmd_clicked()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::custom(ui.m_txtPionCmd->text()),
                tr("Status: Sending custom Pioneer command..."), RawReplyExpected);
}
