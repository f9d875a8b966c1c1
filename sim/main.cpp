#include "channel/commandtext.h"
#include "sim/simlog.h"
#include "sim/unitsimulator.h"
#include "sim/unitentry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

QString description()
{
    return QStringLiteral(
               "Simulated Halvo and Tesk units for tests, demos and training.\n"
               "Each unit answers on UDP port %1 at its own address. Run it only inside a\n"
               "private network namespace (scripts/private-lan -- hvtk-unit-sim ...).\n\n"
               "A units file lists one unit per line, \"#\" starts a comment:\n"
               "  ADDRESS[:MODEL[:FIRMWARE]] [OPTION ...]\n"
               "  192.168.0.254:HV4K:2.09\n"
               "  192.168.0.21:TK12X:2.12 live=1000 dip-on=2\n"
               "Models: %2 (default HV4K); firmware MAJOR.MINOR (default 2.09).\n"
               "Options of a unit line:\n%3")
        .arg(QString::number(CommandText::UnitPort), UnitModels::names().join(QStringLiteral(", ")),
             UnitEntries::optionHelp());
}

int fail(const QString &message)
{
    QTextStream(stderr) << "hvtk-unit-sim: " << message << '\n';
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hvtk-unit-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    const QCommandLineOption unitOption(
        QStringLiteral("unit"),
        QStringLiteral("Start a unit (repeatable), e.g. 192.168.0.254:HV4K:2.09; options of a "
                       "unit line may follow, quoted: \"192.168.0.21:TK4K silent\"."),
        QStringLiteral("ADDRESS[:MODEL[:FIRMWARE]]"));
    const QCommandLineOption unitsOption(
        QStringLiteral("units"), QStringLiteral("Start the units listed in FILE (format above)."),
        QStringLiteral("FILE"));
    const QCommandLineOption logOption(
        QStringLiteral("log"), QStringLiteral("Print every datagram in and out, with time stamps."));
    parser.addOptions({unitOption, unitsOption, logOption});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\" (see --help)")
                        .arg(parser.positionalArguments().first()));

    QList<UnitEntry> entries;
    QString error;
    for (const QString &text : parser.values(unitOption)) {
        if (!UnitEntries::parseLine(text, &entries, &error) || text.trimmed().isEmpty())
            return fail(QStringLiteral("--unit %1").arg(error.isEmpty() ? QStringLiteral("needs an address") : error));
    }
    if (parser.isSet(unitsOption)) {
        QFile file(parser.value(unitsOption));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return fail(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        if (!UnitEntries::parseFile(QString::fromUtf8(file.readAll()), &entries, &error))
            return fail(QStringLiteral("%1: %2").arg(file.fileName(), error));
    }
    if (entries.isEmpty())
        return fail(QStringLiteral("no units: give --unit ADDRESS or --units FILE (see --help)"));

    UnitSimulator simulator;
    QTextStream out(stdout);
    for (const UnitEntry &entry : entries) {
        SimulatedUnit *unit = UnitEntries::isTwin(entry)
                                  ? simulator.addTwin(simulator.unit(entry.config.address), entry.config)
                                  : simulator.addUnit(entry.config);
        if (!unit && UnitEntries::isTwin(entry))
            return fail(QStringLiteral("%1: twin: no unit at this address on an earlier line")
                            .arg(entry.config.address.toString()));
        if (!unit)
            return fail(simulator.errorString());
        for (const QString &option : entry.options) {
            if (!UnitEntries::applyOption(unit, option, &error))
                return fail(error);
        }
        out << "unit " << unit->address().toString() << "  " << printable(unit->versionText());
        if (UnitEntries::isTwin(entry))
            out << "  twin " << unit->status().controlMacText;
        out << '\n';
    }
    out.flush();

    QObject::connect(&simulator, &UnitSimulator::unitError, [](SimulatedUnit *, const QString &message) {
        QTextStream(stderr) << "hvtk-unit-sim: " << message << '\n';
    });
    if (parser.isSet(logOption)) {
        const auto print = [&out](const SimDatagram &datagram) {
            out << formatLogLine(datagram) << '\n';
            out.flush();
        };
        QObject::connect(&simulator, &UnitSimulator::datagramReceived, print);
        QObject::connect(&simulator, &UnitSimulator::datagramSent, print);
    }
    return app.exec();
}
