#include "gate/checkoptions.h"

#include "gate/ledgerconnection.h"
#include "monitor/assemblyprofiles.h"

#include <QSysInfo>

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
    "  stationId, elapsedMs, programmed (what --program had the unit take: an\n"
    "  object with assembly and/or mac, empty when nothing) and\n"
    "  programmingFailure (empty when none).\n"
    "  With --assembly MODEL, a unit whose status reply names another model\n"
    "  (\"Halvo\" counts as HV4) gets one more line after the checklist's,\n"
    "  \"-PROGRAMMED AS <reported>; THIS LINE BUILDS <MODEL>.\", is not ready, and\n"
    "  its modelMismatch is true.\n"
    "  A unit has answered when it sent a reply the window takes: a status reply,\n"
    "  a version answer or a result code (any other non-empty text counts as an\n"
    "  unknown result code, as in the window). It is ready only when it answered,\n"
    "  sent at least one complete status reply, no checklist line is open and no\n"
    "  programming failed.\n"
    "\n"
    "Programming (--program, needs --assembly MODEL):\n"
    "  Before it is judged, each unit is programmed as the window's SET buttons\n"
    "  program it in private mode, all units at once:\n"
    "  - a unit whose status reply names another model than MODEL is sent the\n"
    "    assembly command for MODEL; once it acknowledged it, it loads its\n"
    "    defaults and restarts, and it is polled again after 12 s;\n"
    "  - with --mac-pool and --ledger, a unit whose control MAC the checklist\n"
    "    rejects, or whose MAC the ledger never issued to its Dante MAC, is sent\n"
    "    the first MAC of the master list that the ledger does not hold, once its\n"
    "    row is committed. A unit whose Dante MAC holds a MAC it did not refuse\n"
    "    is given that MAC again.\n"
    "  With --ledger, each unit is first claimed there for this run by its Dante\n"
    "  MAC: a unit another station's run claimed (the claim lapses when that run\n"
    "  ends, or 2 minutes after it was made) is left alone, shown as\n"
    "  \"Programmed by station NAME.\" and not counted. A station works one run\n"
    "  at a time: its new run lifts the claims its earlier runs left (killed,\n"
    "  or cut off from the database), so stations that run at the same time\n"
    "  need --station names of their own.\n"
    "  Then it is polled and judged as above. The block names what it took\n"
    "  (\"Programmed: model HV32K, MAC 02:4B:7D:00:01:00.\"). A refusal (an E code,\n"
    "  shown with the window's text), no acknowledgement within the timeout or\n"
    "  an exhausted list (\"master list exhausted\") ends that unit as not ready\n"
    "  (\"Programming failed: ...\"); the others go on. While standard error is a\n"
    "  terminal, one line there counts the units programmed, waiting and judged.\n"
    "  Without --program nothing but the polls is sent.\n"
    "  The master list: one MAC (02:4B:7D:00:01:00) or range FIRST-LAST per line,\n"
    "  \"#\" starts a comment; every MAC within 02:4B:7D:00:00:00-02:4B:7D:00:FF:FF,\n"
    "  the control MACs the checklist accepts, and none listed twice; it is\n"
    "  handed out in order. When fewer than 10 % of its MACs are left after a\n"
    "  run, a line on standard error says how many (\"only 3 of the 40 MACs of\n"
    "  the master list are left (7.5 %)\").\n"
    "\n"
    "Ledger (--ledger LEDGER):\n"
    "  The line's database: a FILE, an SQLite database on this PC (each commit\n"
    "  on the disk before it returns), or postgresql://USER@HOST[:PORT]/DB, one\n"
    "  PostgreSQL database for the stations of many PCs (a libpq URI; the\n"
    "  password only from ~/.pgpass or PGPASSWORD). hvtk-check --create-ledger\n"
    "  --ledger LEDGER creates it and does nothing else; nothing else ever\n"
    "  creates one, so a mistyped name is an error (exit 66), never a new list.\n"
    "  It holds every MAC handed out, unique, with the unit's Dante MAC, address,\n"
    "  model, station and what became of it (issued, programmed, refused: a\n"
    "  refused MAC is not handed out again either); stations wait up to 10 s for\n"
    "  each other's transactions, and no two ever get one MAC. Every unit judged\n"
    "  is a row of its records, with the station (--station, default the host\n"
    "  name), the operator (--operator) and this program's version.\n"
    "  A unit is not ready when its control MAC is also reported by another\n"
    "  unit of the run (\"-MAC <mac> IS ALSO ON <address>.\") or, with --ledger,\n"
    "  was issued to another unit (\"-MAC <mac> WAS ISSUED TO ANOTHER UNIT (DANTE\n"
    "  MAC <dante>).\"). A database that fails (unreachable, full, read-only) fails\n"
    "  the units it was needed for with its own message, also on standard\n"
    "  error, and the exit status is 74; no MAC is sent before its row is\n"
    "  committed.\n"
    "  hvtk-check --import-ledger FILE.jsonl --ledger LEDGER reads the JSON-lines\n"
    "  ledger of an earlier version into LEDGER once and does nothing else: each\n"
    "  MAC in it stays used (one its unit did not take, \"failed\", as refused),\n"
    "  each unit keeps its MAC. A line that is no whole ledger line (a torn last\n"
    "  line) is named on standard error as FILE:LINE: ..., and every MAC that\n"
    "  can still be read from it stays used.\n"
    "\n"
    "Report (--report, needs --ledger):\n"
    "  Checks no unit: prints the line's yield per day (UTC) and model from the\n"
    "  records in the ledger's database: units judged, \"First-pass yield\" (how\n"
    "  many were ready at their first verdict), \"Final yield\" (at their last),\n"
    "  the most frequent checklist lines and programming failures with their\n"
    "  counts and, with --mac-pool, the MACs of the master list that are left. A\n"
    "  unit is told by its Dante MAC (by its control MAC when it reported none)\n"
    "  and counts once, on the day of its first verdict, under the model of its\n"
    "  last. --since and --until choose the days, both included. --json writes\n"
    "  one JSON document: since, until, groups (one object per day and model:\n"
    "  day, model, units, firstPassReady, finalReady, firstPassYield and\n"
    "  finalYield in percent, checklist [{line, count}], programmingFailures\n"
    "  [{failure, count}]), days (the same for all models of a day), total and,\n"
    "  with --mac-pool, macPool {listed, left}. --chart FILE.png also draws the\n"
    "  first-pass and final yield of each day; no display is needed. A ledger\n"
    "  that cannot be read, or a chart that cannot be written, is exit status 74.\n"
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
    "      found no unit, or fewer than --expect N units answered\n"
    "  64  usage error: unknown option, bad address, mask, timeout or assembly,\n"
    "      no unit named, or a bad master list line (FILE:LINE); one line on\n"
    "      standard error, nothing is checked\n"
    "  66  the --ledger does not exist or holds no ledger: nothing is created\n"
    "      and nothing sent\n"
    "  71  the UDP socket could not be opened\n"
    "  73  --create-ledger: the database holds a ledger already\n"
    "  74  the record file or the ledger could not be opened, read or written\n"
    "  130 stopped by SIGINT (143: SIGTERM): nothing more was sent; each unit is\n"
    "      reported, recorded and in the ledger with what it was sent\n"
    "      (\"interrupted\": true, \"sent\"), not judged\n"
    "\n"
    "Examples:\n"
    "  hvtk-check 192.168.0.254\n"
    "  hvtk-check --json --record line3.jsonl 192.168.0.21 192.168.0.22\n"
    "  hvtk-check --discover --assembly TK12X\n"
    "  hvtk-check --create-ledger --ledger line3.db\n"
    "  hvtk-check --program --assembly HV32K --mac-pool macs --ledger line3.db --discover\n"
    "  hvtk-check --program --assembly HV32K --mac-pool macs --station line3-a \\\n"
    "      --ledger postgresql://line@ledger.plant/production --discover\n"
    "  hvtk-check --report --ledger line3.db --since 2026-12-01 --chart yield.png\n";

QList<QCommandLineOption> options()
{
    FleetCommandLine::OptionTexts texts;
    texts.discover = QStringLiteral("Broadcast the version query on each of this workstation's subnets under the "
                                    "discovery mask and check every unit that answers (besides any ADDRESS named).");
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
        {QStringLiteral("program"),
         QStringLiteral("Before judging, program each unit that reports another model than the --assembly "
                        "MODEL with that model, and give each unit whose control MAC the checklist rejects the "
                        "next free MAC of the --mac-pool list, as the window's SET buttons do.")},
        {QStringLiteral("mac-pool"),
         QStringLiteral("With --program: the master list of control MACs to hand out, in order: one MAC or "
                        "FIRST-LAST per line, # starts a comment."),
         QStringLiteral("FILE")},
        {QStringLiteral("ledger"),
         QStringLiteral("The line's database: the MACs handed out and every unit judged. A FILE (SQLite, on this "
                        "PC) or postgresql://USER@HOST[:PORT]/DB (PostgreSQL, shared by the stations of many PCs; "
                        "the password from ~/.pgpass or PGPASSWORD). It must exist: see --create-ledger."),
         QStringLiteral("LEDGER")},
        {QStringLiteral("create-ledger"),
         QStringLiteral("Create the --ledger LEDGER (its file, or its tables in an existing PostgreSQL database) "
                        "and do nothing else.")},
        {QStringLiteral("import-ledger"),
         QStringLiteral("Read a JSON-lines ledger of an earlier version into the --ledger LEDGER once, and do "
                        "nothing else: each MAC in it stays used, each unit keeps its MAC."),
         QStringLiteral("FILE")},
        {QStringLiteral("station"),
         QStringLiteral("The station's name in the ledger and the records (default: the host name)."),
         QStringLiteral("NAME")},
        {QStringLiteral("operator"), QStringLiteral("Who runs the station, for the records in the ledger."),
         QStringLiteral("NAME")},
        FleetCommandLine::jsonOption(texts),
        FleetCommandLine::recordOption(texts),
        {QStringLiteral("report"),
         QStringLiteral("Check nothing: print the line's yield per day and model from the records in the "
                        "--ledger database.")},
        {QStringLiteral("since"), QStringLiteral("With --report: from this day on (YYYY-MM-DD, UTC)."),
         QStringLiteral("DATE")},
        {QStringLiteral("until"), QStringLiteral("With --report: up to this day, included (YYYY-MM-DD, UTC)."),
         QStringLiteral("DATE")},
        {QStringLiteral("chart"),
         QStringLiteral("With --report: also draw the first-pass and final yield of each day into FILE (PNG)."),
         QStringLiteral("FILE")},
        {QStringLiteral("expect"),
         QStringLiteral("With --discover: the jig holds N units; fewer answering is exit status 2, however "
                        "the others are judged."),
         QStringLiteral("N")},
    };
}

// Takes --ledger, --create-ledger, --import-ledger, --station and
// --operator; the usage error, or an empty text.
QString takeLedger(const QCommandLineParser &parser, CheckOptions *options)
{
    const bool ledger = parser.isSet(QStringLiteral("ledger"));
    options->createLedger = parser.isSet(QStringLiteral("create-ledger"));
    options->importLedger = parser.value(QStringLiteral("import-ledger"));
    const bool import = parser.isSet(QStringLiteral("import-ledger"));
    if ((options->createLedger || import) && !ledger)
        return QStringLiteral("--create-ledger and --import-ledger need --ledger LEDGER");
    if (options->createLedger && import)
        return QStringLiteral("--create-ledger and --import-ledger are two runs");
    if (import && options->importLedger.isEmpty())
        return QStringLiteral("--import-ledger: the file name is empty");
    options->station = parser.isSet(QStringLiteral("station")) ? parser.value(QStringLiteral("station"))
                                                               : QSysInfo::machineHostName();
    if (options->station.isEmpty())
        return QStringLiteral("--station: the name is empty");
    options->operatorName = parser.value(QStringLiteral("operator"));
    if (!ledger)
        return QString();
    options->ledgerFile = parser.value(QStringLiteral("ledger"));
    return LedgerConnection::locationError(options->ledgerFile);
}

// Takes --program and --mac-pool (reading the list); the usage error, or an
// empty text.
QString takeProgramming(const QCommandLineParser &parser, CheckOptions *options)
{
    options->program = parser.isSet(QStringLiteral("program"));
    if (options->program && options->assembly == Assembly::Unknown)
        return QStringLiteral("--program needs --assembly MODEL, the model the line builds");
    const bool pool = parser.isSet(QStringLiteral("mac-pool"));
    const bool ledger = !options->ledgerFile.isEmpty();
    if (pool && !options->program)
        return QStringLiteral("--mac-pool is only used with --program");
    if (options->program && pool != ledger)
        return QStringLiteral("--program: --mac-pool and --ledger go together: every MAC handed out is written to "
                              "the ledger");
    if (!pool)
        return QString();
    QString error;
    options->macPool.load(parser.value(QStringLiteral("mac-pool")), &error);
    return error;
}

// A run that only works on the ledger.
bool ledgerOnly(const CheckOptions &options)
{
    return options.createLedger || !options.importLedger.isEmpty();
}

// Takes --expect; the usage error, or an empty text.
QString takeExpectedUnits(const QCommandLineParser &parser, CheckOptions *options)
{
    if (!parser.isSet(QStringLiteral("expect")))
        return QString();
    const QString text = parser.value(QStringLiteral("expect"));
    bool ok = false;
    options->expectedUnits = text.toInt(&ok);
    if (!ok || options->expectedUnits < 1)
        return QStringLiteral("--expect: \"%1\" is not a positive number of units").arg(text);
    if (!options->discover)
        return QStringLiteral("--expect is only used with --discover");
    return QString();
}

// YYYY-MM-DD, or a null date with the usage error in `error`.
QDate reportDay(const QCommandLineParser &parser, const QString &name, QString *error)
{
    if (!parser.isSet(name))
        return QDate();
    const QString text = parser.value(name);
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        *error = QStringLiteral("--%1: \"%2\" is not a day YYYY-MM-DD").arg(name, text);
    return day;
}

// Takes --report and what goes with it; the usage error, or an empty text.
QString takeReport(const QCommandLineParser &parser, CheckOptions *options)
{
    options->report = parser.isSet(QStringLiteral("report"));
    const QStringList reportOnly{QStringLiteral("since"), QStringLiteral("until"), QStringLiteral("chart")};
    if (!options->report) {
        for (const QString &name : reportOnly) {
            if (parser.isSet(name))
                return QStringLiteral("--%1 is only used with --report").arg(name);
        }
        return QString();
    }
    const QStringList reportOptions = reportOnly
        + QStringList{QStringLiteral("report"), QStringLiteral("ledger"), QStringLiteral("mac-pool"),
                      QStringLiteral("json")};
    for (const QString &name : parser.optionNames()) {
        if (!reportOptions.contains(name))
            return QStringLiteral("--report checks no unit: --%1 is not used with it").arg(name);
    }
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("--report checks no unit: \"%1\" is not used with it")
            .arg(parser.positionalArguments().constFirst());
    options->ledgerFile = parser.value(QStringLiteral("ledger"));
    if (options->ledgerFile.isEmpty())
        return QStringLiteral("--report needs --ledger LEDGER, the database that holds the records");
    QString error;
    options->reportPeriod.since = reportDay(parser, QStringLiteral("since"), &error);
    options->reportPeriod.until = reportDay(parser, QStringLiteral("until"), &error);
    if (!error.isEmpty())
        return error;
    if (options->reportPeriod.since.isValid() && options->reportPeriod.until.isValid()
        && options->reportPeriod.until < options->reportPeriod.since)
        return QStringLiteral("--until is before --since");
    options->chartFile = parser.value(QStringLiteral("chart"));
    if (parser.isSet(QStringLiteral("chart")) && options->chartFile.isEmpty())
        return QStringLiteral("--chart: the file name is empty");
    options->json = parser.isSet(QStringLiteral("json"));
    if (parser.isSet(QStringLiteral("mac-pool")))
        options->macPool.load(parser.value(QStringLiteral("mac-pool")), &error);
    return error;
}

// Takes every option and argument; the usage error, or an empty text.
QString takeOptions(const QCommandLineParser &parser, CheckOptions *options)
{
    QString error = takeReport(parser, options);
    if (!error.isEmpty() || options->report)
        return error;
    error = FleetCommandLine::takeTargets(parser.positionalArguments(), parser, options);
    if (!error.isEmpty())
        return error;
    if (parser.isSet(QStringLiteral("assembly"))) {
        const QString text = parser.value(QStringLiteral("assembly"));
        options->assembly = Assembly::names().indexOf(text);
        if (options->assembly < 0)
            return QStringLiteral("--assembly: \"%1\" is not one of %2")
                .arg(text, Assembly::names().join(QStringLiteral(", ")));
    }
    error = takeLedger(parser, options);
    if (error.isEmpty())
        error = takeExpectedUnits(parser, options);
    if (error.isEmpty())
        error = takeProgramming(parser, options);
    if (error.isEmpty())
        error = FleetCommandLine::takeOutputs(parser, options);
    if (error.isEmpty() && !ledgerOnly(*options))
        error = FleetCommandLine::requireUnits(*options);
    if (error.isEmpty() && ledgerOnly(*options) && (!options->units.isEmpty() || options->discover || options->program))
        error = QStringLiteral("--create-ledger and --import-ledger do nothing else: no ADDRESS, --discover or "
                               "--program with them");
    return error;
}

} // namespace

CommandLineFront::Program program()
{
    CommandLineFront::Program program;
    program.name = QStringLiteral("hvtk-check");
    program.description = QLatin1String(Description);
    program.options = options();
    program.arguments = {{QStringLiteral("ADDRESS"), QStringLiteral("IPv4 address of a unit to check; several may be named."),
                          QStringLiteral("[ADDRESS...]")}};
    program.epilog = QLatin1String(Epilog);
    return program;
}

CommandLineFront::Parsed<CheckOptions> parse(const QStringList &arguments)
{
    return CommandLineFront::parse<CheckOptions>(program(), arguments, takeOptions);
}

} // namespace CheckCommandLine
