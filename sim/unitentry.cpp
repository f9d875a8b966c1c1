#include "sim/unitentry.h"

#include "sim/simulatedunit.h"
#include "sim/unitmodel.h"

#include <QHostAddress>

namespace UnitEntries {

namespace {

struct OptionWord
{
    const char *name;
    bool takesValue;
    const char *help;
};

constexpr OptionWord OptionWords[] = {
    {"silent", false, "answers nothing"},
    {"old-firmware", false, "answers \"GSHV\\r\" with E04 (firmware without the status request)"},
    {"length", true, "length=N: status reply of N bytes (251, 255, 256; fewer truncate, 32 = header only)"},
    {"bare-results", false, "answers \"R\" / \"E04\" without the carriage return"},
    {"restart", true, "restart=MS: silence after reboot, defaults, link (default 3000)"},
    {"live", true, "live=MS: inputs, LEDs, PTT, ringer, handset change every MS milliseconds"},
    {"next-reply", true, "next-reply=TEXT: answers TEXT once, whatever is asked (\\r: carriage return)"},
    {"error-next", true, "error-next=E06: the next command fails with that code"},
    {"unit-error", true, "unit-error=N: reports unit error code N"},
    {"wrong-dante-mac", false, "Dante MAC outside 00:1D:C1"},
    {"wrong-control-mac", false, "control MAC outside 02:4B:7D:00"},
    {"refuse-mac", false, "answers E16 to every MAC it is given"},
    {"after-first-reply", true,
     "after-first-reply=OPTION: takes OPTION right after its first status reply (e.g. after-first-reply=dip-on=2)"},
    {"names-mismatched", false, "Dante and local names do not end in their MACs"},
    {"ultimo-offline", false, "Ultimo bus required but offline"},
    {"dip-on", true, "dip-on=1,3: those DIP switches on (dip-on alone: all four)"},
    {"intensity", true, "intensity=N: LED intensity N percent"},
    {"twin", true,
     "twin=CONTROLMAC: a second unit at the address of the unit of an earlier line, answering after it, with "
     "that control MAC"},
};

const OptionWord *findWord(const QString &name)
{
    for (const OptionWord &word : OptionWords) {
        if (name == QLatin1String(word.name))
            return &word;
    }
    return nullptr;
}

bool parseNumber(const QString &text, int min, int max, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= min && *value <= max;
}

// Checks (unit == nullptr) or applies one option.
bool handleOption(SimulatedUnit *unit, const QString &option, QString *error)
{
    const int equals = option.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? option : option.left(equals);
    const QString value = equals < 0 ? QString() : option.mid(equals + 1);
    const OptionWord *word = findWord(name);
    const auto fail = [&](const QString &why) {
        *error = QStringLiteral("option \"%1\": %2").arg(option, why);
        return false;
    };
    if (!word)
        return fail(QStringLiteral("unknown"));
    if (!word->takesValue && equals >= 0)
        return fail(QStringLiteral("takes no value"));
    if (word->takesValue && equals < 0 && name != QLatin1String("dip-on"))
        return fail(QStringLiteral("needs a value (%1)").arg(QLatin1String(word->help)));

    int number = 0;
    if (name == QLatin1String("silent")) {
        if (unit)
            unit->setSilent(true);
    } else if (name == QLatin1String("old-firmware")) {
        if (unit)
            unit->setStatusRequestSupported(false);
    } else if (name == QLatin1String("length")) {
        if (!parseNumber(value, 0, 1400, &number))
            return fail(QStringLiteral("needs a byte count 0..1400"));
        if (unit)
            unit->setStatusReplyLength(number);
    } else if (name == QLatin1String("bare-results")) {
        if (unit) {
            UnitBehaviour behaviour = unit->behaviour();
            behaviour.carriageReturnAfterResult = false;
            unit->setBehaviour(behaviour);
        }
    } else if (name == QLatin1String("restart")) {
        if (!parseNumber(value, 0, 600000, &number))
            return fail(QStringLiteral("needs milliseconds 0..600000"));
        if (unit)
            unit->setRestartTime(number);
    } else if (name == QLatin1String("live")) {
        if (!parseNumber(value, 10, 600000, &number))
            return fail(QStringLiteral("needs milliseconds 10..600000"));
        if (unit)
            unit->setLiveChanges(number);
    } else if (name == QLatin1String("next-reply")) {
        if (unit)
            unit->setNextReply(QString(value).replace(QLatin1String("\\r"), QLatin1String("\r")).toUtf8());
    } else if (name == QLatin1String("error-next")) {
        if (value.isEmpty())
            return fail(QStringLiteral("needs a code such as E06"));
        if (unit)
            unit->setNextCommandError(value.toUtf8());
    } else if (name == QLatin1String("unit-error")) {
        if (!parseNumber(value, 0, 255, &number))
            return fail(QStringLiteral("needs a code 0..255"));
        if (unit)
            unit->setUnitErrorCode(quint8(number));
    } else if (name == QLatin1String("wrong-dante-mac")) {
        if (unit)
            unit->setWrongDanteMacPrefix();
    } else if (name == QLatin1String("wrong-control-mac")) {
        if (unit)
            unit->setWrongControlMacPrefix();
    } else if (name == QLatin1String("refuse-mac")) {
        if (unit)
            unit->setRefusesMac(true);
    } else if (name == QLatin1String("after-first-reply")) {
        QString laterError;
        if (value.startsWith(QLatin1String("after-first-reply")) || !checkOption(value, &laterError))
            return fail(laterError.isEmpty() ? QStringLiteral("needs another option") : laterError);
        if (unit)
            unit->changeAfterNextStatusReply([value](SimulatedUnit &later) {
                QString ignored;
                applyOption(&later, value, &ignored);
            });
    } else if (name == QLatin1String("names-mismatched")) {
        if (unit)
            unit->setNamesMismatched();
    } else if (name == QLatin1String("ultimo-offline")) {
        if (unit)
            unit->setUltimoBusRequiredOffline();
    } else if (name == QLatin1String("dip-on")) {
        const QStringList switches = value.isEmpty() ? QStringList{"1", "2", "3", "4"}
                                                     : value.split(QLatin1Char(','));
        for (const QString &switchText : switches) {
            if (!parseNumber(switchText, 1, 4, &number))
                return fail(QStringLiteral("switch numbers are 1..4"));
            if (unit)
                unit->setDipSwitch(number, true);
        }
    } else if (name == QLatin1String("twin")) {
        const std::optional<std::array<quint8, 6>> mac = SimulatedUnit::macFromText(value.toLatin1());
        if (!mac)
            return fail(QStringLiteral("needs a control MAC such as 02:4B:7D:00:80:FE"));
        if (unit)
            unit->setControlMac(*mac);
    } else if (name == QLatin1String("intensity")) {
        if (!parseNumber(value, 0, 255, &number))
            return fail(QStringLiteral("needs a percentage"));
        if (unit)
            unit->setLedIntensity(quint8(number));
    }
    return true;
}

} // namespace

bool parseUnit(const QString &text, UnitConfig *config, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 3 || parts.value(0).isEmpty()) {
        *error = QStringLiteral("\"%1\": expected ADDRESS[:MODEL[:FIRMWARE]]").arg(text);
        return false;
    }
    QHostAddress address;
    if (!address.setAddress(parts[0]) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        *error = QStringLiteral("\"%1\": \"%2\" is not an IPv4 address").arg(text, parts[0]);
        return false;
    }
    UnitConfig result;
    result.address = address;
    if (parts.size() > 1 && !parts[1].isEmpty())
        result.model = parts[1];
    if (!UnitModels::find(result.model)) {
        *error = QStringLiteral("\"%1\": unknown model \"%2\" (known: %3)")
                     .arg(text, result.model, UnitModels::names().join(QStringLiteral(", ")));
        return false;
    }
    if (parts.size() > 2) {
        const QStringList version = parts[2].split(QLatin1Char('.'));
        bool majorOk = false;
        bool minorOk = false;
        version.value(0).toUInt(&majorOk);
        version.value(1).toUInt(&minorOk);
        if (version.size() != 2 || !majorOk || !minorOk) {
            *error = QStringLiteral("\"%1\": firmware \"%2\" is not MAJOR.MINOR").arg(text, parts[2]);
            return false;
        }
        result.firmware = parts[2];
    }
    *config = result;
    return true;
}

bool parseLine(const QString &line, QList<UnitEntry> *entries, QString *error)
{
    const QString content = line.section(QLatin1Char('#'), 0, 0).simplified();
    if (content.isEmpty())
        return true;
    const QStringList words = content.split(QLatin1Char(' '));
    UnitEntry entry;
    if (!parseUnit(words.first(), &entry.config, error))
        return false;
    for (int i = 1; i < words.size(); ++i) {
        if (!checkOption(words[i], error))
            return false;
        entry.options << words[i];
    }
    entries->append(entry);
    return true;
}

bool parseFile(const QString &text, QList<UnitEntry> *entries, QString *error)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString lineError;
        if (!parseLine(lines[i], entries, &lineError)) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(lineError);
            return false;
        }
    }
    return true;
}

bool checkOption(const QString &option, QString *error)
{
    return handleOption(nullptr, option, error);
}

bool applyOption(SimulatedUnit *unit, const QString &option, QString *error)
{
    return handleOption(unit, option, error);
}

bool isTwin(const UnitEntry &entry)
{
    for (const QString &option : entry.options) {
        if (option.startsWith(QLatin1String("twin=")))
            return true;
    }
    return false;
}

QString optionHelp()
{
    QString text;
    for (const OptionWord &word : OptionWords)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(word.name), -18).arg(QLatin1String(word.help));
    return text;
}

} // namespace UnitEntries
