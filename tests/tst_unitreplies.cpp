// The reply path of the window, with the selected unit played by a socket the
// test controls: framing, result codes, raw replies, the sender check, status
// decoding in the window, the online/offline presentation and the chord keys.
#include "sim/statusencoder.h"
#include "sim/unitdefaults.h"
#include "sim/unitmodel.h"
#include "support/datagramcapture.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QHostAddress UnitA("192.168.0.254"); // the address the window starts with
const QHostAddress OtherHost("192.168.0.99");

UnitStatus factoryHv4k()
{
    return UnitDefaults::factoryState(*UnitModels::find(QStringLiteral("HV4K")), QStringLiteral("2.09"), UnitA);
}

QByteArray statusReply(const QByteArray &header = "HV4K v2.09\r", const UnitStatus &state = factoryHv4k(),
                       int length = 251)
{
    return StatusEncoder::encode(header, state, length);
}

} // namespace

class TestUnitReplies : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsOfflineAndPollsAtOnce();
    void headerBlockSplit_data();
    void headerBlockSplit();
    void versionBoundaries_data();
    void versionBoundaries();
    void acknowledgements_data();
    void acknowledgements();
    void emptyDatagramIsNoAnswer_data();
    void emptyDatagramIsNoAnswer();
    void rawReplyCoversOneDatagram();
    void rawReplyIsEscapedInTheLog();
    void rawReplyNotLoggedInPrivateMode();
    void otherSendersChangeNothing();
    void lateReplyOfPreviousUnitIgnored();
    void mappedAddressAccepted();
    void assemblyAdoptedBeforeBlock();
    void assemblyKeptWhenChosen();
    void macFieldPrefilled();
    void offlineStatusPrecedence_data();
    void offlineStatusPrecedence();
    void offlinePresentation();
    void everyCallReappliesVisibility();
    void featureIndicatorsFollowFirstReply_data();
    void featureIndicatorsFollowFirstReply();
    void chordKeys_data();
    void chordKeys();

private:
    // Answers the window's last request as the unit and lets the window read it.
    void answer(const QByteArray &datagram);
    void sendFrom(const QHostAddress &host, const QByteArray &datagram);
    void goOnline();

    std::unique_ptr<DatagramCapture> unit;
    qint64 constructedAtMs = 0;
};

void TestUnitReplies::init()
{
    unit = std::make_unique<DatagramCapture>();
    QVERIFY(unit->bind(UnitA));
    openWindow(); // the chord keys of an earlier case are let go
    constructedAtMs = unit->elapsedMs();
    QTRY_VERIFY_WITH_TIMEOUT(!unit->datagrams().isEmpty(), 1000);
}

void TestUnitReplies::cleanup()
{
    closeWindow();
    unit.reset();
}

void TestUnitReplies::answer(const QByteArray &datagram)
{
    unit->reply(datagram);
    QTRY_VERIFY(!probe->unicastSocket()->hasPendingDatagrams());
}

void TestUnitReplies::sendFrom(const QHostAddress &host, const QByteArray &datagram)
{
    QUdpSocket socket;
    QVERIFY(socket.bind(host, 0));
    socket.writeDatagram(datagram, Workstation, UnicastPort);
    QTRY_VERIFY(!probe->unicastSocket()->hasPendingDatagrams());
}

void TestUnitReplies::goOnline()
{
    answer(statusReply());
    QVERIFY(probe->online());
}

void TestUnitReplies::startsOfflineAndPollsAtOnce()
{
    const DatagramCapture::Datagram first = unit->datagrams().first();
    QCOMPARE(first.data, QByteArray("GSHV\r"));
    QVERIFY2(first.receivedMs - constructedAtMs < 500, qPrintable(QString::number(first.receivedMs - constructedAtMs)));
    QCOMPARE(probe->pollTimer()->interval(), 2000);

    auto &ui = probe->ui();
    QCOMPARE(ui.statusbar->currentMessage(), QStringLiteral("Status: Offline."));
    QCOMPARE(ui.m_cmbAssembly->currentText(), QStringLiteral("UNKNOWN"));
    QCOMPARE(ui.m_cmbMacType->currentText(), QStringLiteral("Local"));
    for (QWidget *control : std::initializer_list<QWidget *>{ui.m_cmbAssembly, ui.m_cmdSetMAC, ui.m_txtMAC,
                                                             ui.m_LEDIntensity, ui.m_txtPionCmd, ui.m_cmdSendPionCmd,
                                                             ui.menuTest_Functions, ui.m_cmdSetProdAssembly})
        QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    QVERIFY(!ui.actionManual_Link_unicast->isEnabled());
    for (int n = 1; n <= 32; ++n) {
        for (QLabel *indicator : {probe->input(n), probe->led(n)}) {
            QCOMPARE(indicator->styleSheet(), QStringLiteral("QLabel { background-color : #E7E7E7 }"));
            QCOMPARE(indicator->frameShape(), QFrame::NoFrame);
        }
    }
    QCOMPARE(int(probe->inputCount()), 32);
    QCOMPARE(int(probe->ledCount()), 32);
}

void TestUnitReplies::headerBlockSplit_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<QString>("received");

    const QByteArray header = StatusEncoder::header("HV4K v2.09\r");
    QTest::newRow("218: text up to the NUL") << header + QByteArray(186, 'x') << false << "0 bytes";
    QTest::newRow("219: 187-byte block") << header + QByteArray(187, 'x') << false << "187 bytes";
    QTest::newRow("240: 208-byte block") << header + QByteArray(208, 'x') << false << "208 bytes";
    QTest::newRow("250: 218-byte block") << statusReply("HV4K v2.09\r", factoryHv4k(), 250) << false << "218 bytes";
    QTest::newRow("251: decoded") << statusReply() << true << "";
}

void TestUnitReplies::headerBlockSplit()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, decoded);
    QFETCH(QString, received);

    answer(datagram);
    QVERIFY(probe->online());
    QCOMPARE(probe->status().firmwareVersionCode, 209u);
    QCOMPARE(probe->status().hasCondition(DataTruncated), !decoded);
    QCOMPARE(probe->status().localName.isEmpty(), !decoded);
    QCOMPARE(WindowProbe::versionLabel()->text().startsWith(QStringLiteral("HV4K v2.09")), true);
    if (decoded)
        QVERIFY(!probe->ui().m_lblInfo->text().contains(QStringLiteral("Received:")));
    else
        QVERIFY2(probe->ui().m_lblInfo->text().contains(received), qPrintable(probe->ui().m_lblInfo->text()));
}

void TestUnitReplies::versionBoundaries_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("supported");
    QTest::addColumn<bool>("updateRequired");

    QTest::newRow("1.12") << QByteArray("HV4K v1.12\r") << false << false;
    QTest::newRow("1.13") << QByteArray("HV4K v1.13\r") << true << true;
    QTest::newRow("1.14") << QByteArray("HV4K v1.14\r") << true << true;
    QTest::newRow("1.15") << QByteArray("HV4K v1.15\r") << true << false;
    QTest::newRow("2.04") << QByteArray("HV4K v2.04\r") << false << false;
    QTest::newRow("2.05") << QByteArray("HV4K v2.05\r") << true << true;
    QTest::newRow("2.08") << QByteArray("HV4K v2.08\r") << true << true;
    QTest::newRow("2.09") << QByteArray("HV4K v2.09\r") << true << false;
    QTest::newRow("V1.5") << QByteArray("HV4K V1.5\r") << false << false;
}

// The version reply alone decides the next request and its timing.
void TestUnitReplies::versionBoundaries()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, supported);
    QFETCH(bool, updateRequired);

    answer(header);
    QCOMPARE(probe->status().hasCondition(FirmwareUnsupported), !supported);
    QCOMPARE(probe->status().hasCondition(FirmwareUpdateRequired), updateRequired);
    QCOMPARE(probe->pollTimer()->interval(), supported ? 300 : 2000);
    unit->clear();
    QTRY_VERIFY_WITH_TIMEOUT(!unit->datagrams().isEmpty(), 3000);
    QCOMPARE(unit->datagrams().first().data, QByteArray(supported ? "GSHV\r" : "?V\r"));
}

void TestUnitReplies::acknowledgements_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("firmwareUnsupported");

    QTest::newRow("R") << QByteArray("R\r") << "Status: Success [R]" << false;
    QTest::newRow("R with tab and line feed") << QByteArray("\tR\r\n") << "Status: Success [R]" << false;
    QTest::newRow("E04") << QByteArray("E04\r") << "Status: Failed [E04: Invalid/Unsupported Command]" << true;
    QTest::newRow("E00") << QByteArray("E00") << "Status: Failed [E00: Communication Error]" << true;
    QTest::newRow("E11") << QByteArray("E11\r") << "Status: Failed [E11: Command unavailable]" << true;
    QTest::newRow("E13") << QByteArray("E13\r") << "Status: Failed [E13: Kiro Link Not Active]" << false;
    QTest::newRow("E16") << QByteArray("E16") << "Status: Failed [E16: Invalid MAC (mismatch in Vendor range)]" << false;
    QTest::newRow("E05 unknown") << QByteArray("E05\r") << "Status: Failed [E05: ]" << false;
    QTest::newRow("carriage return only") << QByteArray("\r") << "Status: Failed [: ]" << false;
}

void TestUnitReplies::acknowledgements()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    QFETCH(bool, firmwareUnsupported);

    const quint16 before = DataTruncated | LedIntensityLow;
    probe->status().conditionFlags = before;
    QVERIFY(!probe->online());
    QVERIFY(probe->awaitingReply());
    answer(reply);
    // Any non-empty datagram is an answer and brings the window online first.
    QVERIFY(probe->online());
    QVERIFY(!probe->awaitingReply());
    QCOMPARE(probe->ui().statusbar->currentMessage(), status);
    QCOMPARE(int(probe->status().conditionFlags), int(before | (firmwareUnsupported ? FirmwareUnsupported : 0)));
}

void TestUnitReplies::emptyDatagramIsNoAnswer_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("zero length") << QByteArray();
    QTest::newRow("starts with NUL") << QByteArray("\0R\r", 3);
}

void TestUnitReplies::emptyDatagramIsNoAnswer()
{
    QFETCH(QByteArray, datagram);
    QTest::qWait(700);
    const int remainingBefore = probe->pollTimer()->remainingTime();
    answer(datagram);
    QVERIFY(probe->awaitingReply());
    QVERIFY(!probe->online());
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Offline."));
    // It does restart the poll timer.
    QVERIFY2(probe->pollTimer()->remainingTime() > remainingBefore + 300,
             qPrintable(QStringLiteral("%1 -> %2").arg(remainingBefore).arg(probe->pollTimer()->remainingTime())));
}

void TestUnitReplies::rawReplyCoversOneDatagram()
{
    goOnline();
    const QString localName = probe->status().localName;
    probe->rawReplyExpected() = true;
    UnitStatus renamed = factoryHv4k();
    renamed.localName = QStringLiteral("Renamed-0000FE");
    answer(statusReply("HV4K v2.09\r", renamed));
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Response received [HV4K v2.09]"));
    QVERIFY(probe->ui().m_txtDetails->toPlainText().contains(QStringLiteral("HV4K v2.09")));
    QCOMPARE(probe->status().localName, localName); // not decoded
    QVERIFY(!probe->rawReplyExpected());

    answer(statusReply("HV4K v2.09\r", renamed));
    QCOMPARE(probe->status().localName, QStringLiteral("Renamed-0000FE"));
}

void TestUnitReplies::rawReplyIsEscapedInTheLog()
{
    goOnline();
    const QString reply = QStringLiteral("<table><tr><td><img src=\"x\"><a href=\"y\">&amp;</a> E04");
    probe->rawReplyExpected() = true;
    answer(reply.toUtf8() + "\r");
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Response received [") + reply + "]");
    QTextEdit *log = probe->ui().m_txtDetails;
    QVERIFY2(log->toPlainText().contains(reply), qPrintable(log->toPlainText()));
    QVERIFY(!log->toHtml().contains(QStringLiteral("<img")));
    QVERIFY(!log->toHtml().contains(QStringLiteral("<a ")));
    QVERIFY(log->toPlainText().contains(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d"),
                                                           QRegularExpression::MultilineOption)));
}

void TestUnitReplies::rawReplyNotLoggedInPrivateMode()
{
    goOnline();
    probe->privateMode() = true;
    probe->checklistTimer()->stop();
    probe->ui().m_txtDetails->setPlainText(QStringLiteral("checklist"));
    probe->rawReplyExpected() = true;
    answer("R\r");
    QCOMPARE(probe->ui().m_txtDetails->toPlainText(), QStringLiteral("checklist"));
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Response received [R]"));
}

// Only the unit in the IP field is listened to.
void TestUnitReplies::otherSendersChangeNothing()
{
    probe->rawReplyExpected() = true;
    QTest::qWait(700);
    const int remainingBefore = probe->pollTimer()->remainingTime();
    const QString statusBefore = probe->ui().statusbar->currentMessage();
    for (const QByteArray &datagram : {statusReply(), QByteArray("R\r"), QByteArray("E04\r")})
        sendFrom(OtherHost, datagram);

    QVERIFY(!probe->online());
    QVERIFY(probe->awaitingReply());
    QVERIFY(probe->rawReplyExpected());
    QVERIFY(probe->status().modelToken.isEmpty());
    QCOMPARE(int(probe->status().conditionFlags), int(ModelInvalid));
    QCOMPARE(probe->ui().statusbar->currentMessage(), statusBefore);
    QCOMPARE(probe->ui().m_cmbAssembly->currentText(), QStringLiteral("UNKNOWN"));
    QVERIFY(probe->pollTimer()->remainingTime() <= remainingBefore);
}

void TestUnitReplies::lateReplyOfPreviousUnitIgnored()
{
    goOnline();
    probe->ui().m_txtIP->setText(QStringLiteral("192.168.0.21"));
    QTRY_COMPARE(probe->polledIP(), QStringLiteral("192.168.0.21"));
    QVERIFY(!probe->online());
    answer(statusReply()); // the old unit, late
    QVERIFY(!probe->online());
    QVERIFY(probe->awaitingReply());
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Offline."));
    QCOMPARE(probe->ui().m_cmbAssembly->currentText(), QStringLiteral("UNKNOWN"));
}

void TestUnitReplies::mappedAddressAccepted()
{
    probe->ui().m_txtIP->setText(QStringLiteral("::ffff:192.168.0.254"));
    unit->clear();
    QTRY_VERIFY_WITH_TIMEOUT(!unit->datagrams().isEmpty(), 1000);
    answer(statusReply());
    QVERIFY(probe->online());
    QCOMPARE(probe->status().modelToken, QStringLiteral("HV4K"));
}

void TestUnitReplies::assemblyAdoptedBeforeBlock()
{
    // An UltimoX2 unit reporting the old family word: the box takes HV4, the
    // compatibility model, before the block is read, so the block's check
    // already sees that assembly.
    answer(statusReply("Halvo v2.09\r"));
    QCOMPARE(probe->ui().m_cmbAssembly->currentText(), QStringLiteral("HV4"));
    QCOMPARE(int(probe->assembly()), 0);
    QCOMPARE(int(probe->inputCount()), 4);
    QVERIFY(probe->status().hasCondition(CompatibilityAssemblyOnUltimoX));
    QVERIFY(!probe->status().hasCondition(ModelInvalid));
}

void TestUnitReplies::assemblyKeptWhenChosen()
{
    goOnline();
    probe->ui().m_cmbAssembly->setCurrentIndex(5); // HV16K, chosen by the technician
    answer(statusReply());
    QCOMPARE(probe->ui().m_cmbAssembly->currentText(), QStringLiteral("HV16K"));
    QCOMPARE(int(probe->inputCount()), 16);
    // A model the list does not hold leaves "UNKNOWN" in place.
    probe->setOnlineUI(false);
    answer(statusReply("HVX9 v2.09\r"));
    QCOMPARE(probe->ui().m_cmbAssembly->currentText(), QStringLiteral("UNKNOWN"));
}

void TestUnitReplies::macFieldPrefilled()
{
    goOnline();
    QCOMPARE(probe->ui().m_txtMAC->text(), factoryHv4k().controlMacText);
    probe->ui().m_txtMAC->setText(QStringLiteral("02:4B:7D:00:00:01"));
    answer(statusReply());
    QCOMPARE(probe->ui().m_txtMAC->text(), QStringLiteral("02:4B:7D:00:00:01"));
    // A short reply does not fill the field.
    probe->ui().m_txtMAC->clear();
    answer("HV4K v2.09\r");
    QVERIFY(probe->ui().m_txtMAC->text().isEmpty());
}

void TestUnitReplies::offlineStatusPrecedence_data()
{
    QTest::addColumn<bool>("defaults");
    QTest::addColumn<bool>("restart");
    QTest::addColumn<bool>("firmwareUpdate");
    QTest::addColumn<QString>("text");

    const QString firmwareText = QStringLiteral(
        "Status: Firmware update mode started.  Web portal will open in 2 seconds or use 'down' arrow "
        "button next to IP to access it manually.");
    QTest::newRow("none") << false << false << false << "Status: Offline.";
    QTest::newRow("firmware update") << false << false << true << firmwareText;
    QTest::newRow("restart over firmware update") << false << true << true << "Status: Unit Restarted. Please wait...";
    QTest::newRow("defaults over all") << true << true << true
                                       << "Status: Loading defaults and restarting. Please wait...";
}

void TestUnitReplies::offlineStatusPrecedence()
{
    QFETCH(bool, defaults);
    QFETCH(bool, restart);
    QFETCH(bool, firmwareUpdate);
    QFETCH(QString, text);

    goOnline();
    probe->defaultsPending() = defaults;
    probe->restartPending() = restart;
    probe->firmwareUpdatePending() = firmwareUpdate;
    probe->setOnlineUI(false);
    QCOMPARE(probe->ui().statusbar->currentMessage(), text);
}

void TestUnitReplies::offlinePresentation()
{
    UnitStatus state = factoryHv4k();
    state.ledIntensity = 55;
    answer(statusReply("HV4K v2.12\r", state, 256));
    auto &ui = probe->ui();
    QCOMPARE(ui.statusbar->currentMessage(), QStringLiteral("Status: Online."));
    QCOMPARE(ui.m_lblInfo->styleSheet(), QStringLiteral("QLabel { color : black }"));
    QVERIFY(ui.m_cmdSetProdAssembly->isEnabled());
    QVERIFY(ui.m_LEDIntensity->isEnabled());
    QCOMPARE(int(probe->inputCount()), 4);
    probe->ledToggleStep() = 3;
    probe->status().conditionFlags = LedIntensityLow;
    unit->clear();

    probe->setOnlineUI(false);
    QCOMPARE(ui.m_lblInfo->styleSheet(), QStringLiteral("QLabel { color : lightgrey }"));
    QCOMPARE(ui.m_txtDetails->styleSheet(), QStringLiteral("QTextEdit { background-color : }"));
    QVERIFY(!ui.m_cmdSetProdAssembly->isEnabled());
    QVERIFY(!ui.m_LEDIntensity->isEnabled());
    // The box moved to "UNKNOWN", whose handler marks the model invalid with 32 indicators.
    QCOMPARE(ui.m_cmbAssembly->currentIndex(), 10);
    QCOMPARE(int(probe->status().conditionFlags), int(ModelInvalid));
    QCOMPARE(int(probe->inputCount()), 32);
    QCOMPARE(int(probe->ledToggleStep()), 1);
    QVERIFY(ui.m_txtMAC->text().isEmpty());
    QCOMPARE(ui.m_LEDIntensity->value(), 0);
    QCOMPARE(ui.frameDIPSWs->styleSheet(), QStringLiteral(".QFrame { background-color : black }"));
    QCOMPARE(ui.m_DIPSWOn_3->styleSheet(), QStringLiteral("QLabel { background-color : black }"));
    QCOMPARE(ui.m_DIPSWOff_3->styleSheet(), QStringLiteral("QLabel { background-color : white }"));
    QCOMPARE(ui.m_lblDIPSW_2->styleSheet(), QStringLiteral("QLabel { color : white }"));
    QCOMPARE(ui.m_PTTState->styleSheet(), QStringLiteral("QLabel { background-color : }"));
    QCOMPARE(probe->input(1)->frameShape(), QFrame::NoFrame);
    QCOMPARE(probe->led(4)->styleSheet(), QStringLiteral("QLabel { background-color : #E7E7E7 }"));
    // The slider moved under its guard: no intensity command follows.
    QTest::qWait(700);
    for (const QByteArray &sent : unit->payloads())
        QVERIFY2(!sent.endsWith("IB\r"), sent.constData());
}

void TestUnitReplies::everyCallReappliesVisibility()
{
    answer(statusReply("HV4K v2.12\r"));
    auto &ui = probe->ui();
    ui.m_txtDetails->resize(100, ui.m_txtDetails->height());
    ui.m_ButtonTapsEnabled->hide();
    probe->setOnlineUI(true); // no change of state
    QCOMPARE(ui.m_txtDetails->width(), 871);
    QVERIFY(!ui.m_ButtonTapsEnabled->isHidden());

    // Feature indicators follow the last reported firmware, also while offline.
    answer("HV4K v2.11\r");
    probe->setOnlineUI(false);
    QVERIFY(ui.m_ButtonTapsEnabled->isHidden());
    QVERIFY(ui.m_lblPTTZoneModeEnabled->isHidden());
}

void TestUnitReplies::featureIndicatorsFollowFirstReply_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("shown");
    QTest::newRow("1.14") << QByteArray("HV4K v1.14\r") << false;
    QTest::newRow("1.15") << QByteArray("HV4K v1.15\r") << true;
    QTest::newRow("2.11") << QByteArray("HV4K v2.11\r") << false;
    QTest::newRow("2.12") << QByteArray("HV4K v2.12\r") << true;
}

// The window goes online before the first reply is decoded; the indicators
// that depend on the firmware must still follow that reply at once.
void TestUnitReplies::featureIndicatorsFollowFirstReply()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, shown);
    auto &ui = probe->ui();
    QVERIFY(ui.m_ButtonTapsEnabled->isHidden());
    answer(statusReply(header, factoryHv4k(), 256));
    QVERIFY(probe->online());
    for (QWidget *indicator : {static_cast<QWidget *>(ui.m_lblButtonTapsEnabled), static_cast<QWidget *>(ui.m_ButtonTapsEnabled),
                               static_cast<QWidget *>(ui.m_lblPTTZoneModeEnabled), static_cast<QWidget *>(ui.m_PTTZoneModeEnabled)})
        QCOMPARE(!indicator->isHidden(), shown);
}

void TestUnitReplies::chordKeys_data()
{
    QTest::addColumn<QList<int>>("pressed");  // positive: press, negative: release
    QTest::addColumn<bool>("requested");

    QTest::newRow("ctrl shift f12") << QList<int>{Qt::Key_Control, Qt::Key_Shift, Qt::Key_F12} << true;
    QTest::newRow("f12 last or first") << QList<int>{Qt::Key_F12, Qt::Key_Shift, Qt::Key_Control} << true;
    QTest::newRow("ctrl f12") << QList<int>{Qt::Key_Control, Qt::Key_F12} << false;
    QTest::newRow("shift released")
        << QList<int>{Qt::Key_Control, Qt::Key_Shift, -Qt::Key_Shift, Qt::Key_F12} << false;
    QTest::newRow("other key between") << QList<int>{Qt::Key_Control, Qt::Key_Shift, Qt::Key_A, Qt::Key_F12} << true;
    QTest::newRow("f11") << QList<int>{Qt::Key_Control, Qt::Key_Shift, Qt::Key_F11} << false;
    QTest::newRow("released after completing")
        << QList<int>{Qt::Key_Control, Qt::Key_Shift, Qt::Key_F12, -Qt::Key_F12, -Qt::Key_Shift} << true;
}

void TestUnitReplies::chordKeys()
{
    QFETCH(QList<int>, pressed);
    QFETCH(bool, requested);

    probe->pollTimer()->stop(); // no tick consumes the latch here
    WindowProbe::privateModeRequested() = false;
    for (int key : pressed) {
        if (key > 0)
            QTest::keyPress(window.get(), Qt::Key(key));
        else
            QTest::keyRelease(window.get(), Qt::Key(-key));
    }
    QCOMPARE(WindowProbe::privateModeRequested(), requested);
    QVERIFY(!probe->privateMode());

    // The next tick consumes the latch.
    unit->clear();
    runSlot("readSettingsAndData");
    QCOMPARE(probe->privateMode(), requested);
    QVERIFY(!WindowProbe::privateModeRequested());
    QCOMPARE(probe->ui().m_txtDetails->width(), requested ? 566 : 871);
}

QTEST_MAIN(TestUnitReplies)
#include "tst_unitreplies.moc"
