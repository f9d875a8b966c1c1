#include "sim/unitsimulator.h"
#include "support/messageboxdriver.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

// The unit commands end to end: the window polls a simulated unit, the user
// gives a command, the unit answers and the window follows up.
class TestCommandFlow : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ledToggleSequence_data();
    void ledToggleSequence();
    void handsetMuteFollowsUnit();
    void restartCommands_data();
    void restartCommands();
    void assemblyFirstAndSecondTime();
    void assemblyAfterCancel();
    void macAddress_data();
    void macAddress();
    void redetectLeadsIntoRestartWait();
    void customCommandReplyShownRaw_data();
    void customCommandReplyShownRaw();
    void intensityDragSendsOnce();
    void intensityRetriesWhileAddressInvalid();
    void firmwareUpdateOpensPortal();

private:
    // Starts the unit and the window and waits until the window shows it online
    // with its model accepted.
    void connect(const QString &model, const std::function<void(SimulatedUnit &)> &prepare = {});
    void switchPrivateModeOn();
    // Waits for the unit's answer to the last command.
    void waitForAnswer();
    void waitForQuietChannel();
    // Requests the unit received, poll requests left out.
    QList<QByteArray> commands() const;

    std::unique_ptr<UnitSimulator> m_sim;
    SimulatedUnit *m_unit = nullptr;
};

namespace {

const QString UnitAddress = QStringLiteral("192.168.0.254");
constexpr int ShortRestartMs = 200;

} // namespace

QList<QByteArray> TestCommandFlow::commands() const
{
    return withoutPolls(m_unit->requests());
}

void TestCommandFlow::init()
{
    m_sim = std::make_unique<UnitSimulator>();
}

void TestCommandFlow::cleanup()
{
    closeWindow();
    m_sim.reset();
    m_unit = nullptr;
}

void TestCommandFlow::connect(const QString &model,
                              const std::function<void(SimulatedUnit &)> &prepare)
{
    UnitConfig config;
    config.address = QHostAddress(UnitAddress);
    config.model = model;
    m_unit = m_sim->addUnit(config);
    QVERIFY2(m_unit, qPrintable(m_sim->errorString()));
    m_unit->setRestartTime(ShortRestartMs);
    if (prepare)
        prepare(*m_unit);

    openWindow(StopScan);
    selectUnit(UnitAddress, model);
}

void TestCommandFlow::switchPrivateModeOn()
{
    WindowProbe::privateModeRequested() = true; // as the key chord leaves it
    QTRY_VERIFY(probe->privateMode());
}

void TestCommandFlow::waitForAnswer()
{
    QTRY_VERIFY(!probe->awaitingReply());
}

void TestCommandFlow::waitForQuietChannel()
{
    // Right after a status reply nothing is in flight: a command sent now
    // cannot have a late poll reply taken for its answer.
    QTRY_VERIFY(probe->online() && !probe->awaitingReply());
}

void TestCommandFlow::ledToggleSequence_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QList<QByteArray>>("sequence");

    const QByteArray green("*LNSGCSI\r"), red("*LNSRCSI\r"), orange("*LNSOCSI\r"), off("*LFSSI\r");
    QTest::newRow("4 LEDs") << "HV4K" << QList<QByteArray>{green, red, orange, off, green, red};
    QTest::newRow("16 LEDs") << "HV16K" << QList<QByteArray>{green, off, green};
}

void TestCommandFlow::ledToggleSequence()
{
    QFETCH(QString, model);
    QFETCH(QList<QByteArray>, sequence);
    connect(model);
    QAction *toggle = probe->ui().actionLED_State_Toggle_ALL;

    for (const QByteArray &expected : sequence) {
        waitForQuietChannel();
        toggle->trigger();
        QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Toggling LEDs..."));
        waitForAnswer();
        QCOMPARE(commands().constLast(), expected);
        QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Success [R]"));
    }
    QCOMPARE(commands(), sequence);

    // The unit drops out and comes back: its cycle starts over with green.
    m_unit->setSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(!probe->online(), 5000);
    m_unit->setSilent(false);
    QTRY_VERIFY_WITH_TIMEOUT(probe->online(), 5000);
    QTRY_COMPARE(probe->ui().m_cmbAssembly->currentText(), model);
    m_unit->clearRequests();
    waitForQuietChannel();
    toggle->trigger();
    waitForAnswer();
    QCOMPARE(commands(), QList<QByteArray>{sequence.constFirst()});
}

void TestCommandFlow::handsetMuteFollowsUnit()
{
    connect(QStringLiteral("TK4K"));
    QAction *mute = probe->ui().actionMute_Handset;
    QVERIFY(mute->isVisible());
    QTRY_COMPARE(mute->text(), QStringLiteral("Mute Handset"));

    waitForQuietChannel();
    mute->trigger();
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Handset mute..."));
    waitForAnswer();
    QCOMPARE(commands(), QList<QByteArray>{"1HMHV\r"});
    QTRY_COMPARE(mute->text(), QStringLiteral("Unmute Handset")); // from the next status reply

    waitForQuietChannel();
    mute->trigger();
    waitForAnswer();
    QCOMPARE(commands(), (QList<QByteArray>{"1HMHV\r", "0HMHV\r"}));
    QTRY_COMPARE(mute->text(), QStringLiteral("Mute Handset"));
    QVERIFY(!m_unit->status().handsetMuted);
}

void TestCommandFlow::restartCommands_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("privateMode");
    QTest::addColumn<int>("answer"); // NoButton: Escape key
    QTest::addColumn<QByteArray>("command"); // empty: nothing sent
    QTest::addColumn<QString>("waitText");
    QTest::addColumn<int>("waitMs");

    const QString restarted = QStringLiteral("Status: Unit Restarted. Please wait...");
    const QString defaults = QStringLiteral("Status: Loading defaults and restarting. Please wait...");
    QTest::newRow("reboot, No") << "actionReboot" << false << int(QMessageBox::No) << QByteArray()
                                << QString() << 0;
    QTest::newRow("reboot, Yes") << "actionReboot" << false << int(QMessageBox::Yes)
                                 << QByteArray("XX\r") << restarted << 10000;
    QTest::newRow("reboot, private mode") << "actionReboot" << true << int(QMessageBox::NoButton)
                                          << QByteArray("XX\r") << restarted << 10000;
    QTest::newRow("defaults, Escape") << "actionDefaults" << false << int(QMessageBox::NoButton)
                                      << QByteArray() << QString() << 0;
    QTest::newRow("defaults, private mode") << "actionDefaults" << true
                                            << int(QMessageBox::NoButton) << QByteArray("DE\r")
                                            << defaults << 12000;
}

void TestCommandFlow::restartCommands()
{
    QFETCH(QString, action);
    QFETCH(bool, privateMode);
    QFETCH(int, answer);
    QFETCH(QByteArray, command);
    QFETCH(QString, waitText);
    QFETCH(int, waitMs);

    connect(QStringLiteral("HV4K"));
    if (privateMode)
        switchPrivateModeOn();
    MessageBoxDriver boxes;
    if (answer == QMessageBox::NoButton)
        boxes.pressEscape();
    else
        boxes.click(QMessageBox::StandardButton(answer));
    const int polls = m_unit->requests().count("GSHV\r");

    waitForQuietChannel();
    window->findChild<QAction *>(action)->trigger();
    QCOMPARE(boxes.boxCount(), privateMode ? 0 : 1);

    if (command.isEmpty()) {
        QVERIFY(!probe->restartPending() && !probe->defaultsPending());
        QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Online."));
        // Polling goes on undisturbed.
        QTRY_VERIFY(m_unit->requests().count("GSHV\r") > polls + 2);
        QVERIFY(commands().isEmpty());
        QVERIFY(probe->online());
        return;
    }
    waitForAnswer();
    QCOMPARE(commands(), QList<QByteArray>{command});
    QVERIFY(!probe->online());
    QCOMPARE(probe->ui().statusbar->currentMessage(), waitText);
    // The next tick starts the pause and sends nothing.
    QTRY_COMPARE(probe->pollTimer()->interval(), waitMs);
    QVERIFY(!probe->restartPending() && !probe->defaultsPending());
    const int pollsBeforePause = m_unit->requests().count("GSHV\r");
    QTest::qWait(500);
    QCOMPARE(m_unit->requests().count("GSHV\r"), pollsBeforePause);
}

void TestCommandFlow::assemblyFirstAndSecondTime()
{
    connect(QStringLiteral("HV4K"));
    switchPrivateModeOn();
    QComboBox *assembly = probe->ui().m_cmbAssembly;
    QPushButton *set = probe->ui().m_cmdSetProdAssembly;

    MessageBoxDriver boxes;
    assembly->setCurrentIndex(5); // HV16K, code 6
    QVERIFY(set->isEnabled());
    boxes.click(QMessageBox::Ok);
    waitForQuietChannel();
    set->click();
    QCOMPARE(boxes.boxCount(), 1);
    QCOMPARE(boxes.lastBox().text, QStringLiteral("Default settings will be loaded."));
    waitForAnswer();
    QCOMPARE(commands(), QList<QByteArray>{"6PAHV\r"});
    QVERIFY(!probe->online());
    QCOMPARE(probe->ui().statusbar->currentMessage(),
             QStringLiteral("Status: Loading defaults and restarting. Please wait..."));
    QTRY_COMPARE(probe->pollTimer()->interval(), 12000);

    // Skip the rest of the pause; the unit comes back as the new model.
    runSlot("connectToUnit");
    QTRY_VERIFY(probe->online());
    QTRY_COMPARE(assembly->currentText(), QStringLiteral("HV16K"));

    // The second programming asks nothing and the window stays online.
    assembly->setCurrentIndex(6); // HV32K, code 7
    boxes.pressEscape();
    waitForQuietChannel();
    set->click();
    waitForAnswer();
    QCOMPARE(boxes.boxCount(), 1);
    QCOMPARE(commands(), (QList<QByteArray>{"6PAHV\r", "7PAHV\r"}));
    QVERIFY(probe->online());
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Success [R]"));
    QVERIFY(!probe->defaultsPending());
}

void TestCommandFlow::assemblyAfterCancel()
{
    connect(QStringLiteral("HV4K"));
    switchPrivateModeOn();
    QComboBox *assembly = probe->ui().m_cmbAssembly;
    QPushButton *set = probe->ui().m_cmdSetProdAssembly;

    MessageBoxDriver boxes;
    assembly->setCurrentIndex(3); // HV12X
    boxes.click(QMessageBox::Cancel);
    waitForQuietChannel();
    set->click();
    QCOMPARE(boxes.boxCount(), 1);
    QCOMPARE(assembly->currentText(), QStringLiteral("UNKNOWN"));
    QVERIFY(!set->isEnabled());
    QCOMPARE(probe->assembly(), quint8(3)); // the box alone was reset
    QVERIFY(commands().isEmpty());

    // The next status reply selects the unit's model again; SET asks again.
    QTRY_COMPARE(assembly->currentText(), QStringLiteral("HV4K"));
    QVERIFY(set->isEnabled());
    boxes.click(QMessageBox::Ok);
    waitForQuietChannel();
    set->click();
    QCOMPARE(boxes.boxCount(), 2);
    waitForAnswer();
    QCOMPARE(commands(), QList<QByteArray>{"3PAHV\r"});
    QCOMPARE(probe->ui().statusbar->currentMessage(),
             QStringLiteral("Status: Loading defaults and restarting. Please wait..."));
}

void TestCommandFlow::macAddress_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("typeBoxShown");
    QTest::addColumn<int>("macType");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QByteArray>("command");

    // An UltimoX-class build never shows the type box; a hidden box holding
    // "DanteRef" adds nothing.
    QTest::newRow("type box hidden") << "HV4K" << false << 1 << "02:4B:7D:00:12:34"
                                     << QByteArray("02:4B:7D:00:12:34MC\r");
    // A compatibility build whose Ultimo bus is down asks for the Dante reference.
    QTest::newRow("type box shown, DanteRef") << "HV16" << true << 1 << "00:1D:C1:07:AB:CD"
                                              << QByteArray("00:1D:C1:07:AB:CDUMC\r");
    QTest::newRow("type box shown, Local") << "HV16" << true << 0 << "02:4B:7D:00:12:34"
                                           << QByteArray("02:4B:7D:00:12:34MC\r");
}

void TestCommandFlow::macAddress()
{
    QFETCH(QString, model);
    QFETCH(bool, typeBoxShown);
    QFETCH(int, macType);
    QFETCH(QString, mac);
    QFETCH(QByteArray, command);

    connect(model, [](SimulatedUnit &unit) { unit.setUltimoBusRequiredOffline(); });
    switchPrivateModeOn();
    QTRY_COMPARE(probe->ui().m_cmbMacType->isVisibleTo(window.get()), typeBoxShown);
    probe->ui().m_cmbMacType->setCurrentIndex(macType);
    probe->ui().m_txtMAC->setText(mac);

    waitForQuietChannel();
    probe->ui().m_cmdSetMAC->click();
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Setting MAC Address..."));
    waitForAnswer();
    QCOMPARE(commands(), QList<QByteArray>{command});
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Success [R]"));
    const QString changed = macType == 1 && typeBoxShown ? m_unit->status().danteMacText
                                         : m_unit->status().controlMacText;
    QCOMPARE(changed, mac);
}

void TestCommandFlow::redetectLeadsIntoRestartWait()
{
    connect(QStringLiteral("HV4K"));
    switchPrivateModeOn();

    waitForQuietChannel();
    probe->ui().m_cmdRedetectUltimo->click();
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Redetecting ultimo..."));
    waitForAnswer();
    QElapsedTimer sinceAnswer;
    sinceAnswer.start();
    QCOMPARE(commands(), QList<QByteArray>{"DUHV\r"});
    QVERIFY(!probe->online());
    QCOMPARE(probe->ui().statusbar->currentMessage(),
             QStringLiteral("Status: Unit Restarted. Please wait..."));

    // Polling pauses for 10 s, then the unit is asked again and answers.
    const int polls = m_unit->requests().count("GSHV\r");
    QTRY_VERIFY_WITH_TIMEOUT(m_unit->requests().count("GSHV\r") > polls, 13000);
    const qint64 pauseMs = sinceAnswer.elapsed();
    QVERIFY2(pauseMs >= 9500 && pauseMs < 11500, qPrintable(QString::number(pauseMs)));
    QTRY_VERIFY(probe->online());
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Online."));
}

void TestCommandFlow::customCommandReplyShownRaw_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("reply");

    QTest::newRow("empty field") << QString() << QByteArray("\r") << QStringLiteral("E04");
    QTest::newRow("field as at start") << QStringLiteral("?V") << QByteArray("?V\r")
                                       << QStringLiteral("HV4K v2.09");
    QTest::newRow("status request") << QStringLiteral("GSHV") << QByteArray("GSHV\r")
                                    << QStringLiteral("HV4K v2.09");
}

void TestCommandFlow::customCommandReplyShownRaw()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, command);
    QFETCH(QString, reply);

    connect(QStringLiteral("HV4K"));
    probe->ui().m_txtPionCmd->setText(text);

    waitForQuietChannel();
    const int pollsBefore = m_unit->requests().size();
    WindowProbe::versionLabel()->clear();
    probe->ui().m_cmdSendPionCmd->click();
    waitForAnswer();
    QCOMPARE(m_unit->requests().mid(pollsBefore), QList<QByteArray>{command});
    QCOMPARE(probe->ui().statusbar->currentMessage(),
             QStringLiteral("Status: Response received [") + reply + QLatin1Char(']'));
    QVERIFY(!probe->rawReplyExpected());
    QVERIFY(probe->ui().m_txtDetails->toPlainText().contains(reply));
    // Not decoded, nor taken as a command result.
    QVERIFY(WindowProbe::versionLabel()->text().isEmpty());
    QVERIFY(!probe->status().hasCondition(FirmwareUnsupported));
    // The following status replies are decoded again.
    QTRY_VERIFY(!WindowProbe::versionLabel()->text().isEmpty());
}

void TestCommandFlow::intensityDragSendsOnce()
{
    connect(QStringLiteral("HV4K"));
    QSlider *slider = probe->ui().m_LEDIntensity;
    QTRY_COMPARE(slider->value(), 100); // as the unit reports it
    QVERIFY(slider->isEnabled());
    waitForQuietChannel();
    const int requestsBefore = m_unit->requests().size();

    QElapsedTimer sinceLastMove;
    for (const int value : {90, 75, 60, 40}) {
        slider->setValue(value);
        sinceLastMove.start();
        QCOMPARE(probe->ui().m_lblLEDIntensity->text(), QStringLiteral("%1%").arg(value));
        QTest::qWait(200);
    }
    QTRY_VERIFY_WITH_TIMEOUT(m_unit->requests().size() > requestsBefore, 2000);
    const qint64 restMs = sinceLastMove.elapsed();
    QVERIFY2(restMs >= 450 && restMs < 900, qPrintable(QString::number(restMs)));
    // Exactly one datagram since the first move: no poll in between.
    QCOMPARE(m_unit->requests().mid(requestsBefore), QList<QByteArray>{"40IB\r"});

    // The answer resumes polling; the unit's report keeps the slider where it was left.
    waitForAnswer();
    QTRY_VERIFY(m_unit->requests().size() > requestsBefore + 1);
    QCOMPARE(m_unit->status().ledIntensity, quint8(40));
    QTest::qWait(700);
    QCOMPARE(slider->value(), 40);
    QCOMPARE(commands(), QList<QByteArray>{"40IB\r"});
}

void TestCommandFlow::intensityRetriesWhileAddressInvalid()
{
    connect(QStringLiteral("HV4K"));
    QSlider *slider = probe->ui().m_LEDIntensity;
    QTRY_COMPARE(slider->value(), 100);
    waitForQuietChannel();

    slider->setValue(55);
    probe->ui().m_txtIP->setText(QStringLiteral("300.1.1.1"));
    for (int retry = 0; retry < 2; ++retry) {
        probe->ui().statusbar->clearMessage();
        QTRY_COMPARE_WITH_TIMEOUT(probe->ui().statusbar->currentMessage(),
                                  QStringLiteral("Status: Unable to send.  Invalid IP."), 1000);
        QVERIFY(probe->intensityTimer()->isActive());
    }
    slider->setValue(65); // a further move while the field is invalid
    probe->ui().statusbar->clearMessage();
    QTRY_COMPARE_WITH_TIMEOUT(probe->ui().statusbar->currentMessage(),
                              QStringLiteral("Status: Unable to send.  Invalid IP."), 1000);
    QVERIFY(commands().isEmpty());

    // The address comes back before the next retry: polling restarts at once,
    // the window goes offline (slider to 0) and the unit's report moves the
    // slider to 100; what goes out is still the user's value.
    probe->ui().m_txtIP->setText(UnitAddress);
    QTRY_VERIFY_WITH_TIMEOUT(!commands().isEmpty(), 2000);
    QCOMPARE(commands(), QList<QByteArray>{"65IB\r"});
    QVERIFY(!probe->intensityTimer()->isActive());
    QTest::qWait(700);
    QCOMPARE(commands().size(), 1);
    QCOMPARE(m_unit->status().ledIntensity, quint8(65));
}

void TestCommandFlow::firmwareUpdateOpensPortal()
{
    connect(QStringLiteral("HV4K"));
    QDateTime answeredAt;
    QObject::connect(m_sim.get(), &UnitSimulator::datagramSent, this,
                     [&answeredAt](const SimDatagram &datagram) {
                         if (datagram.data.startsWith('R'))
                             answeredAt = datagram.time;
                     });

    waitForQuietChannel();
    probe->ui().actionEnter_Firmware_Update->trigger();
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Entering bootloader..."));
    QTRY_COMPARE(openedUrls.size(), 1);
    QCOMPARE(commands(), QList<QByteArray>{"BLXX\r"});
    QCOMPARE(openedUrls.constFirst(), QUrl(QStringLiteral("http://192.168.0.254/")));
    QVERIFY(answeredAt.isValid());
    const qint64 delayMs = answeredAt.msecsTo(urlsOpenedAt.constFirst());
    QVERIFY2(delayMs >= 1900 && delayMs < 2600, qPrintable(QString::number(delayMs)));
    QVERIFY(!probe->online());
    QVERIFY(probe->ui().statusbar->currentMessage().startsWith(
        QStringLiteral("Status: Firmware update mode started.  Web portal will open in 2 seconds")));

    // Polling goes on; the unit's next answer brings the window online.
    QTRY_VERIFY_WITH_TIMEOUT(probe->online(), 5000);
    QCOMPARE(openedUrls.size(), 1);
}

QTEST_MAIN(TestCommandFlow)
#include "tst_commandflow.moc"
