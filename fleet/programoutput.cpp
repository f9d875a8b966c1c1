#include "fleet/programoutput.h"

#include <QCoreApplication>
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

} // namespace ProgramOutput
