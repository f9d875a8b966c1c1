#include "app/hvtkutilities.h"

#include "channel/commandtext.h"

#include <QScrollBar>
#include <QTimer>
#include <QUdpSocket>

// The common send procedure of every command to the selected unit.

QHostAddress HVTKUtilities::validatedUnitAddress(const QString &invalidText)
{
    const QHostAddress unit(ui.m_txtIP->text());
    if (unit.isNull())
        ui.statusbar->showMessage(invalidText, 0);
    return unit;
}

void HVTKUtilities::sendCommand(const QHostAddress &unit, const QByteArray &command,
                                const QString &statusText, int flags)
{
    m_tmrPoll->stop();
    m_bAwaitingReply = true;
    if (flags & RawReplyExpected)
        m_bRawReplyExpected = true;
    if (flags & RestartPending)
        m_bRestartPending = true;
    if (flags & DefaultsPending)
        m_bDefaultsPending = true;
    if (flags & FirmwareUpdatePending)
        m_bFirmwareUpdatePending = true;
    if (!statusText.isEmpty())
        ui.statusbar->showMessage(statusText, 0);
    sendDatagram(unit, command);
}

void HVTKUtilities::sendDatagram(const QHostAddress &unit, const QByteArray &datagram)
{
    m_sockUnicast->writeDatagram(datagram, unit, CommandText::UnitPort);
}

void HVTKUtilities::appendLogRow(const QString &html)
{
    ui.m_txtDetails->append(html);
    QScrollBar *scrollBar = ui.m_txtDetails->verticalScrollBar();
    scrollBar->setValue(scrollBar->maximum());
}
