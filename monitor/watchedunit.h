#pragma once

#include "monitor/statusdecoder.h"
#include "monitor/unitpoll.h"
#include "monitor/unitstatus.h"

#include <QByteArray>

// One unit as a program watches it, without a widget: its record and the
// assembly it is judged against, the request its next poll sends, and every
// datagram it sends taken as the window takes it (a status reply or version
// answer into the record, a failure code that marks the firmware). It counts
// the replies and tells when its state can be judged: a status reply had a
// complete block, and two replies in a row left the same condition word.
class WatchedUnit
{
public:
    // `assembly`: the assembly list index the unit is judged against;
    // "UNKNOWN" takes the model the unit reports, as the window does.
    explicit WatchedUnit(int assembly);

    // The request the next poll sends.
    QByteArray request() const { return UnitPoll::request(m_status); }
    // Takes one datagram the unit sent; its kind (Ignored: no answer, nothing changed).
    UnitPoll::ReplyKind take(const QByteArray &datagram);

    const UnitStatus &status() const { return m_status; }
    const StatusDecoder::AssemblyContext &assembly() const { return m_assembly; }

    // Replies taken (status replies, version answers and result codes).
    int replies() const { return m_replies; }
    // The last status reply taken had a complete block: every condition was read.
    bool lastBlockComplete() const { return m_lastBlockComplete; }
    // Since judging began, at least one status reply had a complete block.
    bool statusRead() const { return m_statusRead; }
    // Since judging began, the last two replies left the same condition word.
    bool settled() const { return m_settled; }
    // Judging begins again (the unit was programmed): what it sent before
    // counts neither for statusRead() nor for settled().
    void judgeAfresh();

private:
    void takeStatusReply(const UnitPoll::Reply &reply);

    UnitStatus m_status;
    StatusDecoder::AssemblyContext m_assembly;
    int m_replies = 0;
    int m_judgedReplies = 0;
    quint16 m_lastFlags = 0;
    bool m_lastBlockComplete = false;
    bool m_statusRead = false;
    bool m_settled = false;
};
