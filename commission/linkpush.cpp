#include "commission/linkpush.h"

#include "channel/resultcodes.h"

namespace {

// After the answer to datagram `index`, the next one waits this long.
int gapAfter(int index)
{
    switch (index) {
    case 1:
        return LinkPush::StationNameGapMs;
    case 2:
        return LinkPush::DanteNameGapMs;
    default:
        return 0;
    }
}

QString datagramName(int index)
{
    static const char *const names[] = {"link start", "station name", "Dante name", "addresses"};
    return QString::fromLatin1(names[qBound(0, index, 3)]);
}

} // namespace

LinkPush::LinkPush(const QList<QByteArray> &datagrams) : m_datagrams(datagrams)
{
}

QList<QByteArray> LinkPush::start(qint64 nowMs)
{
    if (m_datagrams.isEmpty()) {
        m_state = State::Sent;
        return {};
    }
    return send(0, nowMs);
}

QList<QByteArray> LinkPush::send(int index, qint64 nowMs)
{
    if (index != m_index)
        m_attempts = 0;
    m_index = index;
    m_answered = false;
    ++m_attempts;
    ++m_sentCount;
    m_answerByMs = nowMs + AnswerWaitMs;
    return {m_datagrams[index]};
}

QList<QByteArray> LinkPush::answer(const QString &code, qint64 nowMs)
{
    if (m_state != State::Sending || m_answered || m_index < 0)
        return {};
    if (!ResultCodes::isSuccess(code)) {
        m_failure = ResultCodes::refusal(code);
        m_state = State::Failed;
        return {};
    }
    if (isLast()) {
        m_state = State::Sent;
        return {};
    }
    m_answered = true;
    m_nextAtMs = nowMs + gapAfter(m_index);
    if (m_nextAtMs <= nowMs)
        return send(m_index + 1, nowMs);
    return {};
}

QList<QByteArray> LinkPush::due(qint64 nowMs)
{
    if (m_state != State::Sending || m_index < 0)
        return {};
    if (m_answered)
        return nowMs >= m_nextAtMs ? send(m_index + 1, nowMs) : QList<QByteArray>();
    if (nowMs < m_answerByMs)
        return {};
    if (isLast()) {
        m_state = State::Sent;
        return {};
    }
    if (m_attempts < 2)
        return send(m_index, nowMs);
    m_failure = QStringLiteral("no answer to the ") + datagramName(m_index);
    m_state = State::Failed;
    return {};
}

qint64 LinkPush::dueMs() const
{
    if (m_state != State::Sending || m_index < 0)
        return -1;
    return m_answered ? m_nextAtMs : m_answerByMs;
}
