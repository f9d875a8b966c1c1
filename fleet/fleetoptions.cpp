#include "fleet/fleetoptions.h"

#include <QRegularExpression>

namespace FleetCommandLine {

bool parseIPv4(const QString &text, QHostAddress *address)
{
    static const QRegularExpression dottedQuad(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    return dottedQuad.match(text).hasMatch() && address->setAddress(text)
        && address->protocol() == QAbstractSocket::IPv4Protocol;
}

QCommandLineOption discoverOption(const OptionTexts &texts)
{
    return {QStringLiteral("discover"), texts.discover};
}

QCommandLineOption maskOption()
{
    return {QStringLiteral("mask"),
            QStringLiteral("Discovery mask (default 255.255.255.0); 0.0.0.0 broadcasts to 255.255.255.255."),
            QStringLiteral("MASK")};
}

QCommandLineOption timeoutOption(const OptionTexts &texts)
{
    return {QStringLiteral("timeout"), texts.timeout, QStringLiteral("SECONDS")};
}

QCommandLineOption jsonOption(const OptionTexts &texts)
{
    return {QStringLiteral("json"), texts.json};
}

QCommandLineOption recordOption(const OptionTexts &texts)
{
    return {QStringLiteral("record"), texts.record, QStringLiteral("FILE")};
}

QString takeTargets(const QStringList &addresses, const QCommandLineParser &parser, FleetOptions *options)
{
    for (const QString &text : addresses) {
        QHostAddress address;
        if (!parseIPv4(text, &address))
            return QStringLiteral("\"%1\" is not an IPv4 address").arg(text);
        // A unit has one address of its own: polling these would reach many or none.
        if (address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::Broadcast)
            || address.isMulticast())
            return QStringLiteral("\"%1\" is not the address of one unit").arg(text);
        if (!options->units.contains(address))
            options->units << address;
    }
    options->discover = parser.isSet(QStringLiteral("discover"));
    if (parser.isSet(QStringLiteral("mask"))) {
        const QString text = parser.value(QStringLiteral("mask"));
        QHostAddress mask;
        if (!parseIPv4(text, &mask))
            return QStringLiteral("--mask: \"%1\" is not an IPv4 mask").arg(text);
        if (!options->discover)
            return QStringLiteral("--mask is only used with --discover");
        options->mask = mask.toIPv4Address();
    }
    if (parser.isSet(QStringLiteral("timeout"))) {
        const QString text = parser.value(QStringLiteral("timeout"));
        bool ok = false;
        const double seconds = text.toDouble(&ok);
        if (!ok || !(seconds > 0) || seconds > 86400)
            return QStringLiteral("--timeout: \"%1\" is not a positive number of seconds (at most 86400)").arg(text);
        options->timeoutMs = qMax(1, int(seconds * 1000 + 0.5));
    }
    return QString();
}

QString takeOutputs(const QCommandLineParser &parser, FleetOptions *options)
{
    options->json = parser.isSet(QStringLiteral("json"));
    if (parser.isSet(QStringLiteral("record"))) {
        options->recordFile = parser.value(QStringLiteral("record"));
        if (options->recordFile.isEmpty())
            return QStringLiteral("--record: the file name is empty");
    }
    return QString();
}

QString requireUnits(const FleetOptions &options)
{
    if (options.units.isEmpty() && !options.discover)
        return QStringLiteral("no unit named: give an ADDRESS or --discover");
    return QString();
}

} // namespace FleetCommandLine
