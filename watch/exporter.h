#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

struct mg_connection;
struct mg_context;
class WatchService;

// The Prometheus exporter's HTTP side, served by civetweb on its own
// threads. Each request is decided there (ProbeRequest); a probe or the
// exporter's own metrics are then made by the WatchService on its thread,
// and the request's thread waits for the answer. A probe is made only when
// Prometheus asks: nothing is polled between scrapes.
class Exporter
{
public:
    explicit Exporter(WatchService *service);
    ~Exporter();
    Exporter(const Exporter &) = delete;
    Exporter &operator=(const Exporter &) = delete;

    // Listens on `address`:`port`; false with `error` when it cannot.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    // Answers no more requests; waits for those being answered.
    void stop();

    // Requests answered at once; more wait for a free thread.
    static constexpr int Threads = 64;
    // Longer request lines and headers are refused (4xx) by civetweb.
    static constexpr int LargestRequest = 8192;

private:
    static int handleRequest(mg_connection *connection);
    void answer(mg_connection *connection);

    WatchService *m_service;
    mg_context *m_context = nullptr;
};
