#include "fleet/fleetunit.h"

FleetUnit::FleetUnit(const QHostAddress &address, qint64 startedMs)
    : m_address(address), m_startedMs(startedMs)
{
}

QList<QByteArray> FleetUnit::takeOutbox()
{
    QList<QByteArray> outbox;
    outbox.swap(m_outbox);
    return outbox;
}
