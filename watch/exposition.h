#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Prometheus' text exposition format, written one metric family at a time:
// its HELP and TYPE lines, then its samples, without timestamps.
class Exposition
{
public:
    using Labels = QList<QPair<QString, QString>>;

    // Starts a family; `type` is "gauge", "counter", "histogram" or "summary".
    void family(const QString &name, const QString &type, const QString &help);
    void sample(const QString &name, const Labels &labels, double value);
    void sample(const QString &name, double value) { sample(name, Labels(), value); }

    QByteArray text() const { return m_text.toUtf8(); }

    // A label value with backslash, double quote and line feed escaped.
    static QString labelValue(const QString &value);
    // A sample value: the shortest decimal text that reads back as `value`,
    // "+Inf", "-Inf" or "NaN".
    static QString number(double value);

private:
    QString m_text;
};
