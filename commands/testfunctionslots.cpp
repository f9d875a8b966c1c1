#include "app/hvtkutilities.h"

#include "channel/commandtext.h"

namespace {

UserQuestion rebootQuestion()
{
    return {HVTKUtilities::tr("Are you sure?"), QString(), QMessageBox::Yes | QMessageBox::No,
            QMessageBox::No};
}

UserQuestion loadDefaultsQuestion()
{
    return {HVTKUtilities::tr("THIS WILL ERASE ALL THE USER SETTINGS!!!"),
            HVTKUtilities::tr("Please confirm."), QMessageBox::RestoreDefaults | QMessageBox::Abort,
            QMessageBox::Abort};
}

} // namespace

void HVTKUtilities::ledStateToggle()
{
    if (sendUnitCommand(CommandText::ledStateToggle(m_nLEDToggleStep), tr("Status: Toggling LEDs...")))
        m_nLEDToggleStep = CommandText::nextLedToggleStep(m_nLEDToggleStep, m_nLedCount);
}

void HVTKUtilities::sonalertTest()
{
    sendUnitCommand(CommandText::ringerTest(), tr("Status: Sonalert test..."));
}

void HVTKUtilities::muteHandsetToggle()
{
    sendUnitCommand(CommandText::handsetMute(m_unitStatus.handsetMuted), tr("Status: Handset mute..."));
}

// In private mode, the production line's, the two erasing commands ask nothing.
void HVTKUtilities::reboot()
{
    const auto confirmed = [this] {
        return m_bPrivateMode || askUser(rebootQuestion()) == QMessageBox::Yes;
    };
    sendUnitCommand(CommandText::reboot(), tr("Status: Rebooting..."), RestartPending, confirmed);
}

void HVTKUtilities::loadDefaults()
{
    const auto confirmed = [this] {
        return m_bPrivateMode || askUser(loadDefaultsQuestion()) == QMessageBox::RestoreDefaults;
    };
    sendUnitCommand(CommandText::loadDefaults(), tr("Status: Defaulting settings and rebooting..."),
                    DefaultsPending, confirmed);
}

void HVTKUtilities::firmwareUpdateMode()
{
    sendUnitCommand(CommandText::firmwareUpdateMode(), tr("Status: Entering bootloader..."),
                    FirmwareUpdatePending);
}
