#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

// How the command-line programs write: results whole to standard output,
// problems as "PROGRAM: text" lines on standard error.
namespace ProgramOutput {

// Writes `text` to standard output and flushes it.
void printOut(const QByteArray &text);
// One line on standard error, after the application's name and ": ".
void printError(const QString &line);
// The line for a discovery that no unit answered, naming every address the
// query went to.
QString noDiscoveryAnswer(const QList<QHostAddress> &sentTo);

} // namespace ProgramOutput
