#include "sim/unitsimulator.h"
#include "support/datagramcapture.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>
#include <QUdpSocket>

#include <map>
#include <memory>

// The discovery scan end to end: the real window broadcasts on the private
// LAN, simulated units answer, and the detected-unit list follows.
class TestDiscovery : public WindowSuite
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void maskStepsOnTheTimer();
    void maskStepsWithoutUnits();
    void debugLines_data();
    void debugLines();
    void firstAnswerFreezesMask();
    void repeatedAndChangedAnswers();
    void linesAge();
    void countFollowsLinesThatGo();
    void plainStringOrder();
    void burstOfAnswers();
    void linesLaidOutAsPlainList();
    void userAddressRestartsStepping();
    void focusKeepsMaskField();
    void typedMaskStays();
    void setGlobal();
    void clickSelectsUnit();
    void identifyOnClick_data();
    void identifyOnClick();
    void identifyInvalidAddress();

private:
    // One scan tick, as the timer would run it.
    void tick() { runSlot("scanNetwork"); }
    SimulatedUnit *addUnit(const QString &address, const QString &mask = QStringLiteral("255.255.255.0"));
    QListWidget *list() { return probe->ui().m_lstDetectedUnits; }
    QListWidgetItem *line(const QString &address) const;
    QStringList lineTexts();
    QStringList linesOfAge(int age);
    QStringList redLines();
    int age(const QString &address) const;
    bool isRed(const QString &address) const;
    void waitForAnswer(const QString &address);

    std::unique_ptr<UnitSimulator> simulator;
};

namespace {

// The discovery lines the scan writes to the debug log.
QStringList s_scanLog;

QtMessageHandler s_defaultHandler = nullptr;

// Keeps the scan's lines, the debug lines of its logging category, out of
// the test output; everything else is shown.
void recordScanLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg && qstrcmp(context.category, "hvtk.discovery.scan") == 0)
        s_scanLog << message;
    else
        s_defaultHandler(type, context, message);
}

// The discovery datagrams (those sent from the discovery port) that reached
// a capture standing where units listen, and the addresses they were sent to.
QList<DatagramCapture::Datagram> scans(const DatagramCapture &watcher)
{
    QList<DatagramCapture::Datagram> result;
    for (const DatagramCapture::Datagram &datagram : watcher.datagrams())
        if (datagram.senderPort == WindowSuite::BroadcastPort)
            result << datagram;
    return result;
}

QStringList destinations(const DatagramCapture &watcher)
{
    QStringList result;
    for (const DatagramCapture::Datagram &datagram : scans(watcher))
        result << QHostAddress(datagram.destination.toIPv4Address()).toString();
    return result;
}

// Datagrams sent to the discovery port as fast as the sockets take them, as
// strays or many units would answer at once: (sender, bytes) in order.
using Answer = QPair<QString, QByteArray>;
void sendToDiscoveryPort(const QList<Answer> &answers)
{
    std::map<QString, std::unique_ptr<QUdpSocket>> senders;
    for (const Answer &answer : answers) {
        std::unique_ptr<QUdpSocket> &sender = senders[answer.first];
        if (!sender) {
            sender = std::make_unique<QUdpSocket>();
            QVERIFY(sender->bind(QHostAddress(answer.first)));
        }
        QCOMPARE(sender->writeDatagram(answer.second, WindowSuite::Workstation, WindowSuite::BroadcastPort),
                 qint64(answer.second.size()));
    }
}

QString lineFor(const Answer &answer)
{
    return answer.first.leftJustified(17) + QString::fromUtf8(answer.second);
}

// Counts the paintings of a widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

int countOf(const QList<QByteArray> &datagrams, const QByteArray &wanted)
{
    return int(std::count(datagrams.cbegin(), datagrams.cend(), wanted));
}

} // namespace

void TestDiscovery::initTestCase()
{
    // Sorting must not depend on the user's locale: under an English
    // collation "Halvo" would come before "HV4K".
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    s_defaultHandler = qInstallMessageHandler(recordScanLine);
}

void TestDiscovery::init()
{
    simulator = std::make_unique<UnitSimulator>();
    // Ticks come from the test, not the timer, unless a test says otherwise.
    openWindow(StopScan);
    QCOMPARE(probe->ui().m_txtIP->text(), QStringLiteral("192.168.0.254"));
    s_scanLog.clear();
}

void TestDiscovery::cleanup()
{
    closeWindow();
    simulator.reset();
}

SimulatedUnit *TestDiscovery::addUnit(const QString &address, const QString &mask)
{
    SimulatedUnit *unit = simulator->addUnit(UnitConfig{QHostAddress(address)});
    if (!unit)
        qWarning("%s", qPrintable(simulator->errorString()));
    else
        unit->updateStatus([mask](UnitStatus &status) {
            status.controlSubnetMask = QHostAddress(mask).toIPv4Address();
        });
    return unit;
}

QListWidgetItem *TestDiscovery::line(const QString &address) const
{
    QListWidget *units = probe->ui().m_lstDetectedUnits;
    for (int row = 0; row < units->count(); ++row) {
        if (units->item(row)->text().startsWith(address.leftJustified(17)))
            return units->item(row);
    }
    return nullptr;
}

QStringList TestDiscovery::lineTexts()
{
    QStringList texts;
    for (int row = 0; row < list()->count(); ++row)
        texts << list()->item(row)->text();
    return texts;
}

QStringList TestDiscovery::linesOfAge(int age)
{
    QStringList texts;
    for (int row = 0; row < list()->count(); ++row) {
        if (list()->item(row)->data(Qt::UserRole).toInt() == age)
            texts << list()->item(row)->text();
    }
    return texts;
}

QStringList TestDiscovery::redLines()
{
    QStringList texts;
    for (int row = 0; row < list()->count(); ++row) {
        if (list()->item(row)->foreground().color() == QColor(Qt::red))
            texts << list()->item(row)->text();
    }
    return texts;
}

int TestDiscovery::age(const QString &address) const
{
    QListWidgetItem *item = line(address);
    return item ? item->data(Qt::UserRole).toInt() : -1;
}

bool TestDiscovery::isRed(const QString &address) const
{
    QListWidgetItem *item = line(address);
    return item && item->foreground().color() == QColor(Qt::red);
}

void TestDiscovery::waitForAnswer(const QString &address)
{
    QTRY_COMPARE(age(address), 5);
    // Let the second answer of a tick that sent twice arrive as well.
    QTest::qWait(50);
}

// The first tick follows 100 ms after start, the next 2 s later.
void TestDiscovery::maskStepsOnTheTimer()
{
    DatagramCapture watcher;
    QVERIFY(watcher.bind(QHostAddress::AnyIPv4));
    closeWindow();
    QElapsedTimer clock;
    clock.start();
    openWindow();
    QLineEdit *mask = probe->ui().m_txtScanSM;

    QCOMPARE(mask->text(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(mask->text(), QStringLiteral("255.255.255.0"), 1000);
    const qint64 first = clock.elapsed();
    QVERIFY2(first < 1000, qPrintable(QString::number(first)));
    QCOMPARE(probe->scanTimer()->interval(), 2000);

    QTRY_COMPARE_WITH_TIMEOUT(mask->text(), QStringLiteral("255.255.255.192"), 3500);
    const qint64 second = clock.elapsed() - first;
    QVERIFY2(second > 1500 && second < 3000, qPrintable(QString::number(second)));
    QTRY_COMPARE(destinations(watcher),
                 (QStringList{"192.168.0.255", "192.168.0.255", "192.168.0.63", "192.168.0.63"}));
    for (const DatagramCapture::Datagram &datagram : scans(watcher))
        QCOMPARE(datagram.data, QByteArray("?V\r"));
}

// With nobody answering, the mask cycles through four masks; each change
// empties the list and sends the query twice.
void TestDiscovery::maskStepsWithoutUnits()
{
    DatagramCapture watcher;
    QVERIFY(watcher.bind(QHostAddress::AnyIPv4));
    QLineEdit *mask = probe->ui().m_txtScanSM;
    const QStringList masks{"255.255.255.0", "255.255.255.192", "255.255.255.240",
                            "255.255.255.252", "255.255.255.0", "255.255.255.192"};
    const QStringList broadcasts{"192.168.0.255", "192.168.0.63", "192.168.0.15",
                                 "192.168.0.3",   "192.168.0.255", "192.168.0.63"};
    for (int i = 0; i < masks.size(); ++i) {
        list()->addItem(QStringLiteral("192.168.0.99     HV4 v1.00"));
        tick();
        QCOMPARE(mask->text(), masks[i]);
        QCOMPARE(list()->count(), 0);
        QVERIFY(!probe->scanMaskEdited());
        QTRY_COMPARE(scans(watcher).size(), 2 * (i + 1));
        QCOMPARE(destinations(watcher).mid(2 * i), (QStringList{broadcasts[i], broadcasts[i]}));
    }
    QCOMPARE(probe->scanStep(), quint8(3));
}

void TestDiscovery::debugLines_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("/24") << "192.168.5.77" << "255.255.255.0"
                         << QStringList{"IP: 192.168.5.1", "SM: 255.255.255.0", "BC: 192.168.5.255"};
    QTest::newRow("/26") << "192.168.5.77" << "255.255.255.192"
                         << QStringList{"IP: 192.168.5.1", "SM: 255.255.255.192", "BC: 192.168.5.63"};
    QTest::newRow("/26, high last octet")
        << "192.168.5.200" << "255.255.255.192"
        << QStringList{"IP: 192.168.5.1", "SM: 255.255.255.192", "BC: 192.168.5.63"};
    QTest::newRow("address field not an address")
        << "192.168.5" "x" << "255.255.255.0"
        << QStringList{"IP: 0.0.0.1", "SM: 255.255.255.0", "BC: 0.0.0.255"};
    QTest::newRow("mask field not an address")
        << "192.168.5.77" << "mask"
        << QStringList{"IP: 192.168.5.1", "SM: 0.0.0.0", "BC: 255.255.255.255"};
}

void TestDiscovery::debugLines()
{
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(QStringList, lines);
    probe->ui().m_txtIP->setText(address);
    probe->ui().m_txtScanSM->setText(mask);
    s_scanLog.clear();
    tick();
    QCOMPARE(s_scanLog, lines);
    QCOMPARE(probe->ui().m_txtScanSM->text(), mask);
}

// A unit on a /26 hears the second mask's broadcast only; its answer stops the
// stepping there.
void TestDiscovery::firstAnswerFreezesMask()
{
    SimulatedUnit *unit = addUnit("192.168.0.21", "255.255.255.192");
    QVERIFY(unit);
    QLineEdit *mask = probe->ui().m_txtScanSM;

    tick();
    QTest::qWait(200);
    QCOMPARE(list()->count(), 0);
    QCOMPARE(probe->scanStep() & 0x80, 0);

    tick();
    QCOMPARE(mask->text(), QStringLiteral("255.255.255.192"));
    waitForAnswer("192.168.0.21");
    QCOMPARE(probe->scanStep() & 0x80, 0x80);
    QCOMPARE(list()->count(), 1);
    QCOMPARE(list()->item(0)->text(),
             QStringLiteral("192.168.0.21     ") + QString::fromUtf8(unit->versionText()));
    QCOMPARE(probe->ui().m_lblDiscoveredUnitCount->text(), QStringLiteral("Found: 1"));

    const int queries = countOf(simulator->received(unit), "?V\r");
    for (int i = 0; i < 3; ++i) {
        tick();
        QCOMPARE(mask->text(), QStringLiteral("255.255.255.192"));
        waitForAnswer("192.168.0.21");
    }
    QCOMPARE(countOf(simulator->received(unit), "?V\r"), queries + 3);
    QCOMPARE(list()->count(), 1);
}

// The same answer twice is one line; a changed answer is a second line, and
// the old one ages out at the sixth tick after its last answer.
void TestDiscovery::repeatedAndChangedAnswers()
{
    SimulatedUnit *unit = addUnit("192.168.0.21");
    QVERIFY(unit);
    tick();
    waitForAnswer("192.168.0.21");
    QCOMPARE(countOf(simulator->sent(unit), unit->versionText()), 2);
    QCOMPARE(list()->count(), 1);
    const QString oldLine = list()->item(0)->text();

    unit->setFirmware(QStringLiteral("2.10"));
    const QString newLine = QStringLiteral("192.168.0.21     ") + QString::fromUtf8(unit->versionText());
    QVERIFY(newLine != oldLine);
    for (int t = 1; t <= 6; ++t) {
        tick();
        QTRY_VERIFY(!list()->findItems(newLine, Qt::MatchExactly).isEmpty());
        QTRY_COMPARE(list()->findItems(newLine, Qt::MatchExactly).first()->data(Qt::UserRole).toInt(), 5);
        const QList<QListWidgetItem *> old = list()->findItems(oldLine, Qt::MatchExactly);
        QCOMPARE(old.size(), t < 6 ? 1 : 0);
        QCOMPARE(probe->ui().m_lblDiscoveredUnitCount->text(),
                 QStringLiteral("Found: %1").arg(t < 6 ? 2 : 1));
        if (t < 6)
            QCOMPARE(old.first()->data(Qt::UserRole).toInt(), 5 - t);
    }
}

// A unit that answers every tick stays black; one that misses ticks turns red
// until it answers again, and its line goes at the sixth missed tick.
void TestDiscovery::linesAge()
{
    SimulatedUnit *steady = addUnit("192.168.0.21");
    SimulatedUnit *lost = addUnit("192.168.0.22");
    SimulatedUnit *late = addUnit("192.168.0.23");
    QVERIFY(steady && lost && late);
    tick();
    waitForAnswer("192.168.0.22");
    waitForAnswer("192.168.0.23");
    lost->setSilent(true);
    late->setSilent(true);

    const auto step = [this] {
        tick();
        waitForAnswer("192.168.0.21");
        QVERIFY(!isRed("192.168.0.21"));
    };

    step();
    QCOMPARE(age("192.168.0.22"), 4);
    QVERIFY(!isRed("192.168.0.22"));
    QVERIFY(!isRed("192.168.0.23"));

    step();
    QVERIFY(isRed("192.168.0.22"));
    QVERIFY(isRed("192.168.0.23"));

    late->setSilent(false);
    step();
    waitForAnswer("192.168.0.23");
    QCOMPARE(line("192.168.0.23")->foreground().color(), QColor(Qt::black));
    QVERIFY(isRed("192.168.0.22"));
    QCOMPARE(age("192.168.0.22"), 2);

    step();
    step();
    QCOMPARE(age("192.168.0.22"), 0);
    QCOMPARE(list()->count(), 3);
    step();
    QVERIFY(!line("192.168.0.22"));
    QCOMPARE(list()->count(), 2);
    QTRY_COMPARE(age("192.168.0.23"), 5);
    QCOMPARE(probe->ui().m_lblDiscoveredUnitCount->text(), QStringLiteral("Found: 2"));
}

// "Found:" counts the lines also when they go without any answer arriving:
// when the last unit falls silent, and when a new mask empties the list.
void TestDiscovery::countFollowsLinesThatGo()
{
    SimulatedUnit *unit = addUnit("192.168.0.21");
    QVERIFY(unit);
    tick();
    waitForAnswer("192.168.0.21");
    QLabel *found = probe->ui().m_lblDiscoveredUnitCount;
    QCOMPARE(found->text(), QStringLiteral("Found: 1"));

    unit->setSilent(true);
    for (int t = 1; t <= 5; ++t)
        tick();
    QCOMPARE(list()->count(), 1);
    tick();
    QCOMPARE(list()->count(), 0);
    QCOMPARE(found->text(), QStringLiteral("Found: 0"));

    unit->setSilent(false);
    tick();
    waitForAnswer("192.168.0.21");
    QCOMPARE(found->text(), QStringLiteral("Found: 1"));
    probe->ui().m_txtScanSM->setText(QStringLiteral("255.255.255.128"));
    QCOMPARE(found->text(), QStringLiteral("Found: 0"));
}

// Lines sort by their text as plain strings: .10 before .9, and "HV..."
// before "Halvo..." from the same address.
void TestDiscovery::plainStringOrder()
{
    SimulatedUnit *nine = addUnit("192.168.0.9");
    SimulatedUnit *ten = addUnit("192.168.0.10");
    SimulatedUnit *hundred = addUnit("192.168.0.100");
    QVERIFY(nine && ten && hundred);
    nine->setNextReply("Halvo v1.00");
    tick();
    waitForAnswer("192.168.0.9");
    waitForAnswer("192.168.0.10");
    waitForAnswer("192.168.0.100");
    QStringList texts;
    for (int row = 0; row < list()->count(); ++row)
        texts << list()->item(row)->text();
    QCOMPARE(texts, (QStringList{"192.168.0.10     " + QString::fromUtf8(ten->versionText()),
                                 "192.168.0.100    " + QString::fromUtf8(hundred->versionText()),
                                 "192.168.0.9      " + QString::fromUtf8(nine->versionText()),
                                 "192.168.0.9      Halvo v1.00"}));
    QCOMPARE(probe->ui().m_lblDiscoveredUnitCount->text(), QStringLiteral("Found: 4"));
}

// A burst of answers, many in one notification, repeated ones and junk among
// them, ends as if each had been handled on its own: one line per text, in
// order. Lines then age, turn red (and are shown red) and come back black
// when answered again.
void TestDiscovery::burstOfAnswers()
{
    showActiveWindow();
    tick(); // as the window's first tick would, it gives the socket room for the burst
    QList<Answer> burst;
    QStringList expected;
    for (int i = 0; i < 240; ++i) {
        const Answer answer{QStringLiteral("192.168.0.%1").arg(30 + i % 4),
                            "HV" + QByteArray::number((i * 7) % 90) + " v2.09\r"};
        burst << answer << Answer{answer.first, QByteArray("R\r")};
        if (!expected.contains(lineFor(answer)))
            expected << lineFor(answer);
    }
    std::sort(expected.begin(), expected.end());
    QCOMPARE(expected.size(), 180); // the last 60 answers repeat the first 60
    sendToDiscoveryPort(burst);
    QTRY_COMPARE(lineTexts(), expected);
    QCOMPARE(linesOfAge(5), expected);
    QCOMPARE(probe->ui().m_lblDiscoveredUnitCount->text(), QStringLiteral("Found: 180"));

    tick();
    QCOMPARE(linesOfAge(4), expected);
    QCOMPARE(redLines(), QStringList());
    PaintCounter painted(list()->viewport());
    QCoreApplication::processEvents(); // what was waiting to be painted
    painted.paints = 0;
    tick();
    QCOMPARE(linesOfAge(3), expected);
    QCOMPARE(redLines(), expected);
    QTRY_VERIFY(painted.paints > 0);

    QList<Answer> again;
    QStringList refreshed;
    for (int i = 0; i < burst.size(); i += 6) {
        again << burst[i];
        if (!refreshed.contains(lineFor(burst[i])))
            refreshed << lineFor(burst[i]);
    }
    std::sort(refreshed.begin(), refreshed.end());
    QStringList stale = expected;
    for (const QString &text : refreshed)
        stale.removeOne(text);
    QCoreApplication::processEvents();
    painted.paints = 0;
    sendToDiscoveryPort(again);
    QTRY_COMPARE(linesOfAge(5), refreshed);
    QCOMPARE(lineTexts(), expected);
    QCOMPARE(linesOfAge(3), stale);
    QCOMPARE(redLines(), stale);
    QTRY_VERIFY(painted.paints > 0);
}

// The list lays its lines out exactly as a plain list of the same texts
// would: the widest line sets how far the list scrolls, and a line of two
// text lines is as tall as two.
void TestDiscovery::linesLaidOutAsPlainList()
{
    tick();
    const QList<Answer> answers{
        {QStringLiteral("192.168.0.31"), "HV4K v2.09\r"},
        {QStringLiteral("192.168.0.32"), "TK12X v2.12 and a good deal more text than a unit sends\r"},
        {QStringLiteral("192.168.0.33"), "Halvo v1.00\r"},
        {QStringLiteral("192.168.0.34"), "HV4K v2.09\nsecond line\r"},
        {QStringLiteral("192.168.0.35"), "TK\r"},
    };
    sendToDiscoveryPort(answers);
    QTRY_COMPARE(list()->count(), answers.size());

    QListWidget plain;
    plain.setFont(list()->font());
    plain.resize(list()->size());
    plain.addItems(lineTexts());
    for (int row = 0; row < list()->count(); ++row)
        QCOMPARE(list()->visualItemRect(list()->item(row)), plain.visualItemRect(plain.item(row)));
    QCOMPARE(list()->horizontalScrollBar()->maximum(), plain.horizontalScrollBar()->maximum());
    QVERIFY(list()->horizontalScrollBar()->maximum() > 0); // the long line is wider than the list
    QVERIFY(list()->visualItemRect(list()->item(3)).height() > list()->visualItemRect(list()->item(2)).height());
}

// A typed address restarts the stepping; the list empties at the first tick
// that changes the mask.
void TestDiscovery::userAddressRestartsStepping()
{
    QVERIFY(addUnit("192.168.0.21"));
    tick();
    waitForAnswer("192.168.0.21");
    QCOMPARE(probe->scanStep() & 0x80, 0x80);

    QTest::keyClick(probe->ui().m_txtIP, Qt::Key_Backspace);
    QCOMPARE(probe->scanStep(), quint8(7));
    probe->ui().m_txtIP->setText(QStringLiteral("192.168.1.200"));

    tick();
    QCOMPARE(probe->ui().m_txtScanSM->text(), QStringLiteral("255.255.255.0"));
    QCOMPARE(list()->count(), 1);
    // The field already shows the first mask, so no nested tick: the next
    // mask is the second step's.
    tick();
    QCOMPARE(probe->ui().m_txtScanSM->text(), QStringLiteral("255.255.255.128"));
    QCOMPARE(list()->count(), 0);
}

void TestDiscovery::focusKeepsMaskField()
{
    showActiveWindow();
    QLineEdit *mask = probe->ui().m_txtScanSM;
    mask->setFocus();
    QTRY_VERIFY(mask->hasFocus());
    tick();
    tick();
    QCOMPARE(mask->text(), QString());
    QCOMPARE(probe->scanStep(), quint8(1));

    probe->ui().m_txtIP->setFocus();
    QTRY_VERIFY(!mask->hasFocus());
    tick();
    QCOMPARE(mask->text(), QStringLiteral("255.255.255.192"));
}

// Entering a mask clears the list and scans at once; the mask then stays.
void TestDiscovery::typedMaskStays()
{
    QVERIFY(addUnit("192.168.0.21"));
    showActiveWindow();
    tick();
    waitForAnswer("192.168.0.21");

    QLineEdit *mask = probe->ui().m_txtScanSM;
    mask->setFocus();
    mask->selectAll();
    s_scanLog.clear();
    mask->insert(QStringLiteral("255.255.255.128"));
    QCOMPARE(list()->count(), 0);
    QVERIFY(probe->scanMaskEdited());
    QCOMPARE(s_scanLog, (QStringList{"IP: 192.168.0.1", "SM: 255.255.255.128", "BC: 192.168.0.127"}));

    probe->ui().m_txtIP->setFocus();
    QTRY_VERIFY(!mask->hasFocus());
    probe->scanStep() = 7; // stepping again, as after a typed address
    for (int i = 0; i < 3; ++i) {
        s_scanLog.clear();
        tick();
        QCOMPARE(mask->text(), QStringLiteral("255.255.255.128"));
        QCOMPARE(s_scanLog.constLast(), QStringLiteral("BC: 192.168.0.127"));
    }
    QTest::qWait(200);
    QCOMPARE(list()->count(), 0); // the unit's subnet is not scanned any more
}

// "Set Global" scans at once to the limited broadcast, which every unit hears.
void TestDiscovery::setGlobal()
{
    DatagramCapture watcher;
    QVERIFY(watcher.bind(QHostAddress::AnyIPv4));
    showActiveWindow();
    tick();
    QTRY_COMPARE(scans(watcher).size(), 2);
    list()->addItem(QStringLiteral("192.168.0.99     HV4 v1.00"));

    QTest::mouseClick(probe->ui().m_cmdBdcstSMSelect, Qt::LeftButton);
    QCOMPARE(probe->ui().m_txtScanSM->text(), QStringLiteral("0.0.0.0"));
    QCOMPARE(list()->count(), 0);
    QTRY_COMPARE(scans(watcher).size(), 3);
    QCOMPARE(destinations(watcher).constLast(), QStringLiteral("255.255.255.255"));
    QCOMPARE(scans(watcher).constLast().data, QByteArray("?V\r"));

    tick();
    QCOMPARE(probe->ui().m_txtScanSM->text(), QStringLiteral("0.0.0.0"));
    QTRY_COMPARE(scans(watcher).size(), 4);
    QCOMPARE(destinations(watcher).constLast(), QStringLiteral("255.255.255.255"));
}

// A click puts the line's address, and nothing else, into the IP field and
// polls it at once; the discovery mask stays frozen.
void TestDiscovery::clickSelectsUnit()
{
    QVERIFY(addUnit("192.168.0.21"));
    showActiveWindow();
    tick();
    waitForAnswer("192.168.0.21");
    QTest::qWait(300); // the first poll of the default address is over

    QSignalSpy polls(probe->pollTimer(), &QTimer::timeout);
    QElapsedTimer clock;
    clock.start();
    QListWidgetItem *item = line("192.168.0.21");
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
    QCOMPARE(probe->ui().m_txtIP->text(), QStringLiteral("192.168.0.21"));
    QVERIFY(!probe->ipSetByProgram());
    QCOMPARE(probe->pollTimer()->interval(), 10);
    QVERIFY(probe->pollTimer()->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(polls.count() >= 1, 1000);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(probe->scanStep() & 0x80, 0x80);
    QCOMPARE(probe->ui().m_txtIP->styleSheet(), QStringLiteral("QLineEdit { background :  }"));
    QCOMPARE(probe->ui().m_cmdUALGo->text(), QStringLiteral("SEND TO 192.168.0.21"));
}

void TestDiscovery::identifyOnClick_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<int>("identifies");
    QTest::newRow("ticked") << true << 1;
    QTest::newRow("cleared") << false << 0;
}

void TestDiscovery::identifyOnClick()
{
    QFETCH(bool, ticked);
    QFETCH(int, identifies);
    SimulatedUnit *unit = addUnit("192.168.0.21");
    QVERIFY(unit);
    showActiveWindow();
    tick();
    waitForAnswer("192.168.0.21");
    probe->ui().m_chkIdentifyOnClick->setChecked(ticked);
    const QString statusBefore = probe->ui().statusbar->currentMessage();
    probe->awaitingReply() = false;

    QListWidgetItem *item = line("192.168.0.21");
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
    QCOMPARE(probe->ui().m_txtIP->text(), QStringLiteral("192.168.0.21"));
    if (ticked) {
        QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Identify sent..."));
        QVERIFY(probe->awaitingReply());
        QVERIFY(!probe->pollTimer()->isActive());
        QTRY_COMPARE(countOf(unit->requests(), "PIHV\r"), 1);
    } else {
        QCOMPARE(probe->ui().statusbar->currentMessage(), statusBefore);
    }
    QTest::qWait(300);
    QCOMPARE(countOf(unit->requests(), "PIHV\r"), identifies);
    QCOMPARE(unit->identifyCount(), identifies);
}

void TestDiscovery::identifyInvalidAddress()
{
    DatagramCapture watcher;
    QVERIFY(watcher.bind(QHostAddress::AnyIPv4));
    showActiveWindow();
    probe->ui().m_chkIdentifyOnClick->setChecked(true);
    list()->addItem(QStringLiteral("unit-21          HV4K v2.09"));
    const bool polling = probe->pollTimer()->isActive();
    const bool awaiting = probe->awaitingReply();

    QListWidgetItem *item = list()->item(0);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
    QCOMPARE(probe->ui().m_txtIP->text(), QStringLiteral("unit-21"));
    QCOMPARE(probe->ui().statusbar->currentMessage(),
             QStringLiteral("Status: Unable to identify.  Invalid IP."));
    QCOMPARE(probe->awaitingReply(), awaiting);
    QCOMPARE(probe->pollTimer()->isActive(), polling);
    QTest::qWait(200);
    for (const DatagramCapture::Datagram &datagram : watcher.datagrams())
        QVERIFY(datagram.data != "PIHV\r");
}

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
