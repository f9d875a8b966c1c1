// The poll cycle against simulated units over real UDP: intervals, the
// version-query fallback, going offline, the waiting states after restart-type
// commands, and the private-mode chord taking effect at a tick.
#include "sim/unitsimulator.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QHostAddress UnitA("192.168.0.254"); // the address the window starts with
const QHostAddress UnitB("192.168.0.21");
const QByteArray StatusRequest("GSHV\r");
const QByteArray VersionQuery("?V\r");

} // namespace

class TestPollCycle : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answeringUnitPolledEvery300ms();
    void newAddressPolledAtOnce();
    void offlineOneTickAfterSilence();
    void versionQueryFallbackAndItsEnd();
    void waitingState_data();
    void waitingState();
    void firmwareUpdateWait();
    void chordTakesEffectAtNextTick();

private:
    // Poll-channel requests (from port 1234) that reached `unit`, in order.
    QList<SimDatagram> requestsTo(const QHostAddress &unit) const;
    QList<QByteArray> payloadsTo(const QHostAddress &unit) const;
    void waitUntilOnline();

    std::unique_ptr<UnitSimulator> sim;
    SimulatedUnit *unitA = nullptr;
};

void TestPollCycle::init()
{
    sim = std::make_unique<UnitSimulator>();
    unitA = sim->addUnit({UnitA, QStringLiteral("HV4K"), QStringLiteral("2.09")});
    QVERIFY2(unitA, qPrintable(sim->errorString()));
    unitA->setRestartTime(500);
    openWindow();
    QCOMPARE(probe->ui().m_txtIP->text(), UnitA.toString());
}

void TestPollCycle::cleanup()
{
    closeWindow();
    sim.reset();
}

QList<SimDatagram> TestPollCycle::requestsTo(const QHostAddress &unit) const
{
    QList<SimDatagram> result;
    for (const SimDatagram &datagram : sim->log()) {
        if (datagram.direction == SimDatagram::In && datagram.peerPort == UnicastPort
            && datagram.destination.isEqual(unit, QHostAddress::TolerantConversion))
            result << datagram;
    }
    return result;
}

QList<QByteArray> TestPollCycle::payloadsTo(const QHostAddress &unit) const
{
    QList<QByteArray> result;
    for (const SimDatagram &datagram : requestsTo(unit))
        result << datagram.data;
    return result;
}

void TestPollCycle::waitUntilOnline()
{
    QTRY_VERIFY_WITH_TIMEOUT(probe->online() && !probe->status().localName.isEmpty(), 3000);
}

void TestPollCycle::answeringUnitPolledEvery300ms()
{
    QTRY_VERIFY_WITH_TIMEOUT(requestsTo(UnitA).size() >= 6, 4000);
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Online."));
    QCOMPARE(probe->pollTimer()->interval(), 300);
    const QList<SimDatagram> requests = requestsTo(UnitA);
    for (int i = 1; i < requests.size(); ++i) {
        QCOMPARE(requests[i].data, StatusRequest);
        const qint64 gap = requests[i].elapsedMs - requests[i - 1].elapsedMs;
        QVERIFY2(gap >= 250 && gap < 1000, qPrintable(QString::number(gap)));
    }
    QCOMPARE(probe->status().modelToken, QStringLiteral("HV4K"));
    QCOMPARE(probe->ui().m_cmbAssembly->currentText(), QStringLiteral("HV4K"));
}

void TestPollCycle::newAddressPolledAtOnce()
{
    SimulatedUnit *unitB = sim->addUnit({UnitB, QStringLiteral("TK12X"), QStringLiteral("1.20")});
    QVERIFY(unitB);
    waitUntilOnline();
    QElapsedTimer typed;
    typed.start();
    probe->ui().m_txtIP->setText(UnitB.toString());
    QTRY_VERIFY_WITH_TIMEOUT(!requestsTo(UnitB).isEmpty(), 1500);
    QVERIFY2(typed.elapsed() < 500, qPrintable(QString::number(typed.elapsed())));
    QCOMPARE(probe->polledIP(), UnitB.toString());
    // The new unit's first reply brings the window online with its own model.
    QTRY_COMPARE_WITH_TIMEOUT(probe->status().modelToken, QStringLiteral("TK12X"), 1000);
    QVERIFY(probe->online());
    QCOMPARE(probe->ui().m_cmbAssembly->currentText(), QStringLiteral("TK12X"));
}

void TestPollCycle::offlineOneTickAfterSilence()
{
    // Old firmware: the status request fails, the version query answers 1.10.
    unitA->setFirmware(QStringLiteral("1.10"));
    unitA->setStatusRequestSupported(false);
    QString statusAtRequest;
    bool onlineAtRequest = true;
    connect(sim.get(), &UnitSimulator::datagramSent, this, [&](const SimDatagram &sent) {
        if (sent.data.startsWith("E04"))
            unitA->setSilent(true); // it answers nothing from here on
    });
    connect(sim.get(), &UnitSimulator::datagramReceived, this, [&](const SimDatagram &) {
        statusAtRequest = probe->ui().statusbar->currentMessage();
        onlineAtRequest = probe->online();
    });

    QTRY_VERIFY_WITH_TIMEOUT(requestsTo(UnitA).size() >= 3, 6000);
    const QList<SimDatagram> requests = requestsTo(UnitA);
    QCOMPARE(requests[0].data, StatusRequest);
    QCOMPARE(requests[1].data, VersionQuery);   // unanswered
    QCOMPARE(requests[2].data, StatusRequest);  // the tick that went offline
    const qint64 gap = requests[2].elapsedMs - requests[1].elapsedMs;
    QVERIFY2(gap > 1500 && gap < 3000, qPrintable(QString::number(gap)));
    QCOMPARE(statusAtRequest, QStringLiteral("Status: Offline."));
    QVERIFY(!onlineAtRequest);
    QCOMPARE(int(probe->status().conditionFlags & FirmwareUnsupported), 0);
}

void TestPollCycle::versionQueryFallbackAndItsEnd()
{
    unitA->setStatusRequestSupported(false);
    QString statusAtQuery;
    connect(sim.get(), &UnitSimulator::datagramSent, this, [&](const SimDatagram &sent) {
        if (sent.data.startsWith("E04"))
            unitA->setStatusRequestSupported(true); // answers the status request from now on
    });
    connect(sim.get(), &UnitSimulator::datagramReceived, this, [&](const SimDatagram &received) {
        if (received.data == VersionQuery)
            statusAtQuery = probe->ui().statusbar->currentMessage();
    });

    QTRY_VERIFY_WITH_TIMEOUT(requestsTo(UnitA).size() >= 5, 5000);
    const QList<SimDatagram> requests = requestsTo(UnitA);
    QCOMPARE(payloadsTo(UnitA).mid(0, 5),
             (QList<QByteArray>{StatusRequest, VersionQuery, StatusRequest, StatusRequest, StatusRequest}));
    QCOMPARE(statusAtQuery, QStringLiteral("Status: Failed [E04: Invalid/Unsupported Command]"));
    // The version reply names supported firmware: the status request follows 300 ms later.
    const qint64 gap = requests[2].elapsedMs - requests[1].elapsedMs;
    QVERIFY2(gap >= 250 && gap < 1000, qPrintable(QString::number(gap)));
    QVERIFY(!probe->status().hasCondition(FirmwareUnsupported));
    QVERIFY(!probe->status().localName.isEmpty());
}

void TestPollCycle::waitingState_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("waitingText");
    QTest::addColumn<int>("pause");

    QTest::newRow("reboot") << QByteArray("XX\r") << int(WindowProbe::RestartPending)
                            << "Status: Unit Restarted. Please wait..." << 10000;
    QTest::newRow("defaults") << QByteArray("DE\r") << int(WindowProbe::DefaultsPending)
                              << "Status: Loading defaults and restarting. Please wait..." << 12000;
    // The first programming of an assembly (HV16K) loads the defaults too.
    QTest::newRow("first assembly") << QByteArray("6PAHV\r") << int(WindowProbe::DefaultsPending)
                                    << "Status: Loading defaults and restarting. Please wait..." << 12000;
}

void TestPollCycle::waitingState()
{
    QFETCH(QByteArray, command);
    QFETCH(int, flag);
    QFETCH(QString, waitingText);
    QFETCH(int, pause);

    waitUntilOnline();
    // The tick interval in force when the acknowledgement comes.
    QCOMPARE(probe->pollTimer()->interval(), 300);
    QStringList shown;
    connect(probe->ui().statusbar, &QStatusBar::messageChanged, this,
            [&](const QString &text) { shown << text; });
    probe->sendCommand(UnitA, command, QStringLiteral("Status: Sending..."), flag);
    QTRY_VERIFY_WITH_TIMEOUT(!probe->online(), 1000);
    QCOMPARE(shown.mid(1, 2), (QStringList{"Status: Success [R]", waitingText}));
    qint64 acknowledgedAt = -1;
    for (const SimDatagram &datagram : sim->log()) {
        if (datagram.direction == SimDatagram::Out && datagram.data.startsWith('R'))
            acknowledgedAt = datagram.elapsedMs;
    }
    QVERIFY(acknowledgedAt >= 0);
    const int before = requestsTo(UnitA).size();

    // The tick after the acknowledgement (300 ms on) sends nothing; the next
    // comes after the whole pause. The unit's clock counts whole milliseconds,
    // so the silence it sees is at most 1 ms short; a pause 1 % short fails.
    QTRY_VERIFY_WITH_TIMEOUT(requestsTo(UnitA).size() > before, pause + 3000);
    const qint64 silence = requestsTo(UnitA).at(before).elapsedMs - acknowledgedAt;
    QVERIFY2(silence >= 300 + pause - 1 && silence < 300 + pause + 1000, qPrintable(QString::number(silence)));
    QCOMPARE(requestsTo(UnitA).at(before).data, StatusRequest);
    // The waiting text stays until the unit answers again.
    QTRY_COMPARE_WITH_TIMEOUT(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Online."), 1000);
    QCOMPARE(shown.mid(1), (QStringList{"Status: Success [R]", waitingText, "Status: Online."}));
}

void TestPollCycle::firmwareUpdateWait()
{
    waitUntilOnline();
    unitA->setRestartTime(3000);
    QElapsedTimer clock;
    clock.start();
    probe->sendCommand(UnitA, QByteArrayLiteral("BLXX\r"), QStringLiteral("Status: Entering bootloader..."),
                       WindowProbe::FirmwareUpdatePending);
    QTRY_COMPARE_WITH_TIMEOUT(openedUrls.size(), 1, 4000);
    QVERIFY2(clock.elapsed() >= 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(openedUrls.first().scheme(), QStringLiteral("http"));
    QCOMPARE(openedUrls.first().host(), UnitA.toString());
    const QString waitingText = QStringLiteral(
        "Status: Firmware update mode started.  Web portal will open in 2 seconds or use 'down' arrow "
        "button next to IP to access it manually.");
    QCOMPARE(probe->ui().statusbar->currentMessage(), waitingText);
    QVERIFY(!probe->online());

    // Requests go on every 2000 ms while the unit is away; the text stays until it answers.
    const int before = requestsTo(UnitA).size();
    QTRY_VERIFY_WITH_TIMEOUT(requestsTo(UnitA).size() >= before + 2, 5000);
    const QList<SimDatagram> requests = requestsTo(UnitA);
    const qint64 gap = requests[before + 1].elapsedMs - requests[before].elapsedMs;
    QVERIFY2(gap > 1500 && gap < 3000, qPrintable(QString::number(gap)));
    QVERIFY(!probe->firmwareUpdatePending());
    QTRY_COMPARE_WITH_TIMEOUT(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Online."), 4000);
}

void TestPollCycle::chordTakesEffectAtNextTick()
{
    waitUntilOnline();
    QVERIFY(!probe->privateMode());
    QCOMPARE(probe->ui().m_txtDetails->width(), 871);
    QVERIFY(probe->ui().m_cmbAssembly->isHidden());

    // Stop polling so that nothing consumes the latch before we look at it.
    probe->pollTimer()->stop();
    QTest::keyPress(window.get(), Qt::Key_Control);
    QTest::keyPress(window.get(), Qt::Key_Shift, Qt::ControlModifier);
    QTest::keyPress(window.get(), Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(WindowProbe::privateModeRequested());
    QVERIFY(!probe->privateMode());
    QCOMPARE(probe->ui().m_txtDetails->width(), 871);

    const int before = requestsTo(UnitA).size();
    probe->pollTimer()->start();
    QTRY_VERIFY_WITH_TIMEOUT(requestsTo(UnitA).size() > before, 3000);
    QVERIFY(probe->privateMode());
    QVERIFY(!WindowProbe::privateModeRequested());
    QCOMPARE(probe->rowPrefix(), QStringLiteral("<tr style=\"color: red;\"><td>"));
    QCOMPARE(probe->ui().m_txtDetails->width(), 566);
    QVERIFY(!probe->ui().m_cmbAssembly->isHidden());
    QVERIFY(!probe->ui().m_cmdNotes->isHidden());
    QCOMPARE(probe->ui().m_fraPrivateSettings->styleSheet(),
             QStringLiteral("#m_fraPrivateSettings { border: 2px solid red; }"));
    QCOMPARE(probe->ui().m_fraPrivateSettings->frameShape(), QFrame::Box);

    // Nothing turns it off: releasing the keys, going offline, further ticks.
    QTest::keyRelease(window.get(), Qt::Key_F12);
    QTest::keyRelease(window.get(), Qt::Key_Shift);
    QTest::keyRelease(window.get(), Qt::Key_Control);
    unitA->setSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(!probe->online(), 5000);
    QVERIFY(probe->privateMode());
    QCOMPARE(probe->ui().m_txtDetails->width(), 566);
}

QTEST_MAIN(TestPollCycle)
#include "tst_pollcycle.moc"
