#include "fleet/programoutput.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace ProgramOutput {

void printOut(const QByteArray &text)
{
    fwrite(text.constData(), 1, size_t(text.size()), stdout);
    fflush(stdout);
}

void printError(const QString &line)
{
    QTextStream(stderr) << QCoreApplication::applicationName() << ": " << line << '\n';
}

QString noDiscoveryAnswer(const QList<QHostAddress> &sentTo)
{
    QStringList addresses;
    for (const QHostAddress &address : sentTo)
        addresses << address.toString();
    return QStringLiteral("no unit answered the discovery query sent to %1").arg(addresses.join(QStringLiteral(", ")));
}

} // namespace ProgramOutput
