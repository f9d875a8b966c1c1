#include "app/hvtkutilities.h"

#include "channel/commandtext.h"

#include <QMessageBox>

void HVTKUtilities::ledStateToggle()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::ledStateToggle(m_nLEDToggleStep), tr("Status: Toggling LEDs..."));
    m_nLEDToggleStep = CommandText::nextLedToggleStep(m_nLEDToggleStep, m_nLedCount);
}

void HVTKUtilities::sonalertTest()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::ringerTest(), tr("Status: Sonalert test..."));
}

void HVTKUtilities::muteHandsetToggle()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::handsetMute(m_unitStatus.handsetMuted),
                tr("Status: Handset mute..."));
}

void HVTKUtilities::reboot()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    if (!m_bPrivateMode
        && askUser(tr("Are you sure?"), QString(), QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::No)
               != QMessageBox::Yes)
        return;
    sendCommand(unit, CommandText::reboot(), tr("Status: Rebooting..."), RestartPending);
}

void HVTKUtilities::loadDefaults()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    if (!m_bPrivateMode
        && askUser(tr("THIS WILL ERASE ALL THE USER SETTINGS!!!"), tr("Please confirm."),
                   QMessageBox::RestoreDefaults | QMessageBox::Abort, QMessageBox::Abort)
               != QMessageBox::RestoreDefaults)
        return;
    sendCommand(unit, CommandText::loadDefaults(),
                tr("Status: Defaulting settings and rebooting..."), DefaultsPending);
}

void HVTKUtilities::firmwareUpdateMode()
{
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    sendCommand(unit, CommandText::firmwareUpdateMode(), tr("Status: Entering bootloader..."),
                FirmwareUpdatePending);
}
