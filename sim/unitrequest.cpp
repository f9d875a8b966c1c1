#include "sim/unitrequest.h"

namespace {

struct FixedText
{
    const char *text;
    UnitRequest::Kind kind;
};

// Mnemonics that take no argument. "1LI" and "CM1DRE" are whole texts.
constexpr FixedText FixedTexts[] = {
    {"GSHV", UnitRequest::StatusRequest},
    {"?V", UnitRequest::VersionQuery},
    {"PIHV", UnitRequest::Identify},
    {"*LNSGCSI", UnitRequest::LedsGreen},
    {"*LNSRCSI", UnitRequest::LedsRed},
    {"*LNSOCSI", UnitRequest::LedsOrange},
    {"*LFSSI", UnitRequest::LedsOff},
    {"CM1DRE", UnitRequest::RingerTest},
    {"XX", UnitRequest::Reboot},
    {"DE", UnitRequest::LoadDefaults},
    {"BLXX", UnitRequest::FirmwareUpdate},
    {"LCHV", UnitRequest::LedCycleToggle},
    {"DUHV", UnitRequest::RedetectUltimo},
    {"1LI", UnitRequest::LinkStart},
};

struct Suffix
{
    const char *mnemonic;
    UnitRequest::Kind kind;
};

// Mnemonics that follow an argument, longest first where one ends another.
constexpr Suffix Suffixes[] = {
    {"HMHV", UnitRequest::HandsetMute},
    {"PAHV", UnitRequest::Assembly},
    {"RCHV", UnitRequest::ClearPowerCycles},
    {"UMC", UnitRequest::MacAddress},
    {"MC", UnitRequest::MacAddress},
    {"IB", UnitRequest::LedIntensity},
    {"NM", UnitRequest::LinkStationName},
    {"ND", UnitRequest::LinkDanteName},
    {"LX", UnitRequest::LinkAddresses},
};

bool isDecimal(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Number arguments must be decimal digits; names and addresses may be anything.
bool argumentFits(UnitRequest::Kind kind, const QByteArray &argument)
{
    switch (kind) {
    case UnitRequest::HandsetMute:
    case UnitRequest::Assembly:
    case UnitRequest::ClearPowerCycles:
    case UnitRequest::LedIntensity:
        return isDecimal(argument);
    case UnitRequest::MacAddress:
    case UnitRequest::LinkAddresses:
        return !argument.isEmpty();
    default:
        return true;
    }
}

} // namespace

UnitRequest parseUnitRequest(const QByteArray &datagram)
{
    QByteArray text = datagram;
    if (text.endsWith('\r'))
        text.chop(1);

    UnitRequest request;
    for (const FixedText &fixed : FixedTexts) {
        if (text == fixed.text) {
            request.kind = fixed.kind;
            return request;
        }
    }
    for (const Suffix &suffix : Suffixes) {
        if (!text.endsWith(suffix.mnemonic))
            continue;
        const QByteArray argument = text.left(text.size() - int(qstrlen(suffix.mnemonic)));
        if (!argumentFits(suffix.kind, argument))
            continue;
        request.kind = suffix.kind;
        request.argument = argument;
        request.arguments = argument.split(',');
        request.danteReference = qstrcmp(suffix.mnemonic, "UMC") == 0;
        return request;
    }
    return request;
}
