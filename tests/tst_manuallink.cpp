#include "support/messageboxdriver.h"
#include "support/simulatorthread.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

#include <optional>

// The manual link panel against simulated units: what it opens with, how its
// lamps and SEND follow the fields, and the push that gives a unit a new
// identity and restarts it.
class TestManualLink : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refusesToOpenWithoutValidAddress();
    void opensWithWhatTheUnitReported_data();
    void opensWithWhatTheUnitReported();
    void placementAndClose();
    void stationIdField_data();
    void stationIdField();
    void nameLamps_data();
    void nameLamps();
    void addressFieldsTakeIpv6Text();
    void pushGivesUnitNewIdentity_data();
    void pushGivesUnitNewIdentity();
    void nonAsciiNamesFitTheUnitsFields();
    void ipv6AddressSentAsTyped();
    void addressChangeKeepsInvalidPanelLocked();
    void clickOnAnotherUnitRetargetsThePush();
    void clickOnAnotherUnitKeepsInvalidPanelLocked();
    void offlineUnitRefusedWhateverTheAnswer_data();
    void offlineUnitRefusedWhateverTheAnswer();
    void invalidDestinationRefusedBeforeAsking();

private:
    void openPanel();
    QStringList lampColours();
    void setAllFieldsValid();
    // Clicks SEND and answers the box that follows; the box seen, if any.
    std::optional<MessageBoxDriver::Seen> clickSend(QMessageBox::StandardButton answer);
    // Clicks the detected unit's line in the list.
    void clickListLine(const QString &address);
    QList<SimDatagram> linkDatagramsTo(const QString &address);
    // A simulated unit lives at `address` and has finished restarting.
    bool unitAnswersAt(const QString &address);

    std::unique_ptr<SimulatorThread> sim;
};

namespace {

const QString PagingUnit = QStringLiteral("192.168.0.21");
const QString IntercomUnit = QStringLiteral("192.168.0.22");
const QString GatewaylessUnit = QStringLiteral("192.168.0.23");
const QString NewControlIp = QStringLiteral("192.168.0.31");

quint32 ipv4(const QString &text)
{
    return QHostAddress(text).toIPv4Address();
}

// What a style sheet of the panel paints: "lime", "red", "olive".
QString colourOf(const QLabel *lamp)
{
    static const QRegularExpression colour(QStringLiteral("background(?:-color)? : (\\w+) \\}"));
    const QRegularExpressionMatch match = colour.match(lamp->styleSheet());
    return match.hasMatch() ? match.captured(1) : lamp->styleSheet();
}

bool isLinkDatagram(const QByteArray &data)
{
    return data == "1LI\r" || data.endsWith("NM\r") || data.endsWith("ND\r")
        || data.endsWith("LX\r");
}

} // namespace

void TestManualLink::init()
{
    sim = std::make_unique<SimulatorThread>();
    QVERIFY(sim->addUnit({QHostAddress(PagingUnit), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QVERIFY(sim->addUnit({QHostAddress(IntercomUnit), QStringLiteral("TK12X"), QStringLiteral("2.09")}));
    QVERIFY(sim->addUnit({QHostAddress(GatewaylessUnit), QStringLiteral("HV16K"), QStringLiteral("2.09")}));
    // Link-ready units: every address set, restarts short enough to watch.
    for (const QString &address : {PagingUnit, IntercomUnit}) {
        QVERIFY(sim->withUnit(QHostAddress(address), [](SimulatedUnit &unit) {
            unit.setRestartTime(300);
            unit.updateStatus([](UnitStatus &status) {
                status.danteGateway = ipv4(QStringLiteral("169.254.0.1"));
                status.qsysCoreIp = ipv4(QStringLiteral("192.168.0.100"));
                status.stationId = 7;
            });
        }));
    }
    QVERIFY(sim->withUnit(QHostAddress(GatewaylessUnit), [](SimulatedUnit &unit) {
        unit.updateStatus([](UnitStatus &status) {
            status.controlGateway = 0;
            status.danteGateway = 0;
            status.qsysCoreIp = 0;
        });
    }));

    openWindow();
    showWindow();
    selectUnit(PagingUnit, QStringLiteral("HV4K"));
}

void TestManualLink::cleanup()
{
    closeWindow();
    sim.reset();
}

void TestManualLink::openPanel()
{
    QVERIFY(probe->ui().actionManual_Link_unicast->isEnabled());
    probe->ui().actionManual_Link_unicast->trigger();
    QVERIFY(probe->ui().m_fraManualLink->isVisible());
}

QStringList TestManualLink::lampColours()
{
    QStringList colours;
    for (int bit = 0; bit < 8; ++bit)
        colours << colourOf(probe->ualLamp(bit));
    return colours;
}

void TestManualLink::setAllFieldsValid()
{
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    ui.m_txtUALControlIP->setText(NewControlIp);
    ui.m_txtUALControlSM->setText(QStringLiteral("255.255.255.0"));
    ui.m_txtUALControlGW->setText(QStringLiteral("192.168.0.1"));
    ui.m_txtUALDanteIP->setText(QStringLiteral("192.168.1.31"));
    ui.m_txtUALDanteSM->setText(QStringLiteral("255.255.255.0"));
    ui.m_txtUALDanteGW->setText(QStringLiteral("192.168.1.1"));
    ui.m_txtUALQsysIP->setText(QStringLiteral("192.168.0.100"));
    ui.m_txtUALStationID->setText(QStringLiteral("12"));
}

std::optional<MessageBoxDriver::Seen>
TestManualLink::clickSend(QMessageBox::StandardButton answer)
{
    MessageBoxDriver driver;
    driver.click(answer);
    QTest::mouseClick(probe->ui().m_cmdUALGo, Qt::LeftButton);
    if (driver.boxCount() == 0)
        return std::nullopt;
    return driver.lastBox();
}

void TestManualLink::clickListLine(const QString &address)
{
    QListWidget *list = probe->ui().m_lstDetectedUnits;
    const auto lines = [&] { return list->findItems(address + ' ', Qt::MatchStartsWith); };
    QTRY_VERIFY_WITH_TIMEOUT(!lines().isEmpty(), 5000);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(lines().first()).center());
}

QList<SimDatagram> TestManualLink::linkDatagramsTo(const QString &address)
{
    QList<SimDatagram> result;
    for (const SimDatagram &datagram : sim->log()) {
        if (datagram.direction == SimDatagram::In && datagram.destination == QHostAddress(address)
            && isLinkDatagram(datagram.data))
            result << datagram;
    }
    return result;
}

bool TestManualLink::unitAnswersAt(const QString &address)
{
    return sim->run([&](UnitSimulator &simulator) {
        const SimulatedUnit *unit = simulator.unit(QHostAddress(address));
        return unit && !unit->isRestarting();
    });
}

void TestManualLink::refusesToOpenWithoutValidAddress()
{
    probe->ui().m_txtIP->setText(QStringLiteral("192.168.0."));
    runSlot("showManualLink");
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Invalid IP."));
    QVERIFY(!probe->ui().m_fraManualLink->isVisible());
    QVERIFY(probe->ui().m_txtPionCmd->isVisible());
}

void TestManualLink::opensWithWhatTheUnitReported_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("lamps");
    QTest::addColumn<bool>("sendEnabled");
    const QString lime = QStringLiteral("lime");
    const QString red = QStringLiteral("red");
    QTest::newRow("all values set") << PagingUnit << "HV4K" << QStringList(QVector<QString>(8, lime).toList()) << true;
    QTest::newRow("no gateways, no core")
        << GatewaylessUnit << "HV16K" << QStringList{lime, lime, red, lime, lime, red, red, lime}
        << false;
}

void TestManualLink::opensWithWhatTheUnitReported()
{
    QFETCH(QString, address);
    QFETCH(QString, model);
    QFETCH(QStringList, lamps);
    QFETCH(bool, sendEnabled);

    selectUnit(address, model);
    const UnitStatus unit = sim->run([&](UnitSimulator &simulator) {
        return simulator.unit(QHostAddress(address))->status();
    });
    const auto text = [](quint32 value) {
        return value ? QHostAddress(value).toString() : QString();
    };

    // opening twice shows the same, also after the fields were edited
    for (int opening = 0; opening < 2; ++opening) {
        openPanel();
        Ui::HVTKUtilitiesClass &ui = probe->ui();
        QCOMPARE(ui.m_txtUALControlIP->text(), text(unit.controlIpStored));
        QCOMPARE(ui.m_txtUALControlSM->text(), text(unit.controlSubnetMask));
        QCOMPARE(ui.m_txtUALControlGW->text(), text(unit.controlGateway));
        QCOMPARE(ui.m_txtUALDanteIP->text(), text(unit.danteIp));
        QCOMPARE(ui.m_txtUALDanteSM->text(), text(unit.danteSubnetMask));
        QCOMPARE(ui.m_txtUALDanteGW->text(), text(unit.danteGateway));
        QCOMPARE(ui.m_txtUALQsysIP->text(), text(unit.qsysCoreIp));
        QCOMPARE(ui.m_txtUALStationID->text(), QString::number(unit.stationId));
        QCOMPARE(ui.m_txtUALStationLocalName->text(), unit.localName);
        QCOMPARE(ui.m_txtUALStationDanteName->text(), unit.danteName);
        QCOMPARE(lampColours(), lamps);
        QCOMPARE(colourOf(ui.imgUALReady_NM), QStringLiteral("lime"));
        QCOMPARE(colourOf(ui.imgUALReady_ND), QStringLiteral("lime"));
        QCOMPARE(ui.m_cmdUALGo->isEnabled(), sendEnabled);
        QCOMPARE(ui.m_cmdUALGo->text(), QStringLiteral("SEND TO ") + address);
        QCOMPARE(ui.m_lblUALDestinationIP->text(), address);

        ui.m_txtUALControlGW->setText(QStringLiteral("192.168.0.1"));
        ui.m_txtUALDanteGW->setText(QStringLiteral("x"));
        ui.m_txtUALStationLocalName->setText(QString(70, 'n'));
        QTest::mouseClick(ui.m_cmdUALClose, Qt::LeftButton);
        QVERIFY(!ui.m_fraManualLink->isVisible());
    }
}

void TestManualLink::placementAndClose()
{
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    const QPoint commandLine = ui.m_txtPionCmd->pos();
    openPanel();
    QCOMPARE(ui.m_fraManualLink->geometry(),
             QRect(commandLine.x() - 3, 3, 684, 561));
    QCOMPARE(ui.m_fraManualLink->parentWidget(), ui.centralwidget);
    QVERIFY(!ui.m_txtPionCmd->isVisible());
    QVERIFY(!ui.m_cmdSendPionCmd->isVisible());
    // the detected-unit list on the left stays reachable
    QVERIFY(!ui.m_fraManualLink->geometry().intersects(ui.m_lstDetectedUnits->geometry()));

    QTest::mouseClick(ui.m_cmdUALClose, Qt::LeftButton);
    QVERIFY(!ui.m_fraManualLink->isVisible());
    QVERIFY(ui.m_txtPionCmd->isVisible());
    QVERIFY(ui.m_cmdSendPionCmd->isVisible());
}

void TestManualLink::stationIdField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::newRow("0") << "0" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("998") << "998" << true;
    QTest::newRow("999") << "999" << false;
    QTest::newRow("65537 is not station 1") << "65537" << false;
    QTest::newRow("abc") << "abc" << false;
    QTest::newRow("empty") << "" << false;
}

void TestManualLink::stationIdField()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    QVERIFY(ui.m_cmdUALGo->isEnabled());

    ui.m_txtUALStationID->clear();
    QTest::keyClicks(ui.m_txtUALStationID, typed);
    QCOMPARE(colourOf(probe->ualLamp(7)), valid ? QStringLiteral("lime") : QStringLiteral("red"));
    QCOMPARE(bool(probe->ualValid() & 0x80), valid);
    QCOMPARE(ui.m_cmdUALGo->isEnabled(), valid);
    // the other seven lamps are untouched
    QCOMPARE(lampColours().mid(0, 7), QStringList(QVector<QString>(7, QStringLiteral("lime")).toList()));
}

void TestManualLink::nameLamps_data()
{
    QTest::addColumn<bool>("danteField");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("lamp");
    const QString eAcute(QChar(0x00E9));
    QTest::newRow("station 64 ascii") << false << QString(64, 'n') << "lime";
    QTest::newRow("station 65 ascii") << false << QString(65, 'n') << "olive";
    QTest::newRow("station 32 e-acute (64 bytes)") << false << eAcute.repeated(32) << "lime";
    QTest::newRow("station 40 e-acute (80 bytes)") << false << eAcute.repeated(40) << "olive";
    QTest::newRow("dante 32 ascii") << true << QString(32, 'd') << "lime";
    QTest::newRow("dante 33 ascii") << true << QString(33, 'd') << "olive";
    QTest::newRow("dante 16 e-acute (32 bytes)") << true << eAcute.repeated(16) << "lime";
    QTest::newRow("dante 17 e-acute (34 bytes)") << true << eAcute.repeated(17) << "olive";
}

void TestManualLink::nameLamps()
{
    QFETCH(bool, danteField);
    QFETCH(QString, name);
    QFETCH(QString, lamp);
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    QLineEdit *field = danteField ? ui.m_txtUALStationDanteName : ui.m_txtUALStationLocalName;
    QLabel *nameLamp = danteField ? ui.imgUALReady_ND : ui.imgUALReady_NM;

    const quint8 maskBefore = probe->ualValid();
    field->selectAll();
    field->insert(name); // as pasted
    QCOMPARE(field->text(), name);
    QCOMPARE(colourOf(nameLamp), lamp);
    // a long name is only a warning: it is cut when sent
    QCOMPARE(probe->ualValid(), maskBefore);
    QVERIFY(ui.m_cmdUALGo->isEnabled());
}

void TestManualLink::addressFieldsTakeIpv6Text()
{
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    const QList<QLineEdit *> fields{ui.m_txtUALControlIP, ui.m_txtUALControlSM,
                                    ui.m_txtUALControlGW, ui.m_txtUALDanteIP,
                                    ui.m_txtUALDanteSM,   ui.m_txtUALDanteGW,
                                    ui.m_txtUALQsysIP};
    for (int bit = 0; bit < fields.size(); ++bit) {
        const QString before = fields[bit]->text();
        fields[bit]->setText(QStringLiteral("192.168.0.300"));
        QCOMPARE(colourOf(probe->ualLamp(bit)), QStringLiteral("red"));
        QVERIFY(!ui.m_cmdUALGo->isEnabled());
        fields[bit]->setText(QStringLiteral("fd00::31"));
        QCOMPARE(colourOf(probe->ualLamp(bit)), QStringLiteral("lime"));
        QVERIFY(ui.m_cmdUALGo->isEnabled());
        fields[bit]->setText(before);
    }
    QCOMPARE(probe->ualValid(), quint8(0xFF));
}

void TestManualLink::pushGivesUnitNewIdentity_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("linkPort");
    QTest::newRow("paging, station 12") << PagingUnit << "HV4K" << 4012;
    QTest::newRow("intercom, station 12") << IntercomUnit << "TK12X" << 5012;
}

void TestManualLink::pushGivesUnitNewIdentity()
{
    QFETCH(QString, address);
    QFETCH(QString, model);
    QFETCH(int, linkPort);

    selectUnit(address, model);
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    setAllFieldsValid();
    ui.m_txtUALStationLocalName->setText(QStringLiteral("Lobby east"));
    ui.m_txtUALStationDanteName->setText(QStringLiteral("Lobby-Dante"));
    QVERIFY(ui.m_cmdUALGo->isEnabled());
    sim->clearLog();

    // what the window looks like while the datagrams go out
    QStringList messages;
    bool waitCursorWhileSending = false;
    bool sendDisabledWhileSending = false;
    bool rawReplyAwaited = false;
    connect(ui.statusbar, &QStatusBar::messageChanged, window.get(), [&](const QString &message) {
        messages << message;
        if (message == QStringLiteral("Status: Sending info...")) {
            const QCursor *cursor = QApplication::overrideCursor();
            waitCursorWhileSending = cursor && cursor->shape() == Qt::WaitCursor;
            sendDisabledWhileSending = !ui.m_cmdUALGo->isEnabled();
            rawReplyAwaited = probe->rawReplyExpected() && probe->awaitingReply()
                && !probe->pollTimer()->isActive();
        }
    });

    const std::optional<MessageBoxDriver::Seen> box = clickSend(QMessageBox::Yes);
    QVERIFY(box);
    QCOMPARE(box->text, QStringLiteral("Are you sure?"));
    QCOMPARE(box->informativeText,
             QStringLiteral("Station will reboot and load new connectivity information!!!"));
    QCOMPARE(box->buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box->modality, Qt::ApplicationModal);
    QCOMPARE(box->parent, window.get());

    QVERIFY(waitCursorWhileSending);
    QVERIFY(sendDisabledWhileSending);
    QVERIFY(rawReplyAwaited);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(!ui.m_fraManualLink->isVisible());
    QVERIFY(ui.m_txtPionCmd->isVisible());
    QVERIFY(ui.m_cmdSendPionCmd->isVisible());

    // the four datagrams, in order, spaced for the unit
    QTRY_COMPARE(linkDatagramsTo(address).size(), 4);
    const QList<SimDatagram> sent = linkDatagramsTo(address);
    QCOMPARE(sent[0].data, QByteArray("1LI\r"));
    QCOMPARE(sent[1].data, QByteArray("Lobby eastNM\r"));
    QCOMPARE(sent[2].data, QByteArray("Lobby-DanteND\r"));
    QCOMPARE(sent[3].data, QByteArray("192.168.0.31,255.255.255.0,192.168.0.1,192.168.1.31,"
                                      "255.255.255.0,192.168.1.1,192.168.0.100,")
                               + QByteArray::number(linkPort) + ",1,1LX\r");
    for (const SimDatagram &datagram : sent)
        QCOMPARE(datagram.peerPort, quint16(1234));
    QList<qint64> arrivedUs;
    for (const SimulatorThread::Arrival &arrival : sim->arrivals()) {
        if (arrival.unit == QHostAddress(address) && isLinkDatagram(arrival.data))
            arrivedUs << arrival.arrivedUs;
    }
    QCOMPARE(arrivedUs.size(), 4);
    const qint64 afterStationNameUs = arrivedUs[2] - arrivedUs[1];
    const qint64 afterDanteNameUs = arrivedUs[3] - arrivedUs[2];
    QVERIFY2(afterStationNameUs >= 50000 && afterStationNameUs < 250000,
             qPrintable(QString::number(afterStationNameUs)));
    QVERIFY2(afterDanteNameUs >= 300000 && afterDanteNameUs < 1000000,
             qPrintable(QString::number(afterDanteNameUs)));
    QVERIFY(arrivedUs[1] - arrivedUs[0] < 50000);

    // the first reply is shown raw, after the push's own log row
    QTRY_VERIFY(messages.contains(QStringLiteral("Status: Response received [R]")));
    QVERIFY(messages.indexOf(QStringLiteral("Status: Sending info..."))
            < messages.indexOf(QStringLiteral("Status: Response received [R]")));
    const QString log = ui.m_txtDetails->toPlainText();
    const QRegularExpression rows(QStringLiteral(
        "\\d\\d:\\d\\d:\\d\\d\\s+Manual Link: Info sent, station rebooted\\.\\s+"
        "\\d\\d:\\d\\d:\\d\\d\\s+R\\s*$"));
    QVERIFY2(rows.match(log).hasMatch(), qPrintable(log));

    // the unit restarts as station 12 at its new address, under its new names
    QTRY_VERIFY_WITH_TIMEOUT(unitAnswersAt(NewControlIp), 5000);
    selectUnit(NewControlIp, model);
    const UnitStatus &status = probe->status();
    QCOMPARE(status.stationId, quint16(12));
    QCOMPARE(status.localName, QStringLiteral("Lobby east"));
    QCOMPARE(status.danteName, QStringLiteral("Lobby-Dante"));
    QCOMPARE(status.controlIpStored, ipv4(NewControlIp));
    QCOMPARE(status.danteIp, ipv4(QStringLiteral("192.168.1.31")));
    QCOMPARE(status.qsysCoreIp, ipv4(QStringLiteral("192.168.0.100")));
}

void TestManualLink::nonAsciiNamesFitTheUnitsFields()
{
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    setAllFieldsValid();
    const QString eAcute(QChar(0x00E9));
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // one character, two UTF-16 units
    // 80 bytes; and a Dante name whose surrogate pair straddles byte 32
    ui.m_txtUALStationLocalName->setText(eAcute.repeated(40));
    ui.m_txtUALStationDanteName->setText(QString(30, 'd') + clef + QStringLiteral("tail"));
    QCOMPARE(colourOf(ui.imgUALReady_NM), QStringLiteral("olive"));
    QCOMPARE(colourOf(ui.imgUALReady_ND), QStringLiteral("olive"));
    sim->clearLog();

    QVERIFY(clickSend(QMessageBox::Yes));
    QTRY_COMPARE(linkDatagramsTo(PagingUnit).size(), 4);
    const QList<SimDatagram> sent = linkDatagramsTo(PagingUnit);
    QCOMPARE(sent[1].data, eAcute.repeated(32).toUtf8() + "NM\r");
    QCOMPARE(sent[2].data, QByteArray(30, 'd') + "ND\r");

    QTRY_VERIFY_WITH_TIMEOUT(unitAnswersAt(NewControlIp), 5000);
    selectUnit(NewControlIp, QStringLiteral("HV4K"));
    QCOMPARE(probe->status().localName, eAcute.repeated(32));
    QCOMPARE(probe->status().danteName, QString(30, 'd'));
}

void TestManualLink::ipv6AddressSentAsTyped()
{
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    setAllFieldsValid();
    ui.m_txtUALQsysIP->clear();
    QTest::keyClicks(ui.m_txtUALQsysIP, QStringLiteral("FD00:0:0::64"));
    QCOMPARE(colourOf(probe->ualLamp(6)), QStringLiteral("lime"));
    QVERIFY(ui.m_cmdUALGo->isEnabled());
    sim->clearLog();

    QVERIFY(clickSend(QMessageBox::Yes));
    QTRY_COMPARE(linkDatagramsTo(PagingUnit).size(), 4);
    QCOMPARE(linkDatagramsTo(PagingUnit).at(3).data,
             QByteArray("192.168.0.31,255.255.255.0,192.168.0.1,192.168.1.31,255.255.255.0,"
                        "192.168.1.1,FD00:0:0::64,4012,1,1LX\r"));
}

void TestManualLink::addressChangeKeepsInvalidPanelLocked()
{
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    ui.m_txtUALStationID->setText(QStringLiteral("65537"));
    QVERIFY(!ui.m_cmdUALGo->isEnabled());

    // a new destination alone does not make the fields valid
    ui.m_txtIP->setText(IntercomUnit);
    QCOMPARE(ui.m_cmdUALGo->text(), QStringLiteral("SEND TO ") + IntercomUnit);
    QCOMPARE(ui.m_lblUALDestinationIP->text(), IntercomUnit);
    QVERIFY(!ui.m_cmdUALGo->isEnabled());

    ui.m_txtUALStationID->setText(QStringLiteral("12"));
    QVERIFY(ui.m_cmdUALGo->isEnabled());
    ui.m_txtIP->setText(QStringLiteral("192.168.0.22x"));
    QVERIFY(!ui.m_cmdUALGo->isEnabled());
    ui.m_txtIP->setText(IntercomUnit);
    QVERIFY(ui.m_cmdUALGo->isEnabled());
}

void TestManualLink::clickOnAnotherUnitRetargetsThePush()
{
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    setAllFieldsValid();

    clickListLine(IntercomUnit);
    QCOMPARE(ui.m_txtIP->text(), IntercomUnit);
    QCOMPARE(ui.m_lblUALDestinationIP->text(), IntercomUnit);
    QCOMPARE(ui.m_cmdUALGo->text(), QStringLiteral("SEND TO ") + IntercomUnit);
    QVERIFY(ui.m_fraManualLink->isVisible());
    // the panel keeps what it holds
    QCOMPARE(ui.m_txtUALControlIP->text(), NewControlIp);
    QVERIFY(ui.m_cmdUALGo->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(probe->online() && probe->intercomModel(), 5000);
    sim->clearLog();
    QVERIFY(clickSend(QMessageBox::Yes));
    QTRY_COMPARE(linkDatagramsTo(IntercomUnit).size(), 4);
    QVERIFY(linkDatagramsTo(IntercomUnit).at(3).data.endsWith(",5012,1,1LX\r"));
    QVERIFY(linkDatagramsTo(PagingUnit).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(unitAnswersAt(NewControlIp), 5000);
    QCOMPARE(sim->run([](UnitSimulator &simulator) {
                 return simulator.unit(QHostAddress(NewControlIp))->model();
             }),
             QStringLiteral("TK12X"));
}

void TestManualLink::clickOnAnotherUnitKeepsInvalidPanelLocked()
{
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    ui.m_txtUALStationID->setText(QStringLiteral("65537"));
    QVERIFY(!ui.m_cmdUALGo->isEnabled());

    clickListLine(IntercomUnit);
    QCOMPARE(ui.m_cmdUALGo->text(), QStringLiteral("SEND TO ") + IntercomUnit);
    QVERIFY(!ui.m_cmdUALGo->isEnabled());

    // nor does a confirmed push get through by any other road
    QTRY_VERIFY_WITH_TIMEOUT(probe->online(), 5000);
    sim->clearLog();
    MessageBoxDriver driver;
    driver.click(QMessageBox::Yes);
    runSlot("on_m_cmdUALGo_clicked");
    QCOMPARE(driver.boxCount(), 1);
    QTest::qWait(400);
    QVERIFY(linkDatagramsTo(IntercomUnit).isEmpty());
    QVERIFY(linkDatagramsTo(PagingUnit).isEmpty());
    QVERIFY(!probe->rawReplyExpected());
    QVERIFY(ui.m_fraManualLink->isVisible());
}

void TestManualLink::offlineUnitRefusedWhateverTheAnswer_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("No") << int(QMessageBox::No);
    QTest::newRow("Yes") << int(QMessageBox::Yes);
}

void TestManualLink::offlineUnitRefusedWhateverTheAnswer()
{
    QFETCH(int, answer);
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    QVERIFY(sim->withUnit(QHostAddress(PagingUnit), [](SimulatedUnit &unit) { unit.setSilent(true); }));
    QTRY_VERIFY_WITH_TIMEOUT(!probe->online(), 6000);
    QVERIFY(ui.m_cmdUALGo->isEnabled());
    sim->clearLog();

    QVERIFY(clickSend(QMessageBox::StandardButton(answer)));
    QCOMPARE(ui.statusbar->currentMessage(),
             QStringLiteral("Status: Unable to send.  Destination unit appears offline."));
    QTest::qWait(400);
    QVERIFY(linkDatagramsTo(PagingUnit).isEmpty());
    QVERIFY(ui.m_fraManualLink->isVisible());
    QVERIFY(!probe->rawReplyExpected());
}

void TestManualLink::invalidDestinationRefusedBeforeAsking()
{
    openPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    ui.m_txtIP->setText(QStringLiteral("192.168.0."));
    QVERIFY(!ui.m_cmdUALGo->isEnabled());
    QCOMPARE(ui.m_cmdUALGo->text(), QStringLiteral("SEND TO 192.168.0."));
    sim->clearLog();

    QVERIFY(!clickSend(QMessageBox::Yes)); // a disabled button does nothing
    runSlot("on_m_cmdUALGo_clicked");
    QCOMPARE(ui.statusbar->currentMessage(),
             QStringLiteral("Status: Unable to send.  Invalid destination IP."));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(!probe->rawReplyExpected());
}

QTEST_MAIN(TestManualLink)
#include "tst_manuallink.moc"
