#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The push of the four manual-link datagrams to one unit, without a socket:
// each datagram goes after the unit's answer to the one before, never sooner
// than the window's spacing (50 ms after the station name, 300 ms after the
// Dante name); a datagram without an answer within 1 s goes once more, and a
// second silence fails the push. The last datagram is not sent again: the
// unit restarts on it and its answer may be lost, so after its silence the
// push counts as sent and verification decides.
class LinkPush
{
public:
    static constexpr int AnswerWaitMs = 1000;
    static constexpr int StationNameGapMs = 50;
    static constexpr int DanteNameGapMs = 300;

    enum class State { Sending, Sent, Failed };

    // `datagrams`: link start, station name, Dante name, addresses.
    explicit LinkPush(const QList<QByteArray> &datagrams);

    // Sends the first datagram at `nowMs`; the returned datagrams are to go
    // out now (here and below).
    QList<QByteArray> start(qint64 nowMs);
    // The unit's answer: "R" or a failure code (as the window compares it).
    QList<QByteArray> answer(const QString &code, qint64 nowMs);
    // Time passed; call at dueMs().
    QList<QByteArray> due(qint64 nowMs);
    // When due() next has something to do; negative when nothing waits.
    qint64 dueMs() const;

    State state() const { return m_state; }
    // Why it failed: the unit's refusal ("E15: Invalid Port (mismatch)") or
    // the datagram it did not answer ("no answer to the station name").
    QString failure() const { return m_failure; }
    // Datagrams sent so far, resent ones included.
    int sentCount() const { return m_sentCount; }

private:
    QList<QByteArray> send(int index, qint64 nowMs);
    bool isLast() const { return m_index == m_datagrams.size() - 1; }

    QList<QByteArray> m_datagrams;
    State m_state = State::Sending;
    int m_index = -1;          // the datagram sent last
    bool m_answered = false;   // ...and answered: the next one waits for m_nextAtMs
    int m_attempts = 0;        // of the datagram at m_index
    qint64 m_answerByMs = -1;  // its answer is waited for until then
    qint64 m_nextAtMs = -1;    // the next datagram goes out then
    int m_sentCount = 0;
    QString m_failure;
};
