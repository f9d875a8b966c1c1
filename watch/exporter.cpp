#include "watch/exporter.h"

#include "fleet/localsubnets.h"
#include "programversion.h"
#include "watch/proberequest.h"
#include "watch/watchservice.h"

#include <QMetaObject>

#include <civetweb.h>

#include <chrono>
#include <future>
#include <memory>

namespace {

constexpr const char *ExpositionType = "text/plain; version=0.0.4; charset=utf-8";

void send(mg_connection *connection, int status, const char *type, const QByteArray &body)
{
    mg_response_header_start(connection, status);
    mg_response_header_add(connection, "Content-Type", type, -1);
    mg_response_header_add(connection, "Content-Length", QByteArray::number(body.size()).constData(), -1);
    mg_response_header_send(connection);
    mg_write(connection, body.constData(), size_t(body.size()));
}

void sendLine(mg_connection *connection, int status, const QString &line)
{
    send(connection, status, "text/plain; charset=utf-8", line.toUtf8() + '\n');
}

QByteArray landingPage()
{
    return QByteArrayLiteral("<html><head><title>hvtk-watch</title></head><body>\n"
                             "<h1>hvtk-watch</h1>\n"
                             "<p><a href=\"/probe?target=192.168.0.254\">/probe?target=ADDRESS</a>: "
                             "one unit's service health</p>\n"
                             "<p><a href=\"/metrics\">/metrics</a>: the exporter's own metrics</p>\n"
                             "</body></html>\n");
}

} // namespace

Exporter::Exporter(WatchService *service)
    : m_service(service)
{
    mg_init_library(0);
}

Exporter::~Exporter()
{
    stop();
    mg_exit_library();
}

bool Exporter::listen(const QHostAddress &address, quint16 port, QString *error)
{
    const QByteArray ports = address.toString().toLatin1() + ':' + QByteArray::number(port);
    const QByteArray threads = QByteArray::number(Threads);
    const QByteArray largest = QByteArray::number(LargestRequest);
    const char *options[] = {"listening_ports", ports.constData(),
                             "num_threads", threads.constData(),
                             "max_request_size", largest.constData(),
                             "enable_keep_alive", "yes",
                             "request_timeout_ms", "30000",
                             nullptr};
    // Every request goes to answer() from the first one on: a handler
    // registered after the start would leave a moment of 404s.
    mg_callbacks callbacks = {};
    callbacks.begin_request = &Exporter::handleRequest;
    mg_init_data init = {&callbacks, this, options};
    char text[256] = {};
    mg_error_data failure = {nullptr, text, sizeof text};
    m_context = mg_start2(&init, &failure);
    if (!m_context) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(QString::fromLatin1(ports), QString::fromLocal8Bit(text));
        return false;
    }
    return true;
}

void Exporter::stop()
{
    if (m_context)
        mg_stop(m_context);
    m_context = nullptr;
}

int Exporter::handleRequest(mg_connection *connection)
{
    static_cast<Exporter *>(mg_get_user_data(mg_get_context(connection)))->answer(connection);
    return 1;
}

void Exporter::answer(mg_connection *connection)
{
    const mg_request_info *info = mg_get_request_info(connection);
    const ProbeRequest::Request request =
        ProbeRequest::parse(info->request_method, info->local_uri, info->query_string,
                            mg_get_header(connection, "X-Prometheus-Scrape-Timeout-Seconds"), LocalSubnets::all());
    if (request.kind == ProbeRequest::Kind::Landing) {
        send(connection, 200, "text/html; charset=utf-8", landingPage());
        return;
    }
    // The answer is made on the service's thread; this thread waits for it,
    // never longer than the probe's time and a margin.
    auto answer = std::make_shared<std::promise<QByteArray>>();
    std::future<QByteArray> answered = answer->get_future();
    WatchService *service = m_service;
    if (request.kind == ProbeRequest::Kind::Refused) {
        QMetaObject::invokeMethod(service, [service] { service->countRefused(); }, Qt::QueuedConnection);
        sendLine(connection, request.status, request.refusal);
        return;
    }
    if (request.kind == ProbeRequest::Kind::Metrics) {
        QMetaObject::invokeMethod(service, [service, answer] {
            answer->set_value(ProbeMetrics::exporterText(service->counters(), QLatin1String(ProgramVersion)));
        }, Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(service, [service, answer, request] {
            QString error;
            const bool started = service->probe(request.target, request.timeoutMs, [answer](const ProbeResult &result) {
                answer->set_value(ProbeMetrics::probeText(result));
            }, &error);
            if (!started)
                answer->set_value(QByteArray());
        }, Qt::QueuedConnection);
    }
    const auto waitFor = std::chrono::milliseconds(request.timeoutMs + 2000);
    if (answered.wait_for(waitFor) != std::future_status::ready) {
        sendLine(connection, 503, QStringLiteral("the probe did not end in time"));
        return;
    }
    const QByteArray body = answered.get();
    if (body.isEmpty())
        sendLine(connection, 503, QStringLiteral("the probe could not be made (no socket)"));
    else
        send(connection, 200, ExpositionType, body);
}
