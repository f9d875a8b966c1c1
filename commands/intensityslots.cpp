#include "app/hvtkutilities.h"

#include "channel/commandtext.h"

#include <QTimer>

namespace {

// A drag sends one command, once the slider has rested this long.
constexpr int IntensityRestMs = 500;

} // namespace

void HVTKUtilities::on_m_LEDIntensity_valueChanged()
{
    if (m_bIntensitySetByProgram)
        return;
    m_tmrPoll->stop();
    m_bAwaitingReply = true;
    m_nIntensityToSend = ui.m_LEDIntensity->value();
    ui.m_lblLEDIntensity->setText(tr("%1%").arg(m_nIntensityToSend));
    m_tmrLEDIntensity->stop();
    m_tmrLEDIntensity->setInterval(IntensityRestMs);
    m_tmrLEDIntensity->start();
}

void HVTKUtilities::setLEDIntensity()
{
    // An invalid address leaves the timer running: the test repeats until the
    // field holds an address again.
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return;
    m_tmrLEDIntensity->stop();
    // The user's value, not the slider's: while the send waited, going offline
    // may have moved the slider to 0, or a status reply to the unit's own value.
    sendDatagram(unit, CommandText::ledIntensity(m_nIntensityToSend));
}
