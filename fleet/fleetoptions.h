#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// What the programs that work on many units at once (hvtk-check,
// hvtk-commission) are asked on their command lines alike: which units,
// how long to wait, how to report.
struct FleetOptions
{
    QList<QHostAddress> units;         // named on the command line, in that order
    bool discover = false;             // also take every unit that answers a broadcast
    quint32 mask = 0xFFFFFF00u;        // discovery mask; 0 means the global broadcast
    int timeoutMs = 5000;              // per unit
    bool json = false;
    QString recordFile;                // empty: no record
};

// The command-line rules these programs share, and their exit statuses.
namespace FleetCommandLine {

constexpr int Usage = 64;
constexpr int SocketFailure = 71;
constexpr int RecordFailure = 74;

// Four decimal parts only: "192.168.0.2" but not the shorthand "192.168.2",
// which would quietly stand for 192.168.0.2.
bool parseIPv4(const QString &text, QHostAddress *address);

// The options --discover, --mask, --timeout, --json and --record, with the
// help texts that differ between programs.
struct OptionTexts
{
    QString discover;
    QString timeout;
    QString json = QStringLiteral("Write one JSON document instead of text.");
    QString record = QStringLiteral("Append one JSON line per unit to FILE.");
};
QCommandLineOption discoverOption(const OptionTexts &texts);
QCommandLineOption maskOption();
QCommandLineOption timeoutOption(const OptionTexts &texts);
QCommandLineOption jsonOption(const OptionTexts &texts);
QCommandLineOption recordOption(const OptionTexts &texts);

// Takes the ADDRESS arguments, --discover, --mask and --timeout into
// `options`; the usage error, or an empty text.
QString takeTargets(const QStringList &addresses, const QCommandLineParser &parser, FleetOptions *options);
// Takes --json and --record; the usage error, or an empty text.
QString takeOutputs(const QCommandLineParser &parser, FleetOptions *options);
// The usage error when neither an ADDRESS nor --discover was given.
QString requireUnits(const FleetOptions &options);

} // namespace FleetCommandLine
