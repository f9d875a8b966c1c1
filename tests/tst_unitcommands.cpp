#include "support/datagramcapture.h"
#include "support/messageboxdriver.h"
#include "support/windowprobe.h"

#include <QtTest>
#include <QtWidgets>

// What each unit command sends, the flags it raises and the boxes it asks
// with, against a socket standing where the unit would be. The unit's answers
// and what follows them are in tst_commandflow.
class TestUnitCommands : public QObject
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

public slots:
    void openUrl(const QUrl &url) { m_openedUrls << url; }

private:
    WindowProbe probe() { return WindowProbe(*m_window); }
    // Runs a slot of the window by name, as its menu action or button would.
    void run(const char *slot) { QVERIFY(QMetaObject::invokeMethod(m_window.get(), slot)); }
    // Command datagrams that arrived at the unit, poll requests left out.
    QList<QByteArray> commands() const;
    // Waits long enough for a datagram on loopback to arrive.
    static void settle() { QTest::qWait(100); }

    std::unique_ptr<HVTKUtilities> m_window;
    std::unique_ptr<DatagramCapture> m_unit;
    QList<QUrl> m_openedUrls;
};

namespace {

const QString UnitAddress = QStringLiteral("192.168.0.254");
const QString InvalidIpText = QStringLiteral("Status: Unable to send.  Invalid IP.");

bool isPollRequest(const QByteArray &datagram)
{
    return datagram == "GSHV\r" || datagram == "?V\r";
}

} // namespace

QList<QByteArray> TestUnitCommands::commands() const
{
    QList<QByteArray> result;
    for (const QByteArray &datagram : m_unit->payloads())
        if (!isPollRequest(datagram))
            result << datagram;
    return result;
}

void TestUnitCommands::init()
{
    m_unit = std::make_unique<DatagramCapture>();
    QVERIFY(m_unit->bind(QHostAddress(UnitAddress)));
    m_window = std::make_unique<HVTKUtilities>();
    WindowProbe w = probe();
    w.ui().m_txtIP->setText(UnitAddress);
    // No scan and no polling unless a case starts it: only commands reach the unit.
    w.scanTimer()->stop();
    w.pollTimer()->stop();
    w.awaitingReply() = false;
    m_openedUrls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
}

void TestUnitCommands::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    m_window.reset();
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

    WindowProbe w = probe();
    w.privateMode() = privateMode;
    w.ui().m_txtPionCmd->setText(pionText);
    w.pollTimer()->start(2000);
    MessageBoxDriver boxes;
    boxes.pressEscape(); // any box would be a fault; this one would be left at once

    run(slot.constData());
    QVERIFY(!w.pollTimer()->isActive());
    QVERIFY(w.awaitingReply());
    QCOMPARE(w.ui().statusbar->currentMessage(), statusText);
    QCOMPARE(w.rawReplyExpected(), bool(flags & WindowProbe::RawReplyExpected));
    QCOMPARE(w.restartPending(), bool(flags & WindowProbe::RestartPending));
    QCOMPARE(w.defaultsPending(), bool(flags & WindowProbe::DefaultsPending));
    QCOMPARE(w.firmwareUpdatePending(), bool(flags & WindowProbe::FirmwareUpdatePending));

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

    WindowProbe w = probe();
    w.ui().m_txtIP->setText(field);
    w.ui().m_cmbAssembly->setCurrentIndex(5);
    w.ledToggleStep() = 2;
    w.pollTimer()->start(60000);
    w.awaitingReply() = false;
    MessageBoxDriver boxes;
    boxes.pressEscape();

    run(slot.constData());
    QCOMPARE(w.ui().statusbar->currentMessage(), InvalidIpText);
    // Nothing asked, nothing sent, polling and flags as they were.
    QVERIFY(w.pollTimer()->isActive());
    QVERIFY(!w.awaitingReply());
    QVERIFY(!w.restartPending() && !w.defaultsPending() && !w.firmwareUpdatePending());
    QVERIFY(!w.rawReplyExpected());
    QCOMPARE(w.ledToggleStep(), quint8(2));
    QVERIFY(w.confirmAssembly());
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

    WindowProbe w = probe();
    w.ui().m_cmbAssembly->setCurrentIndex(assemblyIndex);
    w.pollTimer()->start(2000);
    w.ui().statusbar->showMessage(QStringLiteral("Status: Online."));
    MessageBoxDriver boxes;
    boxes.pressEscape();

    run(slot.constData());
    QCOMPARE(boxes.boxCount(), 1);
    const MessageBoxDriver::Seen &box = boxes.lastBox();
    QCOMPARE(box.text, text);
    QCOMPARE(box.informativeText, informativeText);
    QCOMPARE(int(box.buttons), buttons);
    QCOMPARE(int(box.defaultButton), cautiousButton);
    QCOMPARE(int(box.escapeButton), cautiousButton);
    QCOMPARE(box.modality, Qt::ApplicationModal);
    QCOMPARE(box.parent, m_window.get());

    QVERIFY(w.pollTimer()->isActive());
    QVERIFY(!w.awaitingReply() && !w.restartPending() && !w.defaultsPending());
    QCOMPARE(w.ui().statusbar->currentMessage(), QStringLiteral("Status: Online."));
    QVERIFY(w.confirmAssembly()); // the assembly question is still to come
    // Escaping the assembly question leaves the box on "UNKNOWN".
    QCOMPARE(w.ui().m_cmbAssembly->currentIndex(), 10);
    QVERIFY(!w.assemblySetByProgram());
    settle();
    QVERIFY(m_unit->datagrams().isEmpty());
}

void TestUnitCommands::intensitySetByProgramSendsNothing()
{
    WindowProbe w = probe();
    w.pollTimer()->start(2000);
    w.ui().m_lblLEDIntensity->setText(QStringLiteral("30%"));
    w.intensitySetByProgram() = true;
    w.ui().m_LEDIntensity->setValue(80);
    w.intensitySetByProgram() = false;

    QVERIFY(!w.intensityTimer()->isActive());
    QVERIFY(w.pollTimer()->isActive());
    QVERIFY(!w.awaitingReply());
    QCOMPARE(w.ui().m_lblLEDIntensity->text(), QStringLiteral("30%"));
    QTest::qWait(700);
    QVERIFY(m_unit->datagrams().isEmpty());
}

void TestUnitCommands::aboutBox()
{
    MessageBoxDriver boxes;
    boxes.click(QMessageBox::Ok);
    QVERIFY(m_window->findChild<QAction *>(QStringLiteral("actionAbout")));
    probe().ui().actionAbout->trigger();

    QCOMPARE(boxes.boxCount(), 1);
    const MessageBoxDriver::Seen &box = boxes.lastBox();
    QCOMPARE(box.title, QStringLiteral("About Halvo+Tesk Utilities"));
    QVERIFY(box.text.startsWith(QStringLiteral("Halvo+Tesk Utilities v1.01\n\n ")));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, m_window.get());
    QVERIFY(box.modality != Qt::NonModal);
}

void TestUnitCommands::notesBox()
{
    MessageBoxDriver boxes;
    boxes.click(QMessageBox::Ok);
    probe().ui().m_cmdNotes->click();

    QCOMPARE(boxes.boxCount(), 1);
    const MessageBoxDriver::Seen &box = boxes.lastBox();
    QCOMPARE(box.text, QStringLiteral("Information"));
    QVERIFY(box.informativeText.startsWith(QStringLiteral("SPECIAL RARE CASE: ")));
    QVERIFY(box.informativeText.endsWith(QStringLiteral("RevD+ - no special action required.\n\n")));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.modality, Qt::ApplicationModal);
    QCOMPARE(box.parent, m_window.get());
    QVERIFY(box.title.isEmpty());
}

void TestUnitCommands::portalOpensUnitAddress()
{
    WindowProbe w = probe();
    w.ui().m_cmdWebSrv->setEnabled(true);
    w.ui().m_cmdWebSrv->click();
    QCOMPARE(m_openedUrls, QList<QUrl>{QUrl(QStringLiteral("http://192.168.0.254/"))});

    // Nothing travels over the unit channel.
    settle();
    QVERIFY(m_unit->datagrams().isEmpty());
}

QTEST_MAIN(TestUnitCommands)
#include "tst_unitcommands.moc"
