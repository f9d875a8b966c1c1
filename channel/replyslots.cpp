#include "app/hvtkutilities.h"

#include "channel/logrow.h"
#include "channel/replyframing.h"
#include "channel/resultcodes.h"
#include "monitor/unitpoll.h"

#include <QThread>
#include <QTime>
#include <QTimer>
#include <QUdpSocket>

namespace {
constexpr unsigned long WebPortalDelayMs = 2000;
// Stray datagrams dropped in one notification before the event loop gets a
// turn: enough to keep ahead of a flood, few enough that a notification of
// the largest datagrams stays a few milliseconds.
constexpr int MaxDatagramsPerNotification = 256;
}

// Only the selected unit is listened to. Datagrams from other senders are
// read and dropped without touching any state, the poll timer included, as
// many as are waiting (up to a bound), so that a flood of them cannot fill
// the receive buffer and push out the unit's reply. The unit's own datagrams
// are taken one per call: the first one ends the call, and any further ones
// wait for the next notification.
void HVTKUtilities::readPendingUnicastResponse()
{
    const QHostAddress unit(ui.m_txtIP->text());
    for (int read = 0; read < MaxDatagramsPerNotification && m_sockUnicast->hasPendingDatagrams(); ++read) {
        QByteArray datagram(int(qMax<qint64>(0, m_sockUnicast->pendingDatagramSize())), '\0');
        QHostAddress sender;
        const qint64 size = m_sockUnicast->readDatagram(datagram.data(), datagram.size(), &sender);
        if (size < 0 || !ReplyFraming::sentByUnit(sender, unit))
            continue;
        datagram.truncate(int(size));

        const UnitPoll::Reply reply = UnitPoll::take(datagram);
        if (reply.kind != UnitPoll::ReplyKind::Ignored)
            handleUnitReply(reply.header, reply.block);
        m_tmrPoll->start();
        return;
    }
}

void HVTKUtilities::handleUnitReply(const QString &header, const QByteArray &block)
{
    m_bAwaitingReply = false;
    if (!m_bOnline)
        setOnlineUI(true);

    if (m_bRawReplyExpected) {
        showRawReply(header);
        m_bRawReplyExpected = false;
    } else if (UnitPoll::kindOf(header) == UnitPoll::ReplyKind::Status) {
        decodeStatusReply(header, block);
    } else {
        handleAcknowledgement(UnitPoll::acknowledgementCode(header));
    }
}

void HVTKUtilities::showRawReply(const QString &reply)
{
    if (!m_bPrivateMode)
        appendLogRow(LogRow::rawReply(QTime::currentTime(), reply));
    ui.statusbar->showMessage(tr("Status: Response received [") + reply + QLatin1Char(']'), 0);
}

void HVTKUtilities::handleAcknowledgement(const QString &reply)
{
    if (!ResultCodes::isSuccess(reply)) {
        ui.statusbar->showMessage(ResultCodes::failureStatus(reply, QString(), false), 0);
        UnitPoll::takeFailure(m_unitStatus, reply);
        ui.statusbar->showMessage(ResultCodes::failureStatus(reply, ResultCodes::failureText(reply)), 0);
        return;
    }
    ui.statusbar->showMessage(ResultCodes::successStatus(reply), 0);
    if (m_bFirmwareUpdatePending || m_bRestartPending || m_bDefaultsPending)
        setOnlineUI(false);
    if (m_bFirmwareUpdatePending) {
        QThread::msleep(WebPortalDelayMs);
        on_m_cmdWebSrv_clicked();
    }
}
