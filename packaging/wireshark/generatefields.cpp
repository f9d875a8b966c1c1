// hvtk-dissector-gen TEMPLATE OUTPUT
//
// Writes the Wireshark dissector: the template with its marker line replaced
// by the program's own tables (status layout, condition bits, factory
// settings, commands, result codes, assemblies and version thresholds) as
// Lua tables. Run by the
// build; fails when the field list does not cover the status layout.
#include "packaging/wireshark/dissectortables.h"

#include "channel/commandtext.h"
#include "monitor/assemblyprofiles.h"
#include "monitor/statusdecoder.h"
#include "monitor/unitfactory.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace {

using namespace DissectorTables;

const QByteArray Marker = "-- @GENERATED_TABLES@";

QByteArray luaString(const QByteArray &text)
{
    QByteArray quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

QByteArray luaString(const QString &text) { return luaString(text.toUtf8()); }
QByteArray luaString(const char *text) { return luaString(QByteArray(text)); }
QByteArray luaBool(bool value) { return value ? "true" : "false"; }
QByteArray hex(unsigned value) { return "0x" + QByteArray::number(value, 16).toUpper(); }

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Version: return "version";
    case Kind::Text: return "text";
    case Kind::Mac: return "mac";
    case Kind::Ipv4: return "ipv4";
    case Kind::Unsigned: return "unsigned";
    case Kind::Hex: return "hex";
    case Kind::Bits: return "bits";
    case Kind::Switch: return "switch";
    case Kind::BitArray: return "bit_array";
    case Kind::Switches: return "switches";
    case Kind::Letters: return "letters";
    case Kind::Bytes: return "bytes";
    }
    return "bytes";
}

QByteArray namedBits(const QList<NamedBit> &bits, const QByteArray &indent)
{
    QByteArray lua = "{\n";
    for (const NamedBit &bit : bits)
        lua += indent + "  { name = " + luaString(bit.name) + ", label = " + luaString(bit.label)
            + ", mask = " + hex(bit.mask) + " },\n";
    return lua + indent + "}";
}

// "local NAME = { key = value, ... }" of whole numbers.
QByteArray numberTable(const char *name, const QList<QPair<const char *, long>> &entries)
{
    QByteArray lua = QByteArray("local ") + name + " = {\n";
    for (const auto &entry : entries)
        lua += QByteArray("  ") + entry.first + " = " + QByteArray::number(qlonglong(entry.second)) + ",\n";
    return lua + "}\n\n";
}

QByteArray layoutTable()
{
    namespace L = StatusLayout;
    QByteArray lua = numberTable("LAYOUT", {
        {"header_size", L::HeaderSize},
        {"split_threshold", L::SplitThreshold},
        {"minimum_block", L::MinimumBlockSize},
        {"colour_block", L::ColourBlockSize},
        {"feature_block", L::FeatureBlockSize},
        {"full_reply", L::FullReplySize},
    });
    lua += "local STATUS_FIELDS = {\n";
    for (const StatusField &entry : statusFields()) {
        lua += "  { name = " + luaString(entry.name) + ", label = " + luaString(entry.label)
            + ", offset = " + QByteArray::number(entry.field.offset)
            + ", size = " + QByteArray::number(entry.field.size) + ", kind = " + luaString(kindName(entry.kind));
        if (entry.itemName)
            lua += ", item = " + luaString(entry.itemName) + ", item_label = " + luaString(entry.itemLabel);
        if (entry.versionParts)
            lua += ", parts = " + QByteArray::number(entry.versionParts);
        if (entry.kind == Kind::Bits)
            lua += ",\n    bits = " + namedBits(bitsOf(entry.name), "    ");
        lua += " },\n";
    }
    return lua + "}\n\n";
}

QByteArray conditionTables()
{
    return "local CONDITIONS = " + namedBits(conditionBits(), "") + "\n\n"
        + "local SETTINGS_CHECKS = " + namedBits(settingsChecks(), "") + "\n\n";
}

QByteArray commandTable()
{
    QByteArray lua = "local COMMANDS = {\n";
    for (const Command &command : commands())
        lua += "  { mnemonic = " + luaString(command.mnemonic) + ", meaning = " + luaString(command.meaning) + " },\n";
    lua += "}\n\n";
    lua += "local RESULT_CODES = {\n";
    for (const ResultCode &code : resultCodes())
        lua += "  [" + luaString(code.code) + "] = { text = " + luaString(code.text)
            + ", firmware_unsupported = " + luaBool(code.firmwareUnsupported) + " },\n";
    return lua + "}\n\n";
}

QByteArray assemblyTable()
{
    QByteArray lua = "-- Index 0 is the first entry of the tool's assembly box.\nlocal ASSEMBLIES = {\n";
    for (int index = 0; index < Assembly::Count; ++index) {
        const Assembly::Profile profile = Assembly::profile(index);
        lua += "  [" + QByteArray::number(index) + "] = { name = " + luaString(Assembly::name(index))
            + ", intercom = " + luaBool(profile.intercom) + ", ultimo_x = " + luaBool(profile.ultimoXClass)
            + ", compatibility = " + luaBool(Assembly::isCompatibilityModel(index)) + " },\n";
    }
    lua += "}\n";
    lua += "local UNKNOWN_ASSEMBLY = " + QByteArray::number(Assembly::Unknown) + "\n\n";
    return lua;
}

QByteArray thresholdTable()
{
    namespace D = StatusDecoder;
    return numberTable("THRESHOLDS", {
               {"status_request_since", D::StatusRequestSince},
               {"current_firmware_since", D::CurrentFirmwareSince},
               {"second_series_status_request_since", D::SecondSeriesStatusRequestSince},
               {"second_series_current_since", D::SecondSeriesCurrentSince},
               {"current_bootloader_since", D::CurrentBootloaderSince},
               {"current_ultimo_since", D::CurrentUltimoSince},
               {"current_ultimox2_since", D::CurrentUltimoX2Since},
               {"lowest_shipping_intensity", D::LowestShippingIntensity},
           })
        + "local UNIT_PORT = " + QByteArray::number(CommandText::UnitPort) + "\n";
}

template <std::size_t N>
QByteArray byteList(const std::array<quint8, N> &bytes)
{
    QByteArrayList items;
    for (const quint8 value : bytes)
        items << hex(value);
    return "{ " + items.join(", ") + " }";
}

QByteArray factoryTable()
{
    namespace F = UnitFactory;
    return "-- What a unit is given at the factory.\nlocal FACTORY = {\n"
           "  dante_mac_prefix = " + byteList(F::DanteMacPrefix) + ",\n"
           "  control_mac_prefix = " + byteList(F::ControlMacPrefix) + ",\n"
           "  qsys_port_paging = " + QByteArray::number(F::QsysPortPaging) + ",\n"
           "  qsys_port_intercom = " + QByteArray::number(F::QsysPortIntercom) + ",\n"
           "  control_subnet = " + hex(F::ControlSubnet) + ",\n"
           "  control_subnet_mask = " + hex(F::ControlSubnetMask) + ",\n"
           "}\n\n";
}

QString tablesError()
{
    const QString coverage = layoutCoverageError();
    if (!coverage.isEmpty())
        return coverage;
    for (const Command &command : commands()) {
        if (command.mnemonic.isEmpty())
            return QStringLiteral("the command \"%1\" has no mnemonic").arg(command.meaning);
    }
    return QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "usage: hvtk-dissector-gen TEMPLATE OUTPUT\n";
        return 2;
    }
    const QString problem = tablesError();
    if (!problem.isEmpty()) {
        err << "hvtk-dissector-gen: " << problem << "\n";
        return 1;
    }
    QFile templateFile(args.at(1));
    if (!templateFile.open(QIODevice::ReadOnly)) {
        err << "hvtk-dissector-gen: cannot read " << args.at(1) << "\n";
        return 1;
    }
    QByteArray lua = templateFile.readAll();
    if (!lua.contains(Marker)) {
        err << "hvtk-dissector-gen: " << args.at(1) << " has no line " << Marker << "\n";
        return 1;
    }
    lua.replace(Marker, "-- Generated from the program's tables; do not edit here.\n" + layoutTable()
                    + conditionTables() + factoryTable() + commandTable() + assemblyTable() + thresholdTable());
    QSaveFile output(args.at(2));
    if (!output.open(QIODevice::WriteOnly) || output.write(lua) != lua.size() || !output.commit()) {
        err << "hvtk-dissector-gen: cannot write " << args.at(2) << "\n";
        return 1;
    }
    return 0;
}
