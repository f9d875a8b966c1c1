#include "commission/commissionoptions.h"

#include <QCommandLineParser>

namespace CommissionCommandLine {

namespace {

const char *const Description =
    "Gives Halvo and Tesk units their network identities from one plan: control\n"
    "address, mask and gateway, Dante address, mask and gateway, Q-SYS core,\n"
    "station ID, station name and Dante name, as the manual link panel of\n"
    "hvtk-utilities pushes them, to every unit of a site in one run.\n"
    "\n"
    "The plan is a CSV file as a spreadsheet saves it, in UTF-8: a header row,\n"
    "then one row per unit, cells separated by commas, semicolons or tabs (the\n"
    "header tells which). Its columns are found by their header names, in any\n"
    "order: controlMac (the unit's control MAC, the key), controlIp, controlMask,\n"
    "controlGateway, localName, danteIp, danteMask, danteGateway, danteName,\n"
    "qsysCoreIp and stationId; all eleven are required. Blank lines and lines\n"
    "starting with # are skipped; a byte-order mark, CRLF line ends and quoted\n"
    "cells are taken; a plan holds at most 16 MB, a cell at most 4 KB. The plan\n"
    "is checked before anything is sent: every problem is one line PLAN:LINE:\n"
    "what is wrong on standard error, and nothing is sent. A control or Dante\n"
    "address may not be another row's control or Dante address, its own row's\n"
    "other one, any row's gateway or Q-SYS core, or this workstation's address.\n"
    "\n"
    "Each unit named or found by --discover is polled until it gives a complete\n"
    "status reply (at most 5 s) and matched to its plan row by control MAC.\n"
    "Without --apply nothing is changed: each row and unit is reported as\n"
    "matches, differs (with the fields that differ), missing (no unit with that\n"
    "MAC answered), unplanned (a unit in no row), conflict or silent. A conflict\n"
    "is a MAC reported by two units, a planned control or Dante address that\n"
    "another found unit answers at or holds as its control or Dante address (a\n"
    "swap of two units' addresses too), or a station ID on a Q-SYS core that\n"
    "after the run another unit of the same family would have too, or a row\n"
    "whose unit is missing (it counts for both families).\n"
    "With --apply, every unit that differs gets the four link datagrams, all\n"
    "units at once from one UDP socket, and is then polled at its planned\n"
    "address until it shows every planned field (commissioned) or the timeout\n"
    "runs out (failed). Units that match, units in no row and units in conflict\n"
    "get nothing but status requests.";

const char *const Epilog =
    "\n"
    "Output:\n"
    "  Without --json, one line per plan row and unit: the plan line, the control\n"
    "  MAC, the address now and the planned one, the outcome; beneath it each\n"
    "  differing field (now -> plan) and the reason of a conflict or failure. A\n"
    "  last line counts the outcomes.\n"
    "  With --json, one JSON document {\"units\": [...]}, one object per plan row,\n"
    "  per unplanned unit and per silent unit with the members row, controlMac,\n"
    "  model, address, plannedAddress, outcome, differences (objects field, now,\n"
    "  plan), reason and elapsedMs.\n"
    "  Outcomes: matches, differs, missing, unplanned, conflict, silent, and with\n"
    "  --apply commissioned and failed.\n"
    "  While standard error is a terminal, one line there counts the units found,\n"
    "  pushed, verified, failed and waiting.\n"
    "\n"
    "Record:\n"
    "  --record FILE appends one line per object of the JSON document to FILE,\n"
    "  also on a dry run, plus \"time\" (UTC, ISO 8601 with milliseconds),\n"
    "  \"before\" (the eleven plan fields as the unit reported them when found)\n"
    "  and \"after\" (the same as verified, or as found when it already matched;\n"
    "  else null). Each line is written whole with one append.\n"
    "\n"
    "Template:\n"
    "  --template writes the plan of the units found to standard output: the\n"
    "  header row and one row per unit that gave a complete status reply, as it\n"
    "  reports itself, in address order. Run on its own template, every unit\n"
    "  matches.\n"
    "\n"
    "Exit status:\n"
    "  0   every planned unit matches (with --apply: was commissioned) and there\n"
    "      is no conflict; with --template: a unit was written\n"
    "  1   a difference remains, a push failed or a conflict was found\n"
    "  2   a planned unit is missing, a unit is silent, or --discover found no\n"
    "      unit (2 wins over 1); with --template: no unit answered\n"
    "  64  usage error; one line on standard error, nothing is sent\n"
    "  65  the plan is invalid; nothing is sent\n"
    "  66  the plan cannot be read, is not UTF-8 text (PLAN:LINE: names the first\n"
    "      line that is not) or is a spreadsheet workbook (.xlsx, .ods)\n"
    "  71  the UDP socket could not be opened\n"
    "  74  the record file could not be opened or written\n"
    "\n"
    "Examples:\n"
    "  hvtk-commission --template --discover > site.csv\n"
    "  hvtk-commission site.csv --discover\n"
    "  hvtk-commission --apply --record site.jsonl site.csv --discover\n"
    "  hvtk-commission --json site.csv 192.168.0.21 192.168.0.22\n";

QList<QCommandLineOption> options()
{
    FleetCommandLine::OptionTexts texts;
    texts.discover = QStringLiteral("Broadcast the version query on this workstation's subnet under the discovery "
                                    "mask and take every unit that answers (besides any ADDRESS named).");
    texts.timeout = QStringLiteral("After a push, wait at most SECONDS for the unit to show the planned fields at "
                                   "its planned address (default 30; fractions allowed).");
    texts.record = QStringLiteral("Append one JSON line per plan row and unit to FILE.");
    return {
        {QStringLiteral("apply"), QStringLiteral("Push the plan to every unit that differs from it, then verify.")},
        {QStringLiteral("template"),
         QStringLiteral("Write the plan of the units found to standard output instead.")},
        FleetCommandLine::discoverOption(texts),
        FleetCommandLine::maskOption(),
        FleetCommandLine::timeoutOption(texts),
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
    parser.addPositionalArgument(QStringLiteral("PLAN"), QStringLiteral("The plan, a CSV file (not with --template)."),
                                 QStringLiteral("[PLAN]"));
    parser.addPositionalArgument(QStringLiteral("ADDRESS"),
                                 QStringLiteral("IPv4 address of a unit; several may be named."),
                                 QStringLiteral("[ADDRESS...]"));
}

Parsed usageError(const QString &error)
{
    Parsed parsed;
    parsed.error = error;
    return parsed;
}

} // namespace

Parsed parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    Parsed parsed;
    if (parser.isSet(QStringLiteral("help"))) {
        parsed.outcome = Parsed::ShowHelp;
        return parsed;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parsed.outcome = Parsed::ShowVersion;
        return parsed;
    }

    CommissionOptions &options = parsed.options;
    options.writeTemplate = parser.isSet(QStringLiteral("template"));
    options.apply = parser.isSet(QStringLiteral("apply"));
    QStringList addresses = parser.positionalArguments();
    if (options.writeTemplate) {
        for (const QString &option : {QStringLiteral("apply"), QStringLiteral("json"), QStringLiteral("record")}) {
            if (parser.isSet(option))
                return usageError(QStringLiteral("--template writes a plan: --%1 does not go with it").arg(option));
        }
        QHostAddress address;
        if (!addresses.isEmpty() && !FleetCommandLine::parseIPv4(addresses.first(), &address))
            return usageError(QStringLiteral("--template writes a plan: \"%1\" is not an IPv4 address")
                                  .arg(addresses.first()));
    } else {
        if (addresses.isEmpty())
            return usageError(QStringLiteral("no PLAN given"));
        options.planFile = addresses.takeFirst();
        if (options.planFile.isEmpty())
            return usageError(QStringLiteral("the PLAN file name is empty"));
    }
    QString error = FleetCommandLine::takeTargets(addresses, parser, &options);
    if (error.isEmpty())
        error = FleetCommandLine::takeOutputs(parser, &options);
    if (error.isEmpty())
        error = FleetCommandLine::requireUnits(options);
    if (!error.isEmpty())
        return usageError(error);
    parsed.outcome = Parsed::Run;
    return parsed;
}

QString helpText()
{
    QCommandLineParser parser;
    describe(parser);
    return FleetCommandLine::helpText(parser, QStringLiteral("hvtk-commission")) + QLatin1String(Epilog);
}

} // namespace CommissionCommandLine
