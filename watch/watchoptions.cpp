#include "watch/watchoptions.h"

#include <QCommandLineOption>

namespace WatchCommandLine {

namespace {

const char *const Description =
    "Watches Halvo and Tesk units in service for the monitoring a site already\n"
    "runs: a Prometheus exporter, an Icinga/Nagios check, and the scrape targets of\n"
    "a commissioning plan. It only asks the units (the status request, or the\n"
    "version query for firmware that does not answer it) and never commands them.\n"
    "\n"
    "A probe polls one unit every 300 ms until two replies in a row leave the same\n"
    "condition word, or until its time runs out, and judges its service state:\n"
    "  critical  no answer; UnitErrorReported; UltimoBusRequiredOffline; a Q-SYS\n"
    "            core set but not linked; two units (control MACs) answering at\n"
    "            the address\n"
    "  warning   any field that differs from the plan; DataTruncated;\n"
    "            FirmwareUnsupported\n"
    "  ok        every other condition (reported, never alarmed on)\n"
    "\n"
    "--listen ADDRESS:PORT serves Prometheus: GET /probe?target=ADDRESS probes that\n"
    "unit within the scrape's timeout (X-Prometheus-Scrape-Timeout-Seconds less\n"
    "0.5 s; 5 s without it), GET /metrics has the exporter's own metrics.\n"
    "--check -H ADDRESS checks one unit as an Icinga/Nagios plugin.\n"
    "--targets PLAN.csv prints the plan's control addresses as Prometheus file_sd\n"
    "JSON.";

const char *const Epilog =
    "Exit status with --check: 0 OK, 1 WARNING, 2 CRITICAL (also a unit that does\n"
    "not answer within -t), 3 UNKNOWN (usage errors, a socket that cannot be\n"
    "opened, a plan that cannot be used).\n"
    "Otherwise: 0 done or stopped by SIGTERM/SIGINT, 64 usage error, 65 a plan\n"
    "with errors, 66 a plan that cannot be read, 71 the HTTP port or a socket\n"
    "cannot be opened, 74 the fault log cannot be written.\n"
    "SIGHUP reads the plan again; a plan with errors keeps the one held, and\n"
    "says why on standard error.\n"
    "\n"
    "Examples:\n"
    "  hvtk-watch --listen 127.0.0.1:9868 --plan site.csv --log faults.jsonl\n"
    "  hvtk-watch --check -H 192.168.0.254 -t 5 --plan site.csv\n"
    "  hvtk-watch --targets site.csv > /etc/prometheus/hvtk-site.json";

const QCommandLineOption Listen({QStringLiteral("listen")},
                                QStringLiteral("Serve Prometheus on ADDRESS:PORT (IPv4)."),
                                QStringLiteral("ADDRESS:PORT"));
const QCommandLineOption Check({QStringLiteral("check")},
                               QStringLiteral("Check one unit as an Icinga/Nagios plugin."));
const QCommandLineOption Host({QStringLiteral("H"), QStringLiteral("host")},
                              QStringLiteral("With --check: the unit's IPv4 address."), QStringLiteral("ADDRESS"));
const QCommandLineOption Timeout({QStringLiteral("t"), QStringLiteral("timeout")},
                                 QStringLiteral("With --check: seconds the unit is given (default 10)."),
                                 QStringLiteral("SECONDS"));
const QCommandLineOption Plan({QStringLiteral("plan")},
                              QStringLiteral("Hold the units against the commissioning plan PLAN.csv."),
                              QStringLiteral("PLAN.csv"));
const QCommandLineOption Log({QStringLiteral("log")},
                             QStringLiteral("Append a JSON line to FILE whenever a unit's state changes."),
                             QStringLiteral("FILE"));
const QCommandLineOption Targets({QStringLiteral("targets")},
                                 QStringLiteral("Print the Prometheus file_sd targets of PLAN.csv."),
                                 QStringLiteral("PLAN.csv"));

bool parseListen(const QString &text, WatchOptions *options)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    const uint port = text.mid(colon + 1).toUInt(&portOk);
    if (colon <= 0 || !portOk || port == 0 || port > 65535)
        return false;
    options->listenPort = quint16(port);
    return FleetCommandLine::parseIPv4(text.left(colon), &options->listenAddress);
}

QString takeOptions(const QCommandLineParser &parser, WatchOptions *options)
{
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().front());
    const int modes = int(parser.isSet(Listen)) + int(parser.isSet(Check)) + int(parser.isSet(Targets));
    if (modes != 1)
        return QStringLiteral("give one of --listen, --check and --targets");
    options->plan = parser.value(Plan);
    options->log = parser.value(Log);
    if (parser.isSet(Targets)) {
        if (parser.isSet(Plan) || parser.isSet(Log))
            return QStringLiteral("--targets takes its plan and no --plan or --log");
        options->mode = WatchOptions::Mode::Targets;
        options->plan = parser.value(Targets);
        return QString();
    }
    if (parser.isSet(Listen)) {
        if (parser.isSet(Host) || parser.isSet(Timeout))
            return QStringLiteral("-H and -t belong to --check");
        options->mode = WatchOptions::Mode::Exporter;
        if (!parseListen(parser.value(Listen), options))
            return QStringLiteral("--listen wants ADDRESS:PORT, an IPv4 address and a port from 1 to 65535");
        return QString();
    }
    options->mode = WatchOptions::Mode::Check;
    if (!parser.isSet(Host))
        return QStringLiteral("--check needs -H ADDRESS");
    if (!FleetCommandLine::parseIPv4(parser.value(Host), &options->host))
        return QStringLiteral("-H wants an IPv4 address with four decimal parts");
    if (parser.isSet(Timeout)) {
        bool ok = false;
        const double seconds = parser.value(Timeout).toDouble(&ok);
        if (!ok || !(seconds >= 0.1 && seconds <= 3600))
            return QStringLiteral("-t wants seconds from 0.1 to 3600");
        options->checkTimeoutMs = int(seconds * 1000);
    }
    return QString();
}

} // namespace

CommandLineFront::Program program()
{
    CommandLineFront::Program program;
    program.name = QStringLiteral("hvtk-watch");
    program.description = QLatin1String(Description);
    program.options = {Listen, Check, Host, Timeout, Plan, Log, Targets};
    program.epilog = QLatin1String(Epilog);
    return program;
}

CommandLineFront::Parsed<WatchOptions> parse(const QStringList &arguments)
{
    return CommandLineFront::parse<WatchOptions>(program(), arguments, takeOptions);
}

bool asksForCheck(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--check")) || arguments.contains(QStringLiteral("-check"));
}

} // namespace WatchCommandLine
