#include "app/hvtkutilities.h"
#include "app/indicatorpaint.h"
#include "app/setbyprogram.h"

#include "monitor/iopanel.h"

#include <QAction>
#include <QLabel>
#include <QSlider>

namespace {

using IoPanel::Indicator;

// Labels hidden by the program are left alone; the window itself need not be
// on screen for a label to count as shown.
bool shown(const QLabel *label)
{
    return label->isVisibleTo(label->window());
}

} // namespace

void HVTKUtilities::refreshIoPanel()
{
    const UnitStatus &s = m_unitStatus;
    paintIndicator(ui.m_PTTState, IoPanel::pttColour(s.pttState), Indicator::PushToTalk);
    paintIndicator(ui.m_SonalertState, IoPanel::flagColour(s.ringerOn), Indicator::Ringer);
    paintIndicator(ui.m_HandsetMutedState, IoPanel::flagColour(s.handsetMuted), Indicator::HandsetMuted);
    ui.actionMute_Handset->setText((s.handsetMuted ? tr("Unmute") : tr("Mute")) + tr(" Handset"));

    const int inputCount = qMin<int>(m_nInputCount, int(m_lblInputs.size()));
    for (int n = 1; n <= inputCount; ++n) {
        if (shown(m_lblInputs[n - 1]))
            paintIndicator(m_lblInputs[n - 1], IoPanel::inputColour(s.inputBits, n), Indicator::Input, n);
    }

    QLabel *const dipOn[] = {ui.m_DIPSWOn_1, ui.m_DIPSWOn_2, ui.m_DIPSWOn_3, ui.m_DIPSWOn_4};
    QLabel *const dipOff[] = {ui.m_DIPSWOff_1, ui.m_DIPSWOff_2, ui.m_DIPSWOff_3, ui.m_DIPSWOff_4};
    for (int k = 0; k < 4; ++k) {
        const IoPanel::DipSwitchColours colours = IoPanel::dipSwitchColours(s.dipSwitchOff[k]);
        paintIndicator(dipOn[k], colours.onCell, Indicator::DipSwitchOnCell, k + 1);
        paintIndicator(dipOff[k], colours.offCell, Indicator::DipSwitchOffCell, k + 1);
    }

    const int ledCount = qMin<int>(m_nLedCount, int(m_lblLEDs.size()));
    if (ledCount > 4) {
        for (int n = 1; n <= ledCount; ++n) {
            if (shown(m_lblLEDs[n - 1]))
                paintIndicator(m_lblLEDs[n - 1], IoPanel::ledColour(s.ledBits, n), Indicator::Led, n);
        }
    }
    if (s.hasLedColours && ledCount == 4) {
        for (int n = 1; n <= 4; ++n) {
            if (shown(m_lblLEDs[n - 1]))
                paintIndicator(m_lblLEDs[n - 1], IoPanel::ledLetterColour(s.ledColours[n - 1]), Indicator::Led, n);
        }
    }

    if (s.hasFeatureBits) {
        paintIndicator(ui.m_SnoozingAllowed, IoPanel::flagColour(s.featureBits & SnoozingAllowed),
                       Indicator::SnoozingAllowed);
        paintIndicator(ui.m_ButtonTapsEnabled, IoPanel::flagColour(s.featureBits & ButtonTapsEnabled),
                       Indicator::ButtonTaps);
        paintIndicator(ui.m_PTTZoneModeEnabled, IoPanel::flagColour(s.featureBits & PttZoneModeEnabled),
                       Indicator::PttZoneMode);
    }

    ui.m_lblLEDIntensity->setText(QString::asprintf("%d%%", s.ledIntensity));
    const SetByProgram setByProgram(m_bIntensitySetByProgram);
    ui.m_LEDIntensity->setValue(s.ledIntensity);
}
