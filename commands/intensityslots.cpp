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
    ui.m_lblLEDIntensity->setText(tr("%1%").arg(ui.m_LEDIntensity->value()));
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
    sendDatagram(unit, CommandText::ledIntensity(ui.m_LEDIntensity->value()));
}
