#include "channel/commandtext.h"
#include "monitor/assemblyprofiles.h"
#include "sim/unitsimulator.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>
#include <QNetworkDatagram>
#include <QUdpSocket>

// What the window shows of a unit: the details report and version label, the
// readiness checklist in the details box, and, end to end with a simulated
// unit, the report and panel following the unit's replies.
namespace {

const QString RedPrefix = QStringLiteral("<tr style=\"color: red;\"><td>");
const QHostAddress UnitAddress(QStringLiteral("192.168.0.61"));

} // namespace

class TestDetailsView : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void versionLabelIsPlainText();
    void shortBlockReport();
    void checklistLeavesUnchangedBoxAlone();
    void checklistRewritesWhatOthersChanged();
    void checklistOutsidePrivateMode();
    void offlineBoxEmptiedByTimer();

    void simulatedUnitReport();
    void simulatedUnitNamesStayText();
    void simulatedUnitPanel();
    void simulatedUnitShortReply();
    void acknowledgingUnitIsNotJudged();

private:
    void goOnlinePrivate(quint16 conditions);
    void pollSimulatedUnit();

    std::unique_ptr<UnitSimulator> sim;
    SimulatedUnit *unit = nullptr;
};

void TestDetailsView::init()
{
    openWindow(StopScan | StopPolling);
}

void TestDetailsView::cleanup()
{
    closeWindow();
    unit = nullptr;
    sim.reset();
}

void TestDetailsView::goOnlinePrivate(quint16 conditions)
{
    probe->checklistTimer()->stop();
    probe->online() = true;
    probe->privateMode() = true;
    probe->status().conditionFlags = conditions;
    probe->statusBlockRead() = true;
}

void TestDetailsView::pollSimulatedUnit()
{
    sim = std::make_unique<UnitSimulator>();
    unit = sim->addUnit(UnitConfig{UnitAddress, QStringLiteral("HV4K"), QStringLiteral("2.09")});
    QVERIFY2(unit, qPrintable(sim->errorString()));
    selectUnit(UnitAddress.toString());
}

void TestDetailsView::versionLabelIsPlainText()
{
    QLabel *version = WindowProbe::versionLabel();
    probe->status().bootloaderVersion = {1, 0, 4};
    probe->renderDetailsReport(QStringLiteral("<b>HV4K</b> v2.09"), 219);
    QCOMPARE(version->textFormat(), Qt::PlainText);
    QCOMPARE(version->text(), QStringLiteral("<b>HV4K</b> v2.09  BL v1.0.4"));
}

void TestDetailsView::shortBlockReport()
{
    probe->rowPrefix() = RedPrefix;
    probe->renderDetailsReport(QStringLiteral("HV4K v2.09"), 208);
    QCOMPARE(probe->ui().m_lblInfo->text(),
             QStringLiteral("<table width=\"100%\">") + RedPrefix + QStringLiteral("Received:</td><td>208 bytes</td></tr>"));
    QCOMPARE(WindowProbe::versionLabel()->text(), QStringLiteral("HV4K v2.09"));
}

void TestDetailsView::checklistLeavesUnchangedBoxAlone()
{
    goOnlinePrivate(LedIntensityLow | DipSwitchesNotOff);
    QTextEdit *box = probe->ui().m_txtDetails;
    QCOMPARE(probe->displayErrors(),
             QStringLiteral("-LED INTENSITY NOT AT 100%\n-ALL DIP SWITCHES MUST BE SET TO OFF (UP).\n"));
    QCOMPARE(box->toPlainText(), QStringLiteral("-LED INTENSITY NOT AT 100%\n-ALL DIP SWITCHES MUST BE SET TO OFF (UP).\n"));
    QCOMPARE(box->styleSheet(), QStringLiteral("QTextEdit { background-color : #ffb2b2 }"));

    // The technician selects a line; the next runs must not take it away.
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    QSignalSpy rewrites(box, &QTextEdit::textChanged);
    probe->displayErrors();
    probe->displayErrors();
    QCOMPARE(rewrites.count(), 0);
    QCOMPARE(box->textCursor().selectedText(), QStringLiteral("LED INTEN"));

    // A new condition does reach the box.
    probe->status().conditionFlags = 0;
    probe->displayErrors();
    QCOMPARE(box->toPlainText(), QStringLiteral("No issues found.  Release ready."));
    QCOMPARE(box->styleSheet(), QStringLiteral("QTextEdit { background-color : #b2ffb2 }"));
}

void TestDetailsView::checklistRewritesWhatOthersChanged()
{
    goOnlinePrivate(DanteImageMismatch);
    probe->status().ultimoBusOnline = false;
    probe->ultimoXModel() = false;
    QTextEdit *box = probe->ui().m_txtDetails;
    probe->displayErrors();
    QCOMPARE(box->styleSheet(), QStringLiteral("QTextEdit { background-color : #ffffb2 }"));
    const QString checklist = box->toPlainText();

    box->append(QStringLiteral("written by someone else"));
    box->setStyleSheet(QStringLiteral("QTextEdit { background-color : }"));
    probe->displayErrors();
    QCOMPARE(box->toPlainText(), checklist);
    QCOMPARE(box->styleSheet(), QStringLiteral("QTextEdit { background-color : #ffffb2 }"));
}

void TestDetailsView::checklistOutsidePrivateMode()
{
    probe->checklistTimer()->stop();
    probe->online() = true;
    probe->status().conditionFlags = LedIntensityLow;
    QTextEdit *box = probe->ui().m_txtDetails;
    box->setHtml(QStringLiteral("<table><tr><td>12:00:00</td><td> R<h0D></td></tr></table>"));
    const QString log = box->toHtml();
    QCOMPARE(probe->displayErrors(), QString());
    QCOMPARE(box->toHtml(), log);

    // Offline the open conditions are still returned, and the box is cleared.
    probe->online() = false;
    QCOMPARE(probe->displayErrors(), QStringLiteral("-LED INTENSITY NOT AT 100%\n"));
    QVERIFY(box->document()->isEmpty());
    QCOMPARE(box->styleSheet(), QStringLiteral("QTextEdit { background-color: }"));
}

void TestDetailsView::offlineBoxEmptiedByTimer()
{
    QVERIFY(!probe->online());
    QVERIFY(probe->checklistTimer()->isActive());
    QTextEdit *box = probe->ui().m_txtDetails;
    QTRY_VERIFY(box->document()->isEmpty());

    // Text written while offline is gone by the next run, 200 ms at most.
    box->setHtml(QStringLiteral("<table><tr><td>stale</td></tr></table>"));
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(box->document()->isEmpty(), 2000);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(box->styleSheet(), QStringLiteral("QTextEdit { background-color: }"));

    // An empty box stays untouched run after run.
    QSignalSpy rewrites(box, &QTextEdit::textChanged);
    QTest::qWait(450);
    QCOMPARE(rewrites.count(), 0);
}

void TestDetailsView::simulatedUnitReport()
{
    pollSimulatedUnit();
    const UnitStatus &s = unit->status();
    const QString report = probe->ui().m_lblInfo->text();
    QVERIFY(report.contains(QStringLiteral("<td>Dante Name:</td><td>") + s.danteName + QStringLiteral("</td>")));
    QVERIFY(report.contains(QStringLiteral("<td>Local Name:</td><td>") + s.localName + QStringLiteral("</td>")));
    QVERIFY(report.contains(QStringLiteral("<td>IP (Current/Stored):</td><td>192.168.0.61/192.168.0.61</td>")));
    QVERIFY(!report.contains(QStringLiteral("Power Cycle Counter:")));
    QCOMPARE(WindowProbe::versionLabel()->text(), QStringLiteral("HV4K v2.09  BL v1.0.4"));

    // In private mode the counter row appears and flagged rows turn red.
    unit->updateStatus([](UnitStatus &u) { u.ledIntensity = 50; });
    probe->privateMode() = true;
    probe->rowPrefix() = RedPrefix;
    QTRY_VERIFY_WITH_TIMEOUT(probe->ui().m_lblInfo->text().contains(RedPrefix + QStringLiteral("LED Intensity:</td><td>50%")), 3000);
    QVERIFY(probe->ui().m_lblInfo->text().contains(QStringLiteral("Power Cycle Counter:")));
}

void TestDetailsView::simulatedUnitNamesStayText()
{
    pollSimulatedUnit();
    unit->updateStatus([](UnitStatus &u) {
        u.danteName = QStringLiteral("<i>A&B</i>");
        u.localName = QStringLiteral("Hall</td></tr></table>X");
    });
    QLabel *info = probe->ui().m_lblInfo;
    QTRY_VERIFY_WITH_TIMEOUT(info->text().contains(QStringLiteral("&lt;i&gt;A&amp;B&lt;/i&gt;")), 3000);
    QVERIFY(info->text().contains(QStringLiteral("Hall&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;X")));
    QVERIFY(!info->text().contains(QStringLiteral("<i>")));
    QTextDocument shown;
    shown.setHtml(info->text());
    QVERIFY(shown.toPlainText().contains(QStringLiteral("<i>A&B</i>")));
}

void TestDetailsView::simulatedUnitPanel()
{
    pollSimulatedUnit();
    QCOMPARE(int(probe->inputCount()), 4); // HV4K adopted from the header
    unit->updateStatus([](UnitStatus &u) {
        u.inputBits = {0xFE, 0xFF, 0xFF, 0xFF};
        u.ledIntensity = 80;
        u.dipSwitchOff = {false, true, true, true};
    });
    const QString lime = QStringLiteral("QLabel { background-color : lime }");
    const QString black = QStringLiteral("QLabel { background-color : black }");
    QTRY_COMPARE_WITH_TIMEOUT(probe->input(1)->styleSheet(), lime, 3000);
    QCOMPARE(probe->input(2)->styleSheet(), black);
    QCOMPARE(probe->input(5)->styleSheet(), QStringLiteral("QLabel { background-color : #E7E7E7 }"));
    QCOMPARE(probe->ui().m_lblLEDIntensity->text(), QStringLiteral("80%"));
    QCOMPARE(probe->ui().m_DIPSWOn_1->styleSheet(), QStringLiteral("QLabel { background-color : white }"));
    QCOMPARE(probe->ui().m_DIPSWOn_2->styleSheet(), black);
}

void TestDetailsView::simulatedUnitShortReply()
{
    pollSimulatedUnit();
    unit->setStatusReplyLength(240);
    QTRY_VERIFY_WITH_TIMEOUT(probe->ui().m_lblInfo->text().contains(QStringLiteral("Received:</td><td>208 bytes")), 3000);
    QCOMPARE(WindowProbe::versionLabel()->text(), QStringLiteral("HV4K v2.09"));
}

// A unit that answers every poll with "R" but never with its status: choosing
// its assembly leaves no condition open, yet nothing of it was judged.
void TestDetailsView::acknowledgingUnitIsNotJudged()
{
    QUdpSocket acknowledger;
    QVERIFY(acknowledger.bind(UnitAddress, CommandText::UnitPort));
    connect(&acknowledger, &QUdpSocket::readyRead, &acknowledger, [&acknowledger] {
        while (acknowledger.hasPendingDatagrams()) {
            const QNetworkDatagram poll = acknowledger.receiveDatagram();
            acknowledger.writeDatagram("R\r", poll.senderAddress(), quint16(poll.senderPort()));
        }
    });
    probe->privateMode() = true;
    // As a judged unit watched before leaves the window.
    probe->online() = true;
    probe->statusBlockRead() = true;
    probe->ui().m_txtIP->setText(UnitAddress.toString());
    QTRY_VERIFY_WITH_TIMEOUT(!probe->statusBlockRead() && probe->online(), 3000);
    probe->ui().m_cmbAssembly->setCurrentIndex(Assembly::names().indexOf(QStringLiteral("HV4K")));
    QCOMPARE(probe->status().conditionFlags, quint16(0));

    QTextEdit *box = probe->ui().m_txtDetails;
    QTRY_COMPARE_WITH_TIMEOUT(box->toPlainText(), QStringLiteral("-WAITING FOR A COMPLETE STATUS REPLY.\n"), 1000);
    QCOMPARE(box->styleSheet(), QStringLiteral("QTextEdit { background-color : #ffb2b2 }"));
}

QTEST_MAIN(TestDetailsView)
#include "tst_detailsview.moc"
