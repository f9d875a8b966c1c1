// The status reply's byte layout, pinned by hand-written datagrams. Every
// fixture below is typed byte by byte from the reply layout (offsets in the
// comments) and never produced by the encoder or read through the layout
// table, so a field that moves in the table, or two fields that trade places,
// decodes to a value that differs from the one written here.
#include "channel/replyframing.h"
#include "monitor/statusdecoder.h"

#include <QHostAddress>
#include <QtTest>

using StatusDecoder::AssemblyContext;

namespace {

QByteArray hex(const char *bytes) { return QByteArray::fromHex(bytes); }
QByteArray nul(int count) { return QByteArray(count, '\0'); }

// HV4K v2.09, paging, UltimoX2 chip, all 256 bytes.
const QByteArray PagingReply =
    hex("48 56 34 4B 20 76 32 2E 30 39 0D") + nul(21)      //   0 header "HV4K v2.09\r"
    + hex("01 00 04")                                      //  32 bootloader 1.0.4
    + hex("04 02 01 00")                                   //  35 Dante image 4.2.1
    + hex("04 01 02 07")                                   //  39 Dante firmware 4.1.2.7
    + hex("48 41 4C 56 4F 00 00 00")                       //  43 image product "HALVO"
    + hex("55 6C 74 69 6D 6F 58 32")                       //  51 chip "UltimoX2", full width
    + hex("48 56 34 4B 2D 41 42 43 44 45 46") + nul(21)    //  59 Dante name "HV4K-ABCDEF"
    + hex("00 1D C1 AB CD EF")                             //  91 Dante MAC
    + hex("C0 A8 00 65")                                   //  97 Dante IP 192.168.0.101
    + hex("EE EE EE EE EE EE EE EE EE EE EE EE")           // 101 not interpreted
    + hex("FF FF FF 00")                                   // 113 Dante mask
    + hex("C0 A8 00 01")                                   // 117 Dante gateway
    + hex("04")                                            // 121 network status: Q-SYS linked
    + hex("02")                                            // 122 Dante IP mode
    + hex("01")                                            // 123 Ultimo bus online
    + hex("00")                                            // 124 Ultimo bus not required
    + hex("02 4B 7D 00 12 34")                             // 125 control MAC
    + hex("C0 A8 00 FE")                                   // 131 control IP 192.168.0.254
    + hex("C0 A8 00 FD")                                   // 135 stored IP 192.168.0.253
    + hex("FF FF 00 00")                                   // 139 control mask
    + hex("C0 A8 00 02")                                   // 143 control gateway
    + hex("0A 4E")                                         // 147 local port 2638
    + hex("C0 A8 00 0A")                                   // 149 Q-SYS core 192.168.0.10
    + hex("10 03")                                         // 153 Q-SYS port 4099
    + hex("00")                                            // 155 no unit error
    + hex("01 2C")                                         // 156 station ID 300
    + hex("02")                                            // 158 default group 2
    + hex("00 1E")                                         // 159 group revert 30 s
    + hex("00 05")                                         // 161 Q-SYS ping interval 5 s
    + hex("00 3C")                                         // 163 Kiro link timeout 60 s
    + hex("00 0F")                                         // 165 Q-SYS ping timeout 15 s
    + hex("64")                                            // 167 LED intensity 100
    + hex("00 01 E2 40")                                   // 168 power cycles 123456
    + hex("53 74 61 74 69 6F 6E 2D 30 30 31 32 33 34") + nul(50) // 172 "Station-001234"
    + hex("00")                                            // 236 PTT
    + hex("01")                                            // 237 ringer on
    + hex("00")                                            // 238 handset not muted
    + hex("FE FF FF 7F")                                   // 239 input bits
    + hex("01 01 00 01")                                   // 243 DIP switches, 3 on
    + hex("05 00 00 80")                                   // 247 LED bits
    + hex("47 52 59 4E")                                   // 251 LED colours "GRYN"
    + hex("05");                                           // 255 feature bits

// TK12X v1.16, intercom, Ultimo chip, 255 bytes: LED colours, no feature byte.
const QByteArray IntercomReply =
    hex("54 4B 31 32 58 20 76 31 2E 31 36 0D") + nul(20)   //   0 header "TK12X v1.16\r"
    + hex("01 00 03")                                      //  32 bootloader 1.0.3
    + hex("03 0A 05 09")                                   //  35 Dante image 3.10.5
    + hex("03 0A 03 09")                                   //  39 Dante firmware 3.10.3.9
    + hex("54 45 53 4B 00 00 00 00")                       //  43 image product "TESK"
    + hex("55 6C 74 69 6D 6F 00 00")                       //  51 chip "Ultimo"
    + hex("54 4B 31 32 58 2D 61 31 62 32 63 33") + nul(20) //  59 Dante name "TK12X-a1b2c3"
    + hex("00 1D C1 A1 B2 C3")                             //  91 Dante MAC
    + hex("A9 FE 07 09")                                   //  97 Dante IP 169.254.7.9
    + hex("11 22 33 44 55 66 77 88 99 AA BB CC")           // 101 not interpreted
    + hex("FF FF 00 00")                                   // 113 Dante mask
    + hex("A9 FE 00 01")                                   // 117 Dante gateway
    + hex("12")                                            // 121 network status: Dante DHCP off, control static
    + hex("04")                                            // 122 Dante IP mode static
    + hex("00")                                            // 123 Ultimo bus offline
    + hex("01")                                            // 124 Ultimo bus required
    + hex("02 4B 7D 01 56 78")                             // 125 control MAC
    + hex("0A 00 00 2A")                                   // 131 control IP 10.0.0.42
    + hex("0A 00 00 2B")                                   // 135 stored IP 10.0.0.43
    + hex("FF 00 00 00")                                   // 139 control mask
    + hex("0A 00 00 01")                                   // 143 control gateway
    + hex("13 88")                                         // 147 local port 5000
    + hex("0A 00 00 05")                                   // 149 Q-SYS core 10.0.0.5
    + hex("13 EB")                                         // 153 Q-SYS port 5099
    + hex("07")                                            // 155 unit error 7
    + hex("03 E6")                                         // 156 station ID 998
    + hex("05")                                            // 158 default group 5
    + hex("01 2C")                                         // 159 group revert 300 s
    + hex("00 0A")                                         // 161 Q-SYS ping interval 10 s
    + hex("00 78")                                         // 163 Kiro link timeout 120 s
    + hex("00 2D")                                         // 165 Q-SYS ping timeout 45 s
    + hex("59")                                            // 167 LED intensity 89
    + hex("12 34 56 78")                                   // 168 power cycles 305419896
    + hex("44 65 73 6B 2D 30 31 35 36 37 38") + nul(53)    // 172 "Desk-015678"
    + hex("01")                                            // 236 PTT
    + hex("00")                                            // 237 ringer off
    + hex("01")                                            // 238 handset muted
    + hex("0F 00 F0 00")                                   // 239 input bits
    + hex("01 01 01 01")                                   // 243 DIP switches, all off
    + hex("00 0C 00 03")                                   // 247 LED bits
    + hex("52 52 47 59");                                  // 251 LED colours "RRGY"

const AssemblyContext Hv4k{2, false, true};
const AssemblyContext Tk12x{8, true, true};

quint32 ipv4(const char *text) { return QHostAddress(QString::fromLatin1(text)).toIPv4Address(); }

UnitStatus expectedPaging()
{
    UnitStatus s;
    s.modelToken = QStringLiteral("HV4K");
    s.firmwareVersionCode = 209;
    s.bootloaderVersion = {1, 0, 4};
    s.bootloaderVersionCode = 1004;
    s.danteImageVersion = {4, 2, 1};
    s.danteFirmwareVersion = {4, 1, 2, 7};
    s.danteFirmwareCode = 40102;
    s.danteImageProduct = QStringLiteral("HALVO");
    s.danteChipModel = QStringLiteral("UltimoX2");
    s.danteName = QStringLiteral("HV4K-ABCDEF");
    s.danteMac = {0x00, 0x1D, 0xC1, 0xAB, 0xCD, 0xEF};
    s.danteMacText = QStringLiteral("00:1D:C1:AB:CD:EF");
    s.danteIp = ipv4("192.168.0.101");
    s.danteSubnetMask = ipv4("255.255.255.0");
    s.danteGateway = ipv4("192.168.0.1");
    s.networkStatus = 0x04;
    s.danteIpMode = 2;
    s.ultimoBusOnline = true;
    s.ultimoBusRequired = false;
    s.controlMac = {0x02, 0x4B, 0x7D, 0x00, 0x12, 0x34};
    s.controlMacText = QStringLiteral("02:4B:7D:00:12:34");
    s.controlIpCurrent = ipv4("192.168.0.254");
    s.controlIpStored = ipv4("192.168.0.253");
    s.controlSubnetMask = ipv4("255.255.0.0");
    s.controlGateway = ipv4("192.168.0.2");
    s.localPort = 2638;
    s.qsysCoreIp = ipv4("192.168.0.10");
    s.qsysCorePort = 4099;
    s.unitErrorCode = 0;
    s.stationId = 300;
    s.defaultGroup = 2;
    s.groupRevertSeconds = 30;
    s.qsysPingIntervalSeconds = 5;
    s.kiroLinkTimeoutSeconds = 60;
    s.qsysPingTimeoutSeconds = 15;
    s.ledIntensity = 100;
    s.powerCycleCount = 123456;
    s.localName = QStringLiteral("Station-001234");
    s.pttState = false;
    s.ringerOn = true;
    s.handsetMuted = false;
    s.inputBits = {0xFE, 0xFF, 0xFF, 0x7F};
    s.dipSwitchOff = {true, true, false, true};
    s.ledBits = {0x05, 0x00, 0x00, 0x80};
    s.hasLedColours = true;
    s.ledColours = {'G', 'R', 'Y', 'N'};
    s.hasFeatureBits = true;
    s.featureBits = 0x05;
    s.conditionFlags = DipSwitchesNotOff;
    return s;
}

UnitStatus expectedPagingWithoutTrailer()
{
    UnitStatus s = expectedPaging();
    s.hasLedColours = false;
    s.ledColours = {};
    s.hasFeatureBits = false;
    s.featureBits = 0;
    return s;
}

UnitStatus expectedIntercom()
{
    UnitStatus s;
    s.modelToken = QStringLiteral("TK12X");
    s.firmwareVersionCode = 116;
    s.bootloaderVersion = {1, 0, 3};
    s.bootloaderVersionCode = 1003;
    s.danteImageVersion = {3, 10, 5};
    s.danteFirmwareVersion = {3, 10, 3, 9};
    s.danteFirmwareCode = 31003;
    s.danteImageProduct = QStringLiteral("TESK");
    s.danteChipModel = QStringLiteral("Ultimo");
    s.danteName = QStringLiteral("TK12X-a1b2c3");
    s.danteMac = {0x00, 0x1D, 0xC1, 0xA1, 0xB2, 0xC3};
    s.danteMacText = QStringLiteral("00:1D:C1:A1:B2:C3");
    s.danteIp = ipv4("169.254.7.9");
    s.danteSubnetMask = ipv4("255.255.0.0");
    s.danteGateway = ipv4("169.254.0.1");
    s.networkStatus = 0x12;
    s.danteIpMode = 4;
    s.ultimoBusOnline = false;
    s.ultimoBusRequired = true;
    s.controlMac = {0x02, 0x4B, 0x7D, 0x01, 0x56, 0x78};
    s.controlMacText = QStringLiteral("02:4B:7D:01:56:78");
    s.controlIpCurrent = ipv4("10.0.0.42");
    s.controlIpStored = ipv4("10.0.0.43");
    s.controlSubnetMask = ipv4("255.0.0.0");
    s.controlGateway = ipv4("10.0.0.1");
    s.localPort = 5000;
    s.qsysCoreIp = ipv4("10.0.0.5");
    s.qsysCorePort = 5099;
    s.unitErrorCode = 7;
    s.stationId = 998;
    s.defaultGroup = 5;
    s.groupRevertSeconds = 300;
    s.qsysPingIntervalSeconds = 10;
    s.kiroLinkTimeoutSeconds = 120;
    s.qsysPingTimeoutSeconds = 45;
    s.ledIntensity = 89;
    s.powerCycleCount = 305419896;
    s.localName = QStringLiteral("Desk-015678");
    s.pttState = true;
    s.ringerOn = false;
    s.handsetMuted = true;
    s.inputBits = {0x0F, 0x00, 0xF0, 0x00};
    s.dipSwitchOff = {true, true, true, true};
    s.ledBits = {0x00, 0x0C, 0x00, 0x03};
    s.hasLedColours = true;
    s.ledColours = {'R', 'R', 'G', 'Y'};
    s.hasFeatureBits = false;
    s.conditionFlags = ControlMacInvalid | UnitErrorReported | SettingsNotDefault | LedIntensityLow
        | BootloaderOutdated | UltimoFirmwareOutdated | UltimoBusRequiredOffline;
    s.danteStaticConfig = true;
    s.controlStaticConfig = true;
    s.controlIpNotFactory = true;
    return s;
}

template <typename T, std::size_t N>
QByteArray raw(const std::array<T, N> &values)
{
    QByteArray bytes;
    for (const T value : values)
        bytes += char(value);
    return bytes;
}

QString dotted(quint32 address) { return QHostAddress(address).toString(); }

// Every field of the record, so that a wrong byte shows which field took it.
void compareRecords(const UnitStatus &a, const UnitStatus &e)
{
    QCOMPARE(a.modelToken, e.modelToken);
    QCOMPARE(a.firmwareVersionCode, e.firmwareVersionCode);
    QCOMPARE(raw(a.bootloaderVersion).toHex(), raw(e.bootloaderVersion).toHex());
    QCOMPARE(a.bootloaderVersionCode, e.bootloaderVersionCode);
    QCOMPARE(raw(a.danteImageVersion).toHex(), raw(e.danteImageVersion).toHex());
    QCOMPARE(raw(a.danteFirmwareVersion).toHex(), raw(e.danteFirmwareVersion).toHex());
    QCOMPARE(a.danteFirmwareCode, e.danteFirmwareCode);
    QCOMPARE(a.danteImageProduct, e.danteImageProduct);
    QCOMPARE(a.danteChipModel, e.danteChipModel);
    QCOMPARE(a.danteName, e.danteName);
    QCOMPARE(raw(a.danteMac).toHex(), raw(e.danteMac).toHex());
    QCOMPARE(a.danteMacText, e.danteMacText);
    QCOMPARE(dotted(a.danteIp), dotted(e.danteIp));
    QCOMPARE(dotted(a.danteSubnetMask), dotted(e.danteSubnetMask));
    QCOMPARE(dotted(a.danteGateway), dotted(e.danteGateway));
    QCOMPARE(int(a.networkStatus), int(e.networkStatus));
    QCOMPARE(int(a.danteIpMode), int(e.danteIpMode));
    QCOMPARE(a.ultimoBusOnline, e.ultimoBusOnline);
    QCOMPARE(a.ultimoBusRequired, e.ultimoBusRequired);
    QCOMPARE(raw(a.controlMac).toHex(), raw(e.controlMac).toHex());
    QCOMPARE(a.controlMacText, e.controlMacText);
    QCOMPARE(dotted(a.controlIpCurrent), dotted(e.controlIpCurrent));
    QCOMPARE(dotted(a.controlIpStored), dotted(e.controlIpStored));
    QCOMPARE(dotted(a.controlSubnetMask), dotted(e.controlSubnetMask));
    QCOMPARE(dotted(a.controlGateway), dotted(e.controlGateway));
    QCOMPARE(int(a.localPort), int(e.localPort));
    QCOMPARE(dotted(a.qsysCoreIp), dotted(e.qsysCoreIp));
    QCOMPARE(int(a.qsysCorePort), int(e.qsysCorePort));
    QCOMPARE(int(a.unitErrorCode), int(e.unitErrorCode));
    QCOMPARE(int(a.stationId), int(e.stationId));
    QCOMPARE(int(a.defaultGroup), int(e.defaultGroup));
    QCOMPARE(int(a.groupRevertSeconds), int(e.groupRevertSeconds));
    QCOMPARE(int(a.qsysPingIntervalSeconds), int(e.qsysPingIntervalSeconds));
    QCOMPARE(int(a.kiroLinkTimeoutSeconds), int(e.kiroLinkTimeoutSeconds));
    QCOMPARE(int(a.qsysPingTimeoutSeconds), int(e.qsysPingTimeoutSeconds));
    QCOMPARE(int(a.ledIntensity), int(e.ledIntensity));
    QCOMPARE(a.powerCycleCount, e.powerCycleCount);
    QCOMPARE(a.localName, e.localName);
    QCOMPARE(a.pttState, e.pttState);
    QCOMPARE(a.ringerOn, e.ringerOn);
    QCOMPARE(a.handsetMuted, e.handsetMuted);
    QCOMPARE(raw(a.inputBits).toHex(), raw(e.inputBits).toHex());
    QCOMPARE(raw(a.dipSwitchOff).toHex(), raw(e.dipSwitchOff).toHex());
    QCOMPARE(raw(a.ledBits).toHex(), raw(e.ledBits).toHex());
    QCOMPARE(a.hasLedColours, e.hasLedColours);
    QCOMPARE(raw(a.ledColours), raw(e.ledColours));
    QCOMPARE(a.hasFeatureBits, e.hasFeatureBits);
    QCOMPARE(int(a.featureBits), int(e.featureBits));
    QCOMPARE(QString::number(a.conditionFlags, 16), QString::number(e.conditionFlags, 16));
    QCOMPARE(a.danteNameMismatch, e.danteNameMismatch);
    QCOMPARE(a.danteStaticConfig, e.danteStaticConfig);
    QCOMPARE(a.controlStaticConfig, e.controlStaticConfig);
    QCOMPARE(a.controlIpNotFactory, e.controlIpNotFactory);
    QCOMPARE(a.qsysPortUnexpected, e.qsysPortUnexpected);
    QCOMPARE(a.localNameMismatch, e.localNameMismatch);
}

// The datagram taken apart as the unit channel does, then decoded.
UnitStatus decodedDatagram(const QByteArray &datagram, const AssemblyContext &assembly,
                           StatusDecoder::Outcome *outcome = nullptr)
{
    const ReplyFraming::Reply reply = ReplyFraming::split(datagram);
    UnitStatus status;
    const StatusDecoder::Outcome result = StatusDecoder::decode(
        status, ReplyFraming::withoutLineBreaks(reply.header), reply.block, assembly);
    if (outcome)
        *outcome = result;
    return status;
}

} // namespace

Q_DECLARE_METATYPE(UnitStatus)
Q_DECLARE_METATYPE(AssemblyContext)

class TestWireFormat : public QObject
{
    Q_OBJECT

private slots:
    void fixturesAsWritten();
    void fullReply_data();
    void fullReply();
    void replyLength_data();
    void replyLength();
    void headerOnlyReply();
};

// Guards the fixtures themselves: a byte lost while typing them would shift
// every field after it.
void TestWireFormat::fixturesAsWritten()
{
    QCOMPARE(PagingReply.size(), 256);
    QCOMPARE(IntercomReply.size(), 255);
    QCOMPARE(PagingReply.mid(172, 14), QByteArray("Station-001234"));
    QCOMPARE(IntercomReply.mid(251, 4), QByteArray("RRGY"));
}

void TestWireFormat::fullReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<AssemblyContext>("assembly");
    QTest::addColumn<UnitStatus>("expected");

    QTest::newRow("paging, 256 bytes") << PagingReply << Hv4k << expectedPaging();
    QTest::newRow("intercom, 255 bytes") << IntercomReply << Tk12x << expectedIntercom();
    QTest::newRow("paging, 251 bytes") << PagingReply.left(251) << Hv4k << expectedPagingWithoutTrailer();
}

void TestWireFormat::fullReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(AssemblyContext, assembly);
    QFETCH(UnitStatus, expected);

    StatusDecoder::Outcome outcome;
    const UnitStatus status = decodedDatagram(datagram, assembly, &outcome);
    QVERIFY(outcome.supported);
    QVERIFY(outcome.blockDecoded);
    compareRecords(status, expected);
}

// Where the block starts and which optional fields a length carries.
void TestWireFormat::replyLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<bool>("colours");
    QTest::addColumn<bool>("features");

    QTest::newRow("218: text only") << 218 << 0 << false << false << false;
    QTest::newRow("219: short block") << 219 << 187 << false << false << false;
    QTest::newRow("250: block one byte short") << 250 << 218 << false << false << false;
    QTest::newRow("251") << 251 << 219 << true << false << false;
    QTest::newRow("254: colours incomplete") << 254 << 222 << true << false << false;
    QTest::newRow("255: colours") << 255 << 223 << true << true << false;
    QTest::newRow("256: feature bits") << 256 << 224 << true << true << true;
}

void TestWireFormat::replyLength()
{
    QFETCH(int, length);
    QFETCH(int, blockSize);
    QFETCH(bool, decoded);
    QFETCH(bool, colours);
    QFETCH(bool, features);

    const QByteArray datagram = PagingReply.left(length);
    QCOMPARE(ReplyFraming::split(datagram).block.size(), blockSize);
    QCOMPARE(ReplyFraming::split(datagram).header, QStringLiteral("HV4K v2.09\r"));

    StatusDecoder::Outcome outcome;
    const UnitStatus status = decodedDatagram(datagram, Hv4k, &outcome);
    QCOMPARE(outcome.blockDecoded, decoded);
    if (!decoded) {
        // Reported as received, nothing of the block taken.
        UnitStatus headerOnly;
        headerOnly.modelToken = QStringLiteral("HV4K");
        headerOnly.firmwareVersionCode = 209;
        headerOnly.conditionFlags = DataTruncated;
        compareRecords(status, headerOnly);
        return;
    }
    UnitStatus expected = expectedPagingWithoutTrailer();
    if (colours) {
        expected.hasLedColours = true;
        expected.ledColours = {'G', 'R', 'Y', 'N'};
    }
    if (features) {
        expected.hasFeatureBits = true;
        expected.featureBits = 0x05;
    }
    compareRecords(status, expected);
}

void TestWireFormat::headerOnlyReply()
{
    StatusDecoder::Outcome outcome;
    const UnitStatus status = decodedDatagram(hex("54 4B 34 4B 20 76 31 2E 31 35 0D"), Tk12x, &outcome); // "TK4K v1.15\r"
    QVERIFY(outcome.supported);
    QVERIFY(!outcome.blockDecoded);
    UnitStatus expected;
    expected.modelToken = QStringLiteral("TK4K");
    expected.firmwareVersionCode = 115;
    expected.conditionFlags = DataTruncated;
    compareRecords(status, expected);
}

QTEST_GUILESS_MAIN(TestWireFormat)
#include "tst_wireformat.moc"
