#include "monitor/checklist.h"

#include "monitor/assemblyprofiles.h"
#include "monitor/conditions.h"
#include "monitor/windowstyles.h"
#include "channel/windowtext.h"

namespace Checklist {

const char *const OfflineStyleSheet = WindowStyle::OfflineChecklist;
const char *const YellowStyleSheet = "QTextEdit { background-color : #ffffb2 }";
const char *const RedStyleSheet = "QTextEdit { background-color : #ffb2b2 }";
const char *const GreenStyleSheet = "QTextEdit { background-color : #b2ffb2 }";
const char *const NotJudgedLine = "-WAITING FOR A COMPLETE STATUS REPLY.\n";

namespace {

// The line of a condition that the bit alone words.
QString line(ConditionFlag flag)
{
    return windowText(Conditions::of(flag).checklistLine);
}

// The Dante side gave itself a 169.254.x.x address: no DHCP server answered.
QString linkLocalNote(quint32 danteIp)
{
    if ((danteIp >> 16) == ((169u << 8) | 254u))
        return windowText("  NO DHCP SERVER DETECTED [NEEDED FOR DANTE UPDATE].");
    return QString();
}

// Neither an UltimoX-class assembly nor an Ultimo bus online: the Dante
// details cannot be read from the unit and need checking by hand.
bool danteDetailsUnreadable(const UnitStatus &s, bool ultimoXModel)
{
    return !ultimoXModel && !s.ultimoBusOnline;
}

QString compatibilityAssemblyLine(int assembly)
{
    QString line = windowText("-CANNOT USE COMPATIBILITY ASSEMBLY CODE FOR ULTIMOX UNITS.");
    if (assembly == Assembly::HV4)
        return line + windowText(" CHANGE HV4 -> HV4X or HV4K\n");
    if (assembly == Assembly::HV16)
        return line + windowText(" CHANGE HV16 -> HV16K\n");
    return line + QStringLiteral("\n");
}

QString imageMismatchLine(const UnitStatus &s, bool ultimoXModel)
{
    if (danteDetailsUnreadable(s, ultimoXModel))
        return windowText("-PLEASE VERIFY USING DANTE CONTROLLER THE PROPER ULTIMO IMAGE FILE IS PROGRAMMED FOR THIS PRODUCT\n");
    if (s.danteImageProduct.isEmpty())
        return windowText("-WAITING FOR ULTIMO IMAGE FILE INFORMATION\n");
    return windowText("-INVALID ULTIMO IMAGE FILE PROGRAMMED FOR THIS PRODUCT [HALVO DNT -> TK OR TESK DNT -> HV]\n");
}

QString danteMacLine(const UnitStatus &s, bool ultimoXModel)
{
    if (danteDetailsUnreadable(s, ultimoXModel))
        return windowText("-VALID DANTE MAC REFERENCE MUST BE PROGRAMMED.\n");
    return windowText("-WAITING FOR VALID DANTE MAC REFERENCE.  IF ERROR PERSISTS AFTER REBOOT, CONTACT ORLAN.\n");
}

} // namespace

QString text(const UnitStatus &s, const AssemblyState &assembly)
{
    QString lines;
    if (s.hasCondition(FirmwareUnsupported))
        lines += line(FirmwareUnsupported);
    if (s.hasCondition(DataTruncated))
        lines += line(DataTruncated);
    if (s.hasCondition(ModelInvalid))
        lines += line(ModelInvalid);
    if (s.hasCondition(UltimoBusRequiredOffline))
        lines += line(UltimoBusRequiredOffline);
    if (s.hasCondition(FirmwareUpdateRequired))
        lines += line(FirmwareUpdateRequired);
    if (s.hasCondition(BootloaderOutdated))
        lines += line(BootloaderOutdated);
    // Both Ultimo bits together mean the chip model was not recognised.
    const bool chipUnknown = s.hasCondition(UltimoFirmwareOutdated) && s.hasCondition(UltimoXFirmwareOutdated);
    if (chipUnknown)
        lines += windowText("-WAITING FOR ULTIMO CHIP MODEL.\n");
    else if (s.hasCondition(UltimoFirmwareOutdated))
        lines += windowText("-ULTIMO FIRMWARE V3.10.4.1+ REQUIRED.") + linkLocalNote(s.danteIp) + QStringLiteral("\n");
    else if (s.hasCondition(UltimoXFirmwareOutdated))
        lines += windowText("-ULTIMOX FIRMWARE V4.1.2.1+ REQUIRED.") + linkLocalNote(s.danteIp) + QStringLiteral("\n");
    if (s.hasCondition(CompatibilityAssemblyOnUltimoX))
        lines += compatibilityAssemblyLine(assembly.assembly);
    if (s.hasCondition(DanteImageMismatch))
        lines += imageMismatchLine(s, assembly.ultimoXModel);
    if (s.hasCondition(UnitErrorReported))
        lines += windowText("-INTERNAL ERROR CODE [0x%1].  RESET TO DEFAULTS AND SEE IF THE ERROR COMES BACK.  IF IT DOES, REPORT TO ORLAN.\n")
                     .arg(QString::number(s.unitErrorCode, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    if (s.hasCondition(ControlMacInvalid))
        lines += line(ControlMacInvalid);
    if (s.hasCondition(DanteMacInvalid))
        lines += danteMacLine(s, assembly.ultimoXModel);
    if (s.hasCondition(SettingsNotDefault))
        lines += line(SettingsNotDefault);
    if (s.hasCondition(LedIntensityLow))
        lines += line(LedIntensityLow);
    if (s.hasCondition(DipSwitchesNotOff))
        lines += line(DipSwitchesNotOff);
    return lines;
}

Display display(const QString &checklistText, const UnitStatus &status, bool ultimoXModel,
                bool online, bool privateMode, bool statusRead)
{
    if (!online)
        return {true, QString(), QString::fromLatin1(OfflineStyleSheet)};
    if (!privateMode)
        return {false, QString(), QString()};
    if (releaseReady(statusRead, !checklistText.isEmpty()))
        return {true, windowText("No issues found.  Release ready."), QString::fromLatin1(GreenStyleSheet)};
    if (checklistText.isEmpty())
        return {true, QString::fromLatin1(NotJudgedLine), QString::fromLatin1(RedStyleSheet)};
    // Only the image file is in doubt, and only a look with Dante Controller
    // can tell: a reminder rather than a fault.
    const bool onlyImageToVerify =
        status.conditionFlags == DanteImageMismatch && danteDetailsUnreadable(status, ultimoXModel);
    return {true, checklistText,
            QString::fromLatin1(onlyImageToVerify ? YellowStyleSheet : RedStyleSheet)};
}

bool releaseReady(bool statusRead, bool anyLineOpen)
{
    return statusRead && !anyLineOpen;
}

} // namespace Checklist
