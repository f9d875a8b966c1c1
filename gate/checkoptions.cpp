#include "gate/checkoptions.h"

#include "monitor/assemblyprofiles.h"

#include <QCommandLineParser>

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

QList<QCommandLineOption> options()
{
    FleetCommandLine::OptionTexts texts;
    texts.discover = QStringLiteral("Broadcast the version query on this workstation's subnet under the discovery "
                                    "mask and check every unit that answers (besides any ADDRESS named).");
    texts.timeout = QStringLiteral("Give each unit at most SECONDS to settle (default 5; fractions allowed).");
    return {
        FleetCommandLine::discoverOption(texts),
        FleetCommandLine::maskOption(),
        FleetCommandLine::timeoutOption(texts),
        {QStringLiteral("assembly"),
         QStringLiteral("Judge every unit as the model MODEL that the line is building instead of the model "
                        "it reports: %1.")
             .arg(Assembly::names().join(QStringLiteral(", "))),
         QStringLiteral("MODEL")},
        FleetCommandLine::jsonOption(texts),
        FleetCommandLine::recordOption(texts),
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
    QString error = FleetCommandLine::takeTargets(parser.positionalArguments(), parser, &options);
    if (!error.isEmpty())
        return usageError(error);
    if (parser.isSet(QStringLiteral("assembly"))) {
        const QString text = parser.value(QStringLiteral("assembly"));
        options.assembly = Assembly::names().indexOf(text);
        if (options.assembly < 0)
            return usageError(QStringLiteral("--assembly: \"%1\" is not one of %2")
                                  .arg(text, Assembly::names().join(QStringLiteral(", "))));
    }
    error = FleetCommandLine::takeOutputs(parser, &options);
    if (error.isEmpty())
        error = FleetCommandLine::requireUnits(options);
    if (!error.isEmpty())
        return usageError(error);
    line.outcome = CommandLine::Run;
    return line;
}

QString helpText()
{
    QCommandLineParser parser;
    describe(parser);
    // The usage line names the program, not the path it was started by.
    const QString text = FleetCommandLine::helpText(parser, QStringLiteral("hvtk-check"));
    return text + QLatin1String(Epilog);
}

} // namespace CheckCommandLine
