#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

// HTTP on the loopback address: one GET, answered while this thread's event
// loop goes on.
struct HttpReply
{
    int status = 0;    // 0: no HTTP answer (refused, timed out)
    QByteArray body;
    QString error;     // empty when an answer came, whatever its status
};

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// A TCP port free on 127.0.0.1 just now, for a server the suite starts; 0 when none.
int freeLoopbackPort();

HttpReply httpGet(const QUrl &url, const HttpHeaders &headers = {}, int timeoutMs = 10000);
