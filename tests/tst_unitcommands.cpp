#include "support/datagramcapture.h"
#include "support/messageboxdriver.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

// What each unit command sends, the flags it raises and the boxes it asks
// with, against a socket standing where the unit would be. The unit's answers
// and what follows them are in tst_commandflow.
class TestUnitCommands : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commandsWithoutQuestion_data();
    void commandsWithoutQuestion();
    void refusedForInvalidAddress_data();
    void refusedForInvalidAddress();
    void questionBoxes_data();
    void questionBoxes();
    void intensitySetByProgramSendsNothing();
    void aboutBox();
    void notesBox();
    void portalOpensUnitAddress();

private:
    // Command datagrams that arrived at the unit, poll requests left out.
    QList<QByteArray> commands() const;
    // Waits long enough for a datagram on loopback to arrive.
    static void settle() { QTest::qWait(100); }

    std::unique_ptr<DatagramCapture> m_unit;
};

namespace {

const QString UnitAddress = QStringLiteral("192.168.0.254");
const QString InvalidIpText = QStringLiteral("Status: Unable to send.  Invalid IP.");

} // namespace

QList<QByteArray> TestUnitCommands::commands() const
{
    return withoutPolls(m_unit->payloads());
}

void TestUnitCommands::init()
{
    m_unit = std::make_unique<DatagramCapture>();
    QVERIFY(m_unit->bind(QHostAddress(UnitAddress)));
    openWindow();
    probe->ui().m_txtIP->setText(UnitAddress);
    // No scan and no polling unless a case starts it: only commands reach the unit.
    probe->scanTimer()->stop();
    probe->pollTimer()->stop();
    probe->awaitingReply() = false;
}

void TestUnitCommands::cleanup()
{
    closeWindow();
    m_unit.reset();
}

void TestUnitCommands::commandsWithoutQuestion_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<bool>("privateMode");
    QTest::addColumn<QString>("pionText");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<int>("flags");

    const int none = 0;
    QTest::newRow("ringer test") << QByteArray("sonalertTest") << false << QString()
                                 << QByteArray("CM1DRE\r") << "Status: Sonalert test..." << none;
    QTest::newRow("firmware update") << QByteArray("firmwareUpdateMode") << false << QString()
                                     << QByteArray("BLXX\r") << "Status: Entering bootloader..."
                                     << int(WindowProbe::FirmwareUpdatePending);
    QTest::newRow("reboot in private mode")
        << QByteArray("reboot") << true << QString() << QByteArray("XX\r")
        << "Status: Rebooting..." << int(WindowProbe::RestartPending);
    QTest::newRow("defaults in private mode")
        << QByteArray("loadDefaults") << true << QString() << QByteArray("DE\r")
        << "Status: Defaulting settings and rebooting..." << int(WindowProbe::DefaultsPending);
    QTest::newRow("LED cycle inhibit")
        << QByteArray("on_m_cmdLEDCycleToggle_clicked") << true << QString()
        << QByteArray("LCHV\r") << "Status: LED cycle inhibit toggle..." << none;
    QTest::newRow("redetect ultimo")
        << QByteArray("on_m_cmdRedetectUltimo_clicked") << true << QString()
        << QByteArray("DUHV\r") << "Status: Redetecting ultimo..."
        << int(WindowProbe::RestartPending);
    QTest::newRow("clear power cycles")
        << QByteArray("on_m_cmdClearReboots_clicked") << true << QString()
        << QByteArray("1RCHV\r") << "Status: Clearing power cycle counter..." << none;
    QTest::newRow("custom as typed")
        << QByteArray("on_m_cmdSendPionCmd_clicked") << false << QStringLiteral(" l1,x ")
        << QByteArray(" l1,x \r") << "Status: Sending custom Pioneer command..."
        << int(WindowProbe::RawReplyExpected);
    QTest::newRow("custom empty")
        << QByteArray("on_m_cmdSendPionCmd_clicked") << false << QString() << QByteArray("\r")
        << "Status: Sending custom Pioneer command..." << int(WindowProbe::RawReplyExpected);
}

void TestUnitCommands::commandsWithoutQuestion()
{
    QFETCH(QByteArray, slot);
    QFETCH(bool, privateMode);
    QFETCH(QString, pionText);
    QFETCH(QByteArray, datagram);
    QFETCH(QString, statusText);
    QFETCH(int, flags);

    probe->privateMode() = privateMode;
    probe->ui().m_txtPionCmd->setText(pionText);
    probe->pollTimer()->start(2000);
    MessageBoxDriver boxes;
    boxes.pressEscape(); // any box would be a fault; this one would be left at once

    runSlot(slot.constData());
    QVERIFY(!probe->pollTimer()->isActive());
    QVERIFY(probe->awaitingReply());
    QCOMPARE(probe->ui().statusbar->currentMessage(), statusText);
    QCOMPARE(probe->rawReplyExpected(), bool(flags & WindowProbe::RawReplyExpected));
    QCOMPARE(probe->restartPending(), bool(flags & WindowProbe::RestartPending));
    QCOMPARE(probe->defaultsPending(), bool(flags & WindowProbe::DefaultsPending));
    QCOMPARE(probe->firmwareUpdatePending(), bool(flags & WindowProbe::FirmwareUpdatePending));

    QTRY_COMPARE(m_unit->datagrams().size(), 1);
    QCOMPARE(m_unit->datagrams().constFirst().data, datagram);
    QCOMPARE(m_unit->datagrams().constFirst().senderPort, quint16(1234));
    QCOMPARE(boxes.boxCount(), 0);
}

void TestUnitCommands::refusedForInvalidAddress_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QString>("field");

    const char *const senders[] = {
        "ledStateToggle", "sonalertTest", "muteHandsetToggle", "reboot", "loadDefaults",
        "firmwareUpdateMode", "on_m_cmdSetProdAssembly_clicked", "on_m_cmdSetMAC_clicked",
        "on_m_cmdLEDCycleToggle_clicked", "on_m_cmdRedetectUltimo_clicked",
        "on_m_cmdClearReboots_clicked", "on_m_cmdSendPionCmd_clicked"};
    for (const char *slot : senders) {
        QTest::addRow("%s, 300.1.1.1", slot) << QByteArray(slot) << QStringLiteral("300.1.1.1");
        QTest::addRow("%s, empty", slot) << QByteArray(slot) << QString();
    }
}

void TestUnitCommands::refusedForInvalidAddress()
{
    QFETCH(QByteArray, slot);
    QFETCH(QString, field);

    probe->ui().m_txtIP->setText(field);
    probe->ui().m_cmbAssembly->setCurrentIndex(5);
    probe->ledToggleStep() = 2;
    probe->pollTimer()->start(60000);
    probe->awaitingReply() = false;
    MessageBoxDriver boxes;
    boxes.pressEscape();

    runSlot(slot.constData());
    QCOMPARE(probe->ui().statusbar->currentMessage(), InvalidIpText);
    // Nothing asked, nothing sent, polling and flags as they were.
    QVERIFY(probe->pollTimer()->isActive());
    QVERIFY(!probe->awaitingReply());
    QVERIFY(!probe->restartPending() && !probe->defaultsPending() && !probe->firmwareUpdatePending());
    QVERIFY(!probe->rawReplyExpected());
    QCOMPARE(probe->ledToggleStep(), quint8(2));
    QVERIFY(probe->confirmAssembly());
    settle();
    QCOMPARE(boxes.boxCount(), 0);
    QVERIFY(m_unit->datagrams().isEmpty());
}

void TestUnitCommands::questionBoxes_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<int>("assemblyIndex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("informativeText");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("cautiousButton");

    QTest::newRow("reboot") << QByteArray("reboot") << 10 << "Are you sure?" << QString()
                            << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::No);
    QTest::newRow("defaults") << QByteArray("loadDefaults") << 10
                              << "THIS WILL ERASE ALL THE USER SETTINGS!!!" << "Please confirm."
                              << int(QMessageBox::RestoreDefaults | QMessageBox::Abort)
                              << int(QMessageBox::Abort);
    QTest::newRow("assembly, first of the run")
        << QByteArray("on_m_cmdSetProdAssembly_clicked") << 5
        << "Default settings will be loaded." << "Do you want to continue?"
        << int(QMessageBox::Ok | QMessageBox::Cancel) << int(QMessageBox::Cancel);
    QTest::newRow("assembly UNKNOWN") << QByteArray("on_m_cmdSetProdAssembly_clicked") << 10
                                      << "Invalid model selected."
                                      << "Please select a valid model." << int(QMessageBox::Ok)
                                      << int(QMessageBox::Ok);
}

// Each question as the user sees it, answered with Escape: nothing is sent
// and polling goes on. (The answers that send are in tst_commandflow.)
void TestUnitCommands::questionBoxes()
{
    QFETCH(QByteArray, slot);
    QFETCH(int, assemblyIndex);
    QFETCH(QString, text);
    QFETCH(QString, informativeText);
    QFETCH(int, buttons);
    QFETCH(int, cautiousButton);

    probe->ui().m_cmbAssembly->setCurrentIndex(assemblyIndex);
    probe->pollTimer()->start(2000);
    probe->ui().statusbar->showMessage(QStringLiteral("Status: Online."));
    MessageBoxDriver boxes;
    boxes.pressEscape();

    runSlot(slot.constData());
    QCOMPARE(boxes.boxCount(), 1);
    const MessageBoxDriver::Seen &box = boxes.lastBox();
    QCOMPARE(box.text, text);
    QCOMPARE(box.informativeText, informativeText);
    QCOMPARE(int(box.buttons), buttons);
    QCOMPARE(int(box.defaultButton), cautiousButton);
    QCOMPARE(int(box.escapeButton), cautiousButton);
    QCOMPARE(box.modality, Qt::ApplicationModal);
    QCOMPARE(box.parent, window.get());

    QVERIFY(probe->pollTimer()->isActive());
    QVERIFY(!probe->awaitingReply() && !probe->restartPending() && !probe->defaultsPending());
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Online."));
    QVERIFY(probe->confirmAssembly()); // the assembly question is still to come
    // Escaping the assembly question leaves the box on "UNKNOWN".
    QCOMPARE(probe->ui().m_cmbAssembly->currentIndex(), 10);
    QVERIFY(!probe->assemblySetByProgram());
    settle();
    QVERIFY(m_unit->datagrams().isEmpty());
}

void TestUnitCommands::intensitySetByProgramSendsNothing()
{
    probe->pollTimer()->start(2000);
    probe->ui().m_lblLEDIntensity->setText(QStringLiteral("30%"));
    probe->intensitySetByProgram() = true;
    probe->ui().m_LEDIntensity->setValue(80);
    probe->intensitySetByProgram() = false;

    QVERIFY(!probe->intensityTimer()->isActive());
    QVERIFY(probe->pollTimer()->isActive());
    QVERIFY(!probe->awaitingReply());
    QCOMPARE(probe->ui().m_lblLEDIntensity->text(), QStringLiteral("30%"));
    QTest::qWait(700);
    QVERIFY(m_unit->datagrams().isEmpty());
}

void TestUnitCommands::aboutBox()
{
    MessageBoxDriver boxes;
    boxes.click(QMessageBox::Ok);
    QVERIFY(window->findChild<QAction *>(QStringLiteral("actionAbout")));
    probe->ui().actionAbout->trigger();

    QCOMPARE(boxes.boxCount(), 1);
    const MessageBoxDriver::Seen &box = boxes.lastBox();
    QCOMPARE(box.title, QStringLiteral("About Halvo+Tesk Utilities"));
    QVERIFY(box.text.startsWith(QStringLiteral("Halvo+Tesk Utilities v1.01\n\n ")));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, window.get());
    QVERIFY(box.modality != Qt::NonModal);
}

void TestUnitCommands::notesBox()
{
    MessageBoxDriver boxes;
    boxes.click(QMessageBox::Ok);
    probe->ui().m_cmdNotes->click();

    QCOMPARE(boxes.boxCount(), 1);
    const MessageBoxDriver::Seen &box = boxes.lastBox();
    QCOMPARE(box.text, QStringLiteral("Information"));
    QVERIFY(box.informativeText.startsWith(QStringLiteral("SPECIAL RARE CASE: ")));
    QVERIFY(box.informativeText.endsWith(QStringLiteral("RevD+ - no special action required.\n\n")));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.modality, Qt::ApplicationModal);
    QCOMPARE(box.parent, window.get());
    QVERIFY(box.title.isEmpty());
}

void TestUnitCommands::portalOpensUnitAddress()
{
    probe->ui().m_cmdWebSrv->setEnabled(true);
    probe->ui().m_cmdWebSrv->click();
    QCOMPARE(openedUrls, QList<QUrl>{QUrl(QStringLiteral("http://192.168.0.254/"))});

    // Nothing travels over the unit channel.
    settle();
    QVERIFY(m_unit->datagrams().isEmpty());
}

QTEST_MAIN(TestUnitCommands)
#include "tst_unitcommands.moc"
