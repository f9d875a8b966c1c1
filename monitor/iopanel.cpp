#include "monitor/iopanel.h"

namespace IoPanel {

const char *const Lit = "lime";
const char *const Dark = "black";
const char *const NotInUse = "#E7E7E7";

QString indicatorStyleSheet(const QString &colour)
{
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

} // namespace IoPanel
