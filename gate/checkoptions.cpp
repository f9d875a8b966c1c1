#include "gate/checkoptions.h"

#include "monitor/assemblyprofiles.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace CheckCommandLine {

namespace {

const char *const Description =
    "Checks whether Halvo and Tesk units are ready to leave the production line,\n"
    "by the same rules as the readiness checklist of hvtk-utilities in private\n"
    "mode.\n"
    "\n"
    "Each unit is polled every 300 ms as the window polls it (the status request,\n"
    "or the version query for firmware that does not answer it) until two replies\n"
    "in a row leave the same condition word, or until the timeout runs out. The\n"
    "last state is judged with the window's checklist: the same lines, in the same\n"
    "order. All units are checked at once, from one UDP socket on a free local\n"
    "port, so the check also runs while the window holds ports 1234 and 1235.";

const char *const Epilog =
    "\n"
    "Output:\n"
    "  Without --json, one block per unit: a line with the address, the model and\n"
    "  the firmware, then \"No issues found.  Release ready.\" or the checklist\n"
    "  lines. A unit that never answered shows \"No answer within N s.\"; one that\n"
    "  answered but never sent a complete status reply shows \"Not judged: ...\".\n"
    "  A last line counts the verdicts.\n"
    "  With --json, one JSON document {\"units\": [...]}, one object per unit with\n"
    "  the members address, answered, ready, checklist (the lines, without their\n"
    "  newlines; empty when ready), modelMismatch, conditionFlags (the 16-bit\n"
    "  condition word), conditions (the names of the set bits), model, firmware,\n"
    "  bootloader, danteFirmware, controlMac, danteMac, danteName, localName,\n"
    "  stationId and elapsedMs.\n"
    "  With --assembly MODEL, a unit whose status reply names another model\n"
    "  (\"Halvo\" counts as HV4) gets one more line after the checklist's,\n"
    "  \"-PROGRAMMED AS <reported>; THIS LINE BUILDS <MODEL>.\", is not ready, and\n"
    "  its modelMismatch is true.\n"
    "  A unit has answered when it sent a reply the window takes: a status reply,\n"
    "  a version answer or a result code (any other non-empty text counts as an\n"
    "  unknown result code, as in the window). It is ready only when it answered,\n"
    "  sent at least one complete status reply and no checklist line is open.\n"
    "\n"
    "Record:\n"
    "  --record FILE appends one line per checked unit to FILE, created when\n"
    "  missing: the unit's JSON object as above on one line, plus \"time\" (UTC,\n"
    "  ISO 8601 with milliseconds). Each line is written whole with one append,\n"
    "  so checks running at the same time never tear or lose a line; nothing in\n"
    "  the file is ever rewritten.\n"
    "\n"
    "Exit status:\n"
    "  0   every unit is ready\n"
    "  1   every unit answered and at least one is not ready\n"
    "  2   at least one unit gave no reply before the timeout, or --discover\n"
    "      found no unit\n"
    "  64  usage error: unknown option, bad address, mask, timeout or assembly,\n"
    "      or no unit named; one line on standard error, nothing is checked\n"
    "  71  the UDP socket could not be opened\n"
    "  74  the record file could not be opened or written\n"
    "\n"
    "Examples:\n"
    "  hvtk-check 192.168.0.254\n"
    "  hvtk-check --json --record line3.jsonl 192.168.0.21 192.168.0.22\n"
    "  hvtk-check --discover --assembly TK12X\n";

// Four decimal parts only: "192.168.0.2" but not the shorthand "192.168.2",
// which would quietly stand for 192.168.0.2.
bool parseIPv4(const QString &text, QHostAddress *address)
{
    static const QRegularExpression dottedQuad(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    return dottedQuad.match(text).hasMatch() && address->setAddress(text)
        && address->protocol() == QAbstractSocket::IPv4Protocol;
}

QList<QCommandLineOption> options()
{
    return {
        {QStringLiteral("discover"),
         QStringLiteral("Broadcast the version query on this workstation's subnet under the discovery mask "
                        "and check every unit that answers (besides any ADDRESS named).")},
        {QStringLiteral("mask"),
         QStringLiteral("Discovery mask (default 255.255.255.0); 0.0.0.0 broadcasts to 255.255.255.255."),
         QStringLiteral("MASK")},
        {QStringLiteral("timeout"),
         QStringLiteral("Give each unit at most SECONDS to settle (default 5; fractions allowed)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("assembly"),
         QStringLiteral("Judge every unit as the model MODEL that the line is building instead of the model "
                        "it reports: %1.")
             .arg(Assembly::names().join(QStringLiteral(", "))),
         QStringLiteral("MODEL")},
        {QStringLiteral("json"), QStringLiteral("Write one JSON document instead of text.")},
        {QStringLiteral("record"), QStringLiteral("Append one JSON line per unit to FILE."),
         QStringLiteral("FILE")},
    };
}

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QLatin1String(Description));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(options());
    parser.addPositionalArgument(QStringLiteral("ADDRESS"),
                                 QStringLiteral("IPv4 address of a unit to check; several may be named."),
                                 QStringLiteral("[ADDRESS...]"));
}

CommandLine usageError(const QString &error)
{
    CommandLine line;
    line.outcome = CommandLine::UsageError;
    line.error = error;
    return line;
}

} // namespace

CommandLine parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    CommandLine line;
    if (parser.isSet(QStringLiteral("help"))) {
        line.outcome = CommandLine::ShowHelp;
        return line;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        line.outcome = CommandLine::ShowVersion;
        return line;
    }

    CheckOptions &options = line.options;
    for (const QString &text : parser.positionalArguments()) {
        QHostAddress address;
        if (!parseIPv4(text, &address))
            return usageError(QStringLiteral("\"%1\" is not an IPv4 address").arg(text));
        // A unit has one address of its own: polling these would reach many or none.
        if (address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::Broadcast)
            || address.isMulticast())
            return usageError(QStringLiteral("\"%1\" is not the address of one unit").arg(text));
        if (!options.units.contains(address))
            options.units << address;
    }
    options.discover = parser.isSet(QStringLiteral("discover"));
    if (parser.isSet(QStringLiteral("mask"))) {
        const QString text = parser.value(QStringLiteral("mask"));
        QHostAddress mask;
        if (!parseIPv4(text, &mask))
            return usageError(QStringLiteral("--mask: \"%1\" is not an IPv4 mask").arg(text));
        if (!options.discover)
            return usageError(QStringLiteral("--mask is only used with --discover"));
        options.mask = mask.toIPv4Address();
    }
    if (parser.isSet(QStringLiteral("timeout"))) {
        const QString text = parser.value(QStringLiteral("timeout"));
        bool ok = false;
        const double seconds = text.toDouble(&ok);
        if (!ok || !(seconds > 0) || seconds > 86400)
            return usageError(QStringLiteral("--timeout: \"%1\" is not a positive number of seconds (at most 86400)")
                                  .arg(text));
        options.timeoutMs = qMax(1, int(seconds * 1000 + 0.5));
    }
    if (parser.isSet(QStringLiteral("assembly"))) {
        const QString text = parser.value(QStringLiteral("assembly"));
        options.assembly = Assembly::names().indexOf(text);
        if (options.assembly < 0)
            return usageError(QStringLiteral("--assembly: \"%1\" is not one of %2")
                                  .arg(text, Assembly::names().join(QStringLiteral(", "))));
    }
    options.json = parser.isSet(QStringLiteral("json"));
    if (parser.isSet(QStringLiteral("record"))) {
        options.recordFile = parser.value(QStringLiteral("record"));
        if (options.recordFile.isEmpty())
            return usageError(QStringLiteral("--record: the file name is empty"));
    }
    if (options.units.isEmpty() && !options.discover)
        return usageError(QStringLiteral("no unit named: give an ADDRESS or --discover"));
    line.outcome = CommandLine::Run;
    return line;
}

QString helpText()
{
    QCommandLineParser parser;
    describe(parser);
    // The usage line names the program, not the path it was started by.
    QString text = parser.helpText();
    const int options = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(QLatin1String("Usage: ")) && options > 0)
        text.replace(0, options, QStringLiteral("Usage: hvtk-check"));
    return text + QLatin1String(Epilog);
}

} // namespace CheckCommandLine
