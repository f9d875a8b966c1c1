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
}

// One datagram per call. Only the selected unit is listened to: a datagram
// from any other sender is read and dropped without touching any state, the
// poll timer included.
void HVTKUtilities::readPendingUnicastResponse()
{
    if (!m_sockUnicast->hasPendingDatagrams())
        return;
    QByteArray datagram(int(qMax<qint64>(0, m_sockUnicast->pendingDatagramSize())), '\0');
    QHostAddress sender;
    const qint64 read = m_sockUnicast->readDatagram(datagram.data(), datagram.size(), &sender);
    if (read < 0 || !ReplyFraming::sentByUnit(sender, QHostAddress(ui.m_txtIP->text())))
        return;
    datagram.truncate(int(read));

    const UnitPoll::Reply reply = UnitPoll::take(datagram);
    if (reply.kind != UnitPoll::ReplyKind::Ignored)
        handleUnitReply(reply.header, reply.block);
    m_tmrPoll->start();
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
