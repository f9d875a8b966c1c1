#pragma once

#include "fleet/localsubnets.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

// What an HTTP request asks of the exporter, decided before anything is
// sent: a probe of one unit, the exporter's own metrics, the landing page, or
// a refusal (4xx with one line). Only a unicast IPv4 address that is not the
// broadcast address of one of this workstation's subnets is ever probed.
namespace ProbeRequest {

enum class Kind { Probe, Metrics, Landing, Refused };

// Without Prometheus' scrape timeout header a probe gets this long.
constexpr int DefaultTimeoutMs = 5000;
// What a probe leaves of the scrape timeout for the answer's way back.
constexpr int MarginMs = 500;
constexpr int ShortestTimeoutMs = 100;

struct Request
{
    Kind kind = Kind::Refused;
    int status = 200;     // the HTTP status of a refusal
    QString refusal;      // its one line
    QHostAddress target;  // for Probe
    int timeoutMs = DefaultTimeoutMs;
};

// `method` and `path` as the request line has them, `query` without "?",
// `scrapeTimeout` the X-Prometheus-Scrape-Timeout-Seconds header (or empty).
Request parse(const QByteArray &method, const QByteArray &path, const QByteArray &query,
              const QByteArray &scrapeTimeout, const QList<Subnet> &subnets);

// Why `address` (host order) is no unit to probe, or an empty text.
QString notProbeable(quint32 address, const QList<Subnet> &subnets);

} // namespace ProbeRequest
