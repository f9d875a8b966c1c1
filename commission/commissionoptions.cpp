#include "commission/commissionoptions.h"


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
    "runs out (failed). A unit whose planned address lies on none of this\n"
    "workstation's IPv4 subnets and stays silent there is moved: pushed, but not\n"
    "verifiable from here (the dry run names such subnets). Units that match,\n"
    "units in no row and units in conflict get nothing but status requests.\n"
    "--discover asks every IPv4 subnet of every interface that is up.\n"
    "\n"
    "--revert RECORD plans every unit that one run of the record pushed to back\n"
    "to its fields before that run, with the same dry run, --apply, verification\n"
    "and record as a plan: by default the record's last run with --apply, or the\n"
    "run --run ID names. Its units are looked for where that run found them and\n"
    "where it was to put them; a unit changed since (a field neither as before\n"
    "nor as pushed) is a conflict and is not overwritten.";

const char *const Epilog =
    "\n"
    "Output:\n"
    "  Without --json, one line per plan row and unit: the plan line, the control\n"
    "  MAC, the model, the address now and the planned one, the outcome; beneath\n"
    "  it each differing field (now -> plan) and the reason of a conflict or\n"
    "  failure. Then one line per subnet in CIDR form that holds planned control\n"
    "  addresses on none of this workstation's subnets (with --json on standard\n"
    "  error), and a last line that counts the outcomes.\n"
    "  With --json, one JSON document {\"units\": [...]}, one object per plan row,\n"
    "  per unplanned unit and per silent unit with the members row, controlMac,\n"
    "  model, address, plannedAddress, outcome, differences (objects field, now,\n"
    "  plan), reason and elapsedMs.\n"
    "  Outcomes: matches, differs, missing, unplanned, conflict, silent, and with\n"
    "  --apply commissioned, failed and moved.\n"
    "  While standard error is a terminal, one line there counts the units found,\n"
    "  pushed, verified, failed and waiting, and names those waited for when\n"
    "  three or fewer are left.\n"
    "\n"
    "Record:\n"
    "  --record FILE appends to FILE, also on a dry run: first one line that\n"
    "  names the run and holds its \"arguments\" and \"time\" (when it started);\n"
    "  with --apply, before a unit's first link datagram, its line with \"outcome\":\n"
    "  \"pushing\", \"before\" (the eleven plan fields as the unit reported them\n"
    "  when found) and \"planned\", synced to the disk; at the end one line per\n"
    "  object of the JSON document plus \"time\" (UTC, ISO 8601 with\n"
    "  milliseconds), \"before\" and \"after\" (as verified, or as found when it\n"
    "  already matched; else null). Every line names its run: \"run\" (a random\n"
    "  id), \"mode\" (dry-run, apply or revert), \"plan\" (its path; the record's\n"
    "  with --revert), \"planSha256\", \"version\" and \"station\" (the host name,\n"
    "  or --station). Each line is written whole with one append.\n"
    "  SIGINT or SIGTERM stops sending at once; the outcomes known and those of\n"
    "  the units still waited for are written, and the exit status is 130 or 143.\n"
    "\n"    "Template:\n"
    "  --template writes the plan of the units found to standard output: the\n"
    "  header row and one row per unit that gave a complete status reply, as it\n"
    "  reports itself, in address order. Run on its own template, every unit\n"
    "  matches. With --output FILE the plan goes to FILE instead, replacing it\n"
    "  whole, and only when at least one unit answered.\n"
    "\n"
    "Exit status:\n"
    "  0   every planned unit matches (with --apply: was commissioned) and there\n"
    "      is no conflict; with --template: a unit was written\n"
    "  1   a difference remains, a push failed or a conflict was found\n"
    "  2   a planned unit is missing, a unit is silent or moved, or --discover\n"
    "      found no unit (2 wins over 1); with --template: no unit answered\n"
    "  64  usage error; one line on standard error, nothing is sent\n"
    "  65  the plan is invalid, or --revert finds no run to revert; nothing is sent\n"
    "  66  the plan (or the --revert record) cannot be read, is not UTF-8 text\n"
    "      (PLAN:LINE: names the first line that is not) or is a spreadsheet\n"
    "      workbook (.xlsx, .ods)\n"
    "  71  the UDP socket could not be opened\n"
    "  74  the record file (or --output) could not be opened or written\n"
    "  130 stopped by SIGINT, 143 by SIGTERM\n"
    "\n"
    "Examples:\n"
    "  hvtk-commission --template --discover > site.csv\n"
    "  hvtk-commission site.csv --discover\n"
    "  hvtk-commission --apply --record site.jsonl site.csv --discover\n"
    "  hvtk-commission --json site.csv 192.168.0.21 192.168.0.22\n"
    "  hvtk-commission --revert site.jsonl --apply --record site.jsonl\n";

QList<QCommandLineOption> options()
{
    FleetCommandLine::OptionTexts texts;
    texts.discover = QStringLiteral("Broadcast the version query on each of this workstation's subnets under the "
                                    "discovery mask and take every unit that answers (besides any ADDRESS named).");
    texts.timeout = QStringLiteral("After a push, wait at most SECONDS for the unit to show the planned fields at "
                                   "its planned address (default 30; fractions allowed).");
    texts.record = QStringLiteral("Append one JSON line per plan row and unit to FILE.");
    return {
        {QStringLiteral("apply"), QStringLiteral("Push the plan to every unit that differs from it, then verify.")},
        {QStringLiteral("template"),
         QStringLiteral("Write the plan of the units found to standard output instead.")},
        {QStringLiteral("output"),
         QStringLiteral("With --template: write the plan to FILE instead, and only when a unit answered."),
         QStringLiteral("FILE")},
        {QStringLiteral("revert"),
         QStringLiteral("Plan every unit a run of RECORD pushed to back to its fields before that run."),
         QStringLiteral("RECORD")},
        {QStringLiteral("run"), QStringLiteral("With --revert: the run to undo (default: the record's last --apply)."),
         QStringLiteral("ID")},
        {QStringLiteral("station"),
         QStringLiteral("Name this workstation in the record (default: its host name)."), QStringLiteral("NAME")},
        FleetCommandLine::discoverOption(texts),
        FleetCommandLine::maskOption(),
        FleetCommandLine::timeoutOption(texts),
        FleetCommandLine::jsonOption(texts),
        FleetCommandLine::recordOption(texts),
    };
}

// Takes every option and argument; the usage error, or an empty text.
QString takeOptions(const QCommandLineParser &parser, CommissionOptions *options)
{
    options->writeTemplate = parser.isSet(QStringLiteral("template"));
    options->apply = parser.isSet(QStringLiteral("apply"));
    QStringList addresses = parser.positionalArguments();
    options->outputFile = parser.value(QStringLiteral("output"));
    options->revertRecord = parser.value(QStringLiteral("revert"));
    options->revertRun = parser.value(QStringLiteral("run"));
    options->station = parser.value(QStringLiteral("station"));
    for (const QString &option : {QStringLiteral("output"), QStringLiteral("revert"), QStringLiteral("run"),
                                  QStringLiteral("station")}) {
        if (parser.isSet(option) && parser.value(option).isEmpty())
            return QStringLiteral("--%1: the value is empty").arg(option);
    }
    if (parser.isSet(QStringLiteral("output")) && !options->writeTemplate)
        return QStringLiteral("--output goes with --template only");
    if (parser.isSet(QStringLiteral("run")) && !parser.isSet(QStringLiteral("revert")))
        return QStringLiteral("--run goes with --revert only");
    if (options->writeTemplate && parser.isSet(QStringLiteral("revert")))
        return QStringLiteral("--template writes a plan: --revert does not go with it");
    const bool reverting = parser.isSet(QStringLiteral("revert"));
    if (options->writeTemplate) {
        for (const QString &option : {QStringLiteral("apply"), QStringLiteral("json"), QStringLiteral("record")}) {
            if (parser.isSet(option))
                return QStringLiteral("--template writes a plan: --%1 does not go with it").arg(option);
        }
        QHostAddress address;
        if (!addresses.isEmpty() && !FleetCommandLine::parseIPv4(addresses.first(), &address))
            return QStringLiteral("--template writes a plan: \"%1\" is not an IPv4 address").arg(addresses.first());
    } else if (!reverting) {
        if (addresses.isEmpty())
            return QStringLiteral("no PLAN given");
        options->planFile = addresses.takeFirst();
        if (options->planFile.isEmpty())
            return QStringLiteral("the PLAN file name is empty");
    }
    QString error = FleetCommandLine::takeTargets(addresses, parser, options);
    if (error.isEmpty())
        error = FleetCommandLine::takeOutputs(parser, options);
    // A revert names the units its record pushed to.
    if (error.isEmpty() && !reverting)
        error = FleetCommandLine::requireUnits(*options);
    return error;
}

} // namespace

CommandLineFront::Program program()
{
    CommandLineFront::Program program;
    program.name = QStringLiteral("hvtk-commission");
    program.description = QLatin1String(Description);
    program.options = options();
    program.arguments = {
        {QStringLiteral("PLAN"), QStringLiteral("The plan, a CSV file (not with --template or --revert)."),
         QStringLiteral("[PLAN]")},
        {QStringLiteral("ADDRESS"), QStringLiteral("IPv4 address of a unit; several may be named."),
         QStringLiteral("[ADDRESS...]")},
    };
    program.epilog = QLatin1String(Epilog);
    return program;
}

CommandLineFront::Parsed<CommissionOptions> parse(const QStringList &arguments)
{
    return CommandLineFront::parse<CommissionOptions>(program(), arguments, takeOptions);
}

} // namespace CommissionCommandLine
