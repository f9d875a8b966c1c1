#include "channel/resultcodes.h"

#include "channel/windowtext.h"

namespace ResultCodes {

namespace {

struct ResultCode
{
    const char *code;
    const char *text;
    bool firmwareUnsupported;
};

constexpr ResultCode Known[] = {
    {"E00", QT_TRANSLATE_NOOP("HVTKUtilities", "Communication Error"), true},
    {"E01", QT_TRANSLATE_NOOP("HVTKUtilities", "Hardware Error"), true},
    {"E04", QT_TRANSLATE_NOOP("HVTKUtilities", "Invalid/Unsupported Command"), true},
    {"E06", QT_TRANSLATE_NOOP("HVTKUtilities", "Invalid Command Argument"), true},
    {"E11", QT_TRANSLATE_NOOP("HVTKUtilities", "Command unavailable"), true},
    {"E12", QT_TRANSLATE_NOOP("HVTKUtilities", "Invalid station filter (ID/IP/MAC) or no match (unicast)"), false},
    {"E13", QT_TRANSLATE_NOOP("HVTKUtilities", "Kiro Link Not Active"), false},
    {"E14", QT_TRANSLATE_NOOP("HVTKUtilities", "Invalid Port"), false},
    {"E15", QT_TRANSLATE_NOOP("HVTKUtilities", "Invalid Port (mismatch)"), false},
    {"E16", QT_TRANSLATE_NOOP("HVTKUtilities", "Invalid MAC (mismatch in Vendor range)"), false},
};

const ResultCode *find(const QString &code)
{
    for (const ResultCode &known : Known) {
        if (code == QLatin1String(known.code))
            return &known;
    }
    return nullptr;
}

} // namespace

bool isSuccess(const QString &reply)
{
    return reply == QLatin1String("R");
}

QString failureText(const QString &code)
{
    const ResultCode *known = find(code);
    return known ? windowText(known->text) : QString();
}

bool marksFirmwareUnsupported(const QString &code)
{
    const ResultCode *known = find(code);
    return known && known->firmwareUnsupported;
}

QString refusal(const QString &code)
{
    const QString text = failureText(code);
    return text.isEmpty() ? code : code + QLatin1String(": ") + text;
}

QString successStatus(const QString &reply)
{
    return windowText("Status: Success [") + reply + QLatin1Char(']');
}

QString failureStatus(const QString &code, const QString &text, bool complete)
{
    QString line = windowText("Status: Failed [") + code + QLatin1String(": ");
    if (complete)
        line += text + QLatin1Char(']');
    return line;
}

} // namespace ResultCodes
