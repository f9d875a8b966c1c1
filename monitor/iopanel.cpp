#include "monitor/iopanel.h"

#include "channel/windowtext.h"

namespace IoPanel {

const char *const Lit = "lime";
const char *const Dark = "black";
const char *const NotInUse = "#E7E7E7";

QString indicatorStyleSheet(const QString &colour)
{
    if (colour.isEmpty())
        return QStringLiteral("QLabel { background-color : }");
    return QStringLiteral("QLabel { background-color : ") + colour + QStringLiteral(" }");
}

bool bitOfIndicator(const std::array<quint8, 4> &bytes, int n)
{
    if (n < 1 || n > 32)
        return false;
    const int bit = n - 1;
    return bytes[bit / 8] & (1u << (bit % 8));
}

QString inputColour(const std::array<quint8, 4> &inputBits, int n)
{
    return QString::fromLatin1(bitOfIndicator(inputBits, n) ? Dark : Lit);
}

QString ledColour(const std::array<quint8, 4> &ledBits, int n)
{
    return flagColour(bitOfIndicator(ledBits, n));
}

QString ledLetterColour(char letter)
{
    switch (letter) {
    case 'G':
        return QString::fromLatin1(Lit);
    case 'R':
        return QStringLiteral("red");
    case 'Y':
        return QStringLiteral("orange");
    default:
        return QString::fromLatin1(Dark);
    }
}

QString flagColour(bool set)
{
    return QString::fromLatin1(set ? Lit : Dark);
}

QString pttColour(bool pttState)
{
    return QString::fromLatin1(pttState ? Dark : Lit);
}

DipSwitchColours dipSwitchColours(bool switchOff)
{
    const QString white = QStringLiteral("white");
    const QString black = QString::fromLatin1(Dark);
    if (switchOff)
        return {black, white};
    return {white, black};
}

namespace {

QString nameOf(Indicator indicator, int number)
{
    switch (indicator) {
    case Indicator::Input:
        return windowText("Input %1").arg(number);
    case Indicator::Led:
        return windowText("LED %1").arg(number);
    case Indicator::DipSwitchOnCell:
    case Indicator::DipSwitchOffCell:
        return windowText("DIP switch %1").arg(number);
    case Indicator::PushToTalk:
        return windowText("Push to talk");
    case Indicator::Ringer:
        return windowText("Ringer");
    case Indicator::HandsetMuted:
        return windowText("Handset muted");
    case Indicator::SnoozingAllowed:
        return windowText("Snoozing allowed");
    case Indicator::ButtonTaps:
        return windowText("Button taps");
    case Indicator::PttZoneMode:
        return windowText("PTT zone mode");
    }
    return QString();
}

// The state a lit ("lime") and a dark ("black") indicator stand for.
struct LitAndDark
{
    const char *lit;
    const char *dark;
};

LitAndDark statesOf(Indicator indicator)
{
    switch (indicator) {
    case Indicator::Input:
        return {"active", "inactive"};
    case Indicator::Led:
        return {"green", "off"};
    case Indicator::PushToTalk:
        return {"pressed", "released"};
    case Indicator::Ringer:
        return {"on", "off"};
    case Indicator::HandsetMuted:
    case Indicator::SnoozingAllowed:
        return {"yes", "no"};
    case Indicator::ButtonTaps:
    case Indicator::PttZoneMode:
        return {"enabled", "disabled"};
    case Indicator::DipSwitchOnCell:
    case Indicator::DipSwitchOffCell:
        break;
    }
    return {"on", "off"};
}

QString stateOf(Indicator indicator, const QString &colour)
{
    if (colour.compare(QLatin1String(NotInUse), Qt::CaseInsensitive) == 0)
        return windowText("not in use");
    // A DIP switch cell is white on the side the switch is set to.
    if (indicator == Indicator::DipSwitchOnCell || indicator == Indicator::DipSwitchOffCell) {
        const bool onCell = indicator == Indicator::DipSwitchOnCell;
        if (colour == QLatin1String("white"))
            return onCell ? windowText("on") : windowText("off");
        if (colour == QLatin1String(Dark))
            return onCell ? windowText("off") : windowText("on");
        return windowText("unknown");
    }
    if (indicator == Indicator::Led && colour == QLatin1String("red"))
        return windowText("red");
    if (indicator == Indicator::Led && colour == QLatin1String("orange"))
        return windowText("yellow");
    const LitAndDark states = statesOf(indicator);
    if (colour == QLatin1String(Lit))
        return windowText(states.lit);
    if (colour == QLatin1String(Dark))
        return windowText(states.dark);
    return windowText("unknown");
}

} // namespace

QString inWords(Indicator indicator, int number, const QString &colour)
{
    return nameOf(indicator, number) + QStringLiteral(": ") + stateOf(indicator, colour);
}

} // namespace IoPanel
