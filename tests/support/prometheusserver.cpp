#include "support/prometheusserver.h"

#include "support/httpget.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

QPair<double, double> sample(const QJsonArray &pair)
{
    return {pair.at(0).toDouble(), pair.at(1).toString().toDouble()};
}

} // namespace

PrometheusServer::~PrometheusServer()
{
    stop();
}

bool PrometheusServer::start(const QString &program, const QByteArray &configuration, QString *error)
{
    QFile file(m_folder.filePath(QStringLiteral("prometheus.yml")));
    if (!m_folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(configuration) != configuration.size()) {
        *error = QStringLiteral("cannot write %1").arg(file.fileName());
        return false;
    }
    file.close();
    m_port = freeLoopbackPort();
    if (m_port == 0) {
        *error = QStringLiteral("no free port on 127.0.0.1");
        return false;
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setWorkingDirectory(m_folder.path());
    m_process.start(program, {QStringLiteral("--config.file=") + file.fileName(),
                              QStringLiteral("--storage.tsdb.path=") + m_folder.filePath(QStringLiteral("data")),
                              QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(m_port),
                              QStringLiteral("--log.level=warn")});
    if (!m_process.waitForStarted(10000)) {
        *error = QStringLiteral("%1 does not start: %2").arg(program, m_process.errorString());
        return false;
    }
    const QUrl ready(QStringLiteral("http://127.0.0.1:%1/-/ready").arg(m_port));
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running) {
            *error = QStringLiteral("prometheus ended: %1").arg(QString::fromUtf8(output()));
            return false;
        }
        if (httpGet(ready, {}, 1000).status == 200)
            return true;
        QTest::qWait(100);
    }
    *error = QStringLiteral("prometheus is not ready within 30 s: %1").arg(QString::fromUtf8(output()));
    return false;
}

void PrometheusServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QByteArray PrometheusServer::output()
{
    return m_process.readAll();
}

bool PrometheusServer::query(const QString &expression, QList<Series> *series, QString *error) const
{
    QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(m_port));
    url.setQuery(QStringLiteral("query=") + QString::fromLatin1(QUrl::toPercentEncoding(expression)), QUrl::StrictMode);
    const HttpReply reply = httpGet(url);
    const QJsonObject answer = QJsonDocument::fromJson(reply.body).object();
    if (reply.status != 200 || answer.value(QStringLiteral("status")).toString() != QLatin1String("success")) {
        *error = QStringLiteral("%1: HTTP %2 %3 %4")
                     .arg(expression)
                     .arg(reply.status)
                     .arg(reply.error, QString::fromUtf8(reply.body));
        return false;
    }
    series->clear();
    const QJsonArray result = answer.value(QStringLiteral("data")).toObject().value(QStringLiteral("result")).toArray();
    for (const QJsonValue &item : result) {
        const QJsonObject object = item.toObject();
        Series one;
        const QJsonObject metric = object.value(QStringLiteral("metric")).toObject();
        for (auto label = metric.begin(); label != metric.end(); ++label)
            one.labels.insert(label.key(), label.value().toString());
        if (object.contains(QStringLiteral("value")))
            one.samples << sample(object.value(QStringLiteral("value")).toArray());
        const QJsonArray values = object.value(QStringLiteral("values")).toArray();
        for (const QJsonValue &value : values)
            one.samples << sample(value.toArray());
        series->append(one);
    }
    return true;
}
