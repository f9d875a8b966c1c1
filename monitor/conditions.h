#pragma once

#include "monitor/unitstatus.h"

#include <QCoreApplication>

#include <array>
#include <cstddef>

// The sixteen condition bits of a status reply, each described once: the
// verdict core and hvtk-check name a set bit by `name`, the readiness
// checklist words it by `checklistLine`, and the dissector generator writes
// `filterName` and `label` into the Wireshark dissector.
namespace Conditions {

struct Condition
{
    ConditionFlag flag;
    const char *name;          // hvtk-check's JSON: "DipSwitchesNotOff"
    const char *filterName;    // the dissector's hvtk.status.condition.dip_switches_not_off
    const char *label;         // what Wireshark shows for the bit
    const char *checklistLine; // the checklist's line (a window text), or nullptr where
                               // the line depends on more than the bit
};

// Lowest bit first.
inline constexpr std::array<Condition, 16> All = {{
    {FirmwareUnsupported, "FirmwareUnsupported", "firmware_unsupported",
     "Firmware does not support the status request",
     QT_TRANSLATE_NOOP("HVTKUtilities",
                       "-THIS FIRMWARE VERSION DOESN'T SUPPORT HV/TK UTILITIES.  PLEASE UPDATE TO THE LATEST.\n")},
    {DataTruncated, "DataTruncated", "data_truncated", "Data truncated",
     QT_TRANSLATE_NOOP("HVTKUtilities", "-DATA IS TRUNCATED? PLEASE ENSURE EVERYTHING IS THE LATEST VERSION.\n")},
    {DanteMacInvalid, "DanteMacInvalid", "dante_mac_invalid", "Dante MAC outside the vendor range", nullptr},
    {ControlMacInvalid, "ControlMacInvalid", "control_mac_invalid", "Control MAC outside the vendor range",
     QT_TRANSLATE_NOOP("HVTKUtilities",
                       "-INVALID/DEFAULT MAC ADDRESS PROGRAMMED.  PLEASE ASSIGN NEW FROM THE MASTER LIST.\n")},
    {UnitErrorReported, "UnitErrorReported", "unit_error_reported", "Unit reports an internal error", nullptr},
    {ModelInvalid, "ModelInvalid", "model_invalid", "Invalid model programmed",
     QT_TRANSLATE_NOOP("HVTKUtilities", "-INVALID MODEL PROGRAMMED.\n")},
    {SettingsNotDefault, "SettingsNotDefault", "settings_not_default", "Settings not at factory defaults",
     QT_TRANSLATE_NOOP("HVTKUtilities", "-SETTINGS NOT AT FACTORY DEFAULTS.\n")},
    {DipSwitchesNotOff, "DipSwitchesNotOff", "dip_switches_not_off", "DIP switches not all off",
     QT_TRANSLATE_NOOP("HVTKUtilities", "-ALL DIP SWITCHES MUST BE SET TO OFF (UP).\n")},
    {LedIntensityLow, "LedIntensityLow", "led_intensity_low", "LED intensity too low to ship",
     QT_TRANSLATE_NOOP("HVTKUtilities", "-LED INTENSITY NOT AT 100%\n")},
    {FirmwareUpdateRequired, "FirmwareUpdateRequired", "firmware_update_required", "Firmware update required",
     QT_TRANSLATE_NOOP("HVTKUtilities", "-FIRMWARE v1.15+/2.09+ REQUIRED.\n")},
    {BootloaderOutdated, "BootloaderOutdated", "bootloader_outdated", "Bootloader outdated",
     QT_TRANSLATE_NOOP("HVTKUtilities", "-BOOTLOADER v1.0.04+ REQUIRED.\n")},
    {UltimoFirmwareOutdated, "UltimoFirmwareOutdated", "ultimo_firmware_outdated", "Ultimo firmware outdated",
     nullptr},
    {UltimoXFirmwareOutdated, "UltimoXFirmwareOutdated", "ultimox_firmware_outdated", "UltimoX firmware outdated",
     nullptr},
    {DanteImageMismatch, "DanteImageMismatch", "dante_image_mismatch", "Dante image for the other family", nullptr},
    {UltimoBusRequiredOffline, "UltimoBusRequiredOffline", "ultimo_bus_required_offline",
     "Ultimo bus required but offline",
     QT_TRANSLATE_NOOP("HVTKUtilities", "-DO NOT UPDATE ULTIMO IN THIS STATE.  SEE NOTES.\n")},
    {CompatibilityAssemblyOnUltimoX, "CompatibilityAssemblyOnUltimoX", "compatibility_assembly_on_ultimox",
     "Compatibility assembly on an UltimoX unit", nullptr},
}};

constexpr bool inBitOrder()
{
    for (std::size_t bit = 0; bit < All.size(); ++bit) {
        if (unsigned(All[bit].flag) != 1u << bit)
            return false;
    }
    return true;
}
static_assert(inBitOrder(), "one entry for each bit of the condition word, lowest bit first");

// The entry of one bit.
constexpr const Condition &of(ConditionFlag flag)
{
    std::size_t bit = 0;
    while ((1u << bit) != unsigned(flag))
        ++bit;
    return All[bit];
}

} // namespace Conditions
