#include "app/hvtkutilities.h"
#include "app/setbyprogram.h"

#include "channel/commandtext.h"
#include "monitor/assemblyprofiles.h"

namespace {

constexpr int DanteReferenceMacType = 1;

UserQuestion invalidModelNotice()
{
    return {HVTKUtilities::tr("Invalid model selected."), HVTKUtilities::tr("Please select a valid model."),
            QMessageBox::Ok, QMessageBox::Ok};
}

UserQuestion defaultsWarning()
{
    return {HVTKUtilities::tr("Default settings will be loaded."),
            HVTKUtilities::tr("Do you want to continue?"), QMessageBox::Ok | QMessageBox::Cancel,
            QMessageBox::Cancel};
}

} // namespace

void HVTKUtilities::on_m_cmdSetProdAssembly_clicked()
{
    // The model is read before any question, so what goes out is what was confirmed.
    const int index = ui.m_cmbAssembly->currentIndex();
    // Only the first programming asks, and only it loads the unit's defaults.
    const bool firstProgramming = m_bConfirmAssembly;
    const auto confirmed = [&] {
        // The entries before "UNKNOWN" are the assemblies with codes 1 to 10.
        if (index < 0 || index >= Assembly::Unknown) {
            askUser(invalidModelNotice());
            return false;
        }
        if (firstProgramming && askUser(defaultsWarning()) != QMessageBox::Ok) {
            const SetByProgram setByProgram(m_bAssemblySetByProgram);
            ui.m_cmbAssembly->setCurrentIndex(Assembly::Unknown);
            return false;
        }
        return true;
    };
    if (sendUnitCommand(CommandText::assembly(index), tr("Status: Waiting for response..."),
                        firstProgramming ? DefaultsPending : NoCommandFlags, confirmed))
        m_bConfirmAssembly = false;
}

void HVTKUtilities::on_m_cmdSetMAC_clicked()
{
    // A hidden type box may still hold "DanteRef"; only what the user sees counts.
    const bool danteReference = ui.m_cmbMacType->isVisibleTo(this)
                                && ui.m_cmbMacType->currentIndex() == DanteReferenceMacType;
    sendUnitCommand(CommandText::macAddress(ui.m_txtMAC->text(), danteReference),
                    tr("Status: Setting MAC Address..."));
}

void HVTKUtilities::on_m_cmdLEDCycleToggle_clicked()
{
    sendUnitCommand(CommandText::ledCycleToggle(), tr("Status: LED cycle inhibit toggle..."));
}

void HVTKUtilities::on_m_cmdRedetectUltimo_clicked()
{
    sendUnitCommand(CommandText::redetectUltimo(), tr("Status: Redetecting ultimo..."), RestartPending);
}

void HVTKUtilities::on_m_cmdClearReboots_clicked()
{
    sendUnitCommand(CommandText::clearPowerCycleCounter(), tr("Status: Clearing power cycle counter..."));
}

void HVTKUtilities::on_m_cmdSendPionCmd_clicked()
{
    sendUnitCommand(CommandText::custom(ui.m_txtPionCmd->text()),
                    tr("Status: Sending custom Pioneer command..."), RawReplyExpected);
}
