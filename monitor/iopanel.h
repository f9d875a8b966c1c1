#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// Colour rules of the live I/O panel: which colour name each indicator gets
// from the values of a status reply.
namespace IoPanel {

// Style sheet that paints an indicator label in `colour` ("lime", "black",
// "white", "red", "orange" or "#E7E7E7" for an indicator not in use); with
// no colour, the sheet names none.
QString indicatorStyleSheet(const QString &colour);

extern const char *const Lit;      // "lime"
extern const char *const Dark;     // "black"
extern const char *const NotInUse; // "#E7E7E7"

// Bit (n-1) mod 8 of byte (n-1) div 8, for indicator n from 1 to 32.
bool bitOfIndicator(const std::array<quint8, 4> &bytes, int n);

// An input reads as active when its bit is clear.
QString inputColour(const std::array<quint8, 4> &inputBits, int n);
QString ledColour(const std::array<quint8, 4> &ledBits, int n);
// The colour letter a 4-LED unit reports for one LED: G, R, Y or anything else.
QString ledLetterColour(char letter);
// Ringer, handset-muted and feature indicators: lit when set.
QString flagColour(bool set);
// Push-to-talk reads as pressed when its byte is zero.
QString pttColour(bool pttState);

struct DipSwitchColours
{
    QString onCell;
    QString offCell;
};
// The white block sits on the side the switch is set to.
DipSwitchColours dipSwitchColours(bool switchOff);

// The indicators of the panel, for saying in words what one shows.
enum class Indicator {
    Input,
    Led,
    DipSwitchOnCell,
    DipSwitchOffCell,
    PushToTalk,
    Ringer,
    HandsetMuted,
    SnoozingAllowed,
    ButtonTaps,
    PttZoneMode,
};

// What an indicator painted in `colour` shows, for its tool tip and
// accessible name: "LED 3: red", "Input 2: active", "DIP switch 3: on",
// "Ringer: not in use"; "unknown" for a colour that stands for no state.
// `number` counts inputs, LEDs and DIP switches from 1 and is ignored for
// the others.
QString inWords(Indicator indicator, int number, const QString &colour);

} // namespace IoPanel
