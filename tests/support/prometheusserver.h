#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A Prometheus server of the suite's own (Debian's prometheus): its
// configuration and its storage in a temporary folder, its web interface on
// 127.0.0.1 at a free port (inside the suite's private network namespace);
// stopped when this object goes.
class PrometheusServer
{
public:
    // One series of a query's answer: its labels and its samples, each
    // (time in seconds since the epoch, value). An instant vector gives one
    // sample per series, a range vector every sample of the range.
    struct Series
    {
        QMap<QString, QString> labels;
        QList<QPair<double, double>> samples;
    };

    PrometheusServer() = default;
    ~PrometheusServer();
    PrometheusServer(const PrometheusServer &) = delete;
    PrometheusServer &operator=(const PrometheusServer &) = delete;

    // The folder for the configuration and what it refers to (valid before start()).
    QString filePath(const QString &name) const { return m_folder.filePath(name); }

    // Starts `program` with `configuration` as its prometheus.yml and waits
    // until it is ready; false with `error` when it is not within 30 s.
    bool start(const QString &program, const QByteArray &configuration, QString *error);
    void stop();

    // Series of an instant query (/api/v1/query) evaluated now; false with
    // `error` when the server refuses the query or does not answer.
    bool query(const QString &expression, QList<Series> *series, QString *error) const;
    // What the server printed, for a failure's message.
    QByteArray output();

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
};
