#include "watch/proberequest.h"

#include "fleet/fleetoptions.h"

#include <QUrlQuery>

#include <algorithm>
#include <cmath>

namespace ProbeRequest {

namespace {

Request refused(int status, const QString &why)
{
    Request request;
    request.status = status;
    request.refusal = why;
    return request;
}

int timeoutFrom(const QByteArray &header)
{
    bool ok = false;
    const double seconds = header.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0)
        return DefaultTimeoutMs;
    const double ms = std::min(seconds * 1000.0 - MarginMs, 3600.0 * 1000.0);
    return std::max(ShortestTimeoutMs, int(ms));
}

} // namespace

QString notProbeable(quint32 address, const QList<Subnet> &subnets)
{
    if ((address >> 24) == 0)
        return QStringLiteral("not a unicast IPv4 address");
    if ((address >> 28) >= 0xE) // multicast, reserved and the limited broadcast
        return QStringLiteral("not a unicast IPv4 address");
    for (const Subnet &subnet : subnets) {
        if (subnet.prefixLength <= 30 && address == (subnet.network() | ~subnet.mask()))
            return QStringLiteral("the broadcast address of %1").arg(subnet.cidr());
    }
    return QString();
}

Request parse(const QByteArray &method, const QByteArray &path, const QByteArray &query,
              const QByteArray &scrapeTimeout, const QList<Subnet> &subnets)
{
    const bool known = path == "/probe" || path == "/metrics" || path == "/";
    if (!known)
        return refused(404, QStringLiteral("no such page; the exporter answers /probe?target=ADDRESS and /metrics"));
    if (method != "GET")
        return refused(405, QStringLiteral("only GET is answered"));
    Request request;
    if (path == "/metrics") {
        request.kind = Kind::Metrics;
        return request;
    }
    if (path == "/") {
        request.kind = Kind::Landing;
        return request;
    }
    const QStringList targets =
        QUrlQuery(QString::fromUtf8(query)).allQueryItemValues(QStringLiteral("target"), QUrl::FullyDecoded);
    if (targets.isEmpty())
        return refused(400, QStringLiteral("target missing: /probe?target=ADDRESS"));
    if (targets.size() > 1)
        return refused(400, QStringLiteral("more than one target"));
    QHostAddress target;
    if (!FleetCommandLine::parseIPv4(targets.front(), &target))
        return refused(400, QStringLiteral("target is not an IPv4 address (four decimal parts)"));
    const QString why = notProbeable(target.toIPv4Address(), subnets);
    if (!why.isEmpty())
        return refused(400, QStringLiteral("target %1: %2").arg(target.toString(), why));
    request.kind = Kind::Probe;
    request.target = target;
    request.timeoutMs = timeoutFrom(scrapeTimeout);
    return request;
}

} // namespace ProbeRequest
