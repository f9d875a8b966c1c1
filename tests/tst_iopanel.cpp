#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

// The live I/O panel drawn from a status reply: indicator colours for the
// example bytes, which labels take part, and the slider kept quiet.
namespace {

QString colourOf(const QLabel *label)
{
    static const QRegularExpression sheet(QStringLiteral("^QLabel \\{ background-color : (.*) \\}$"));
    const auto match = sheet.match(label->styleSheet());
    return match.hasMatch() ? match.captured(1) : QStringLiteral("(%1)").arg(label->styleSheet());
}

using Bytes = std::array<quint8, 4>;

} // namespace

Q_DECLARE_METATYPE(Bytes)

class TestIoPanel : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void inputs_data();
    void inputs();
    void ledBitmap_data();
    void ledBitmap();
    void fourLedColours();
    void fourLedsWithoutColourLetters();
    void hiddenLabelsAreSkipped();
    void dipSwitches();
    void pttRingerHandset_data();
    void pttRingerHandset();
    void featureIndicatorsOnlyWhenReported();
    void intensityMovesSliderWithoutCommand();
    void indicatorsSayWhatTheyShow();

private:
    void useIndicators(int count);
};

void TestIoPanel::init()
{
    openWindow(StopPolling | StopScan);
    for (int n = 1; n <= 32; ++n) {
        probe->input(n)->setStyleSheet(QStringLiteral("untouched"));
        probe->led(n)->setStyleSheet(QStringLiteral("untouched"));
    }
}

void TestIoPanel::cleanup()
{
    closeWindow();
}

void TestIoPanel::useIndicators(int count)
{
    probe->inputCount() = quint8(count);
    probe->ledCount() = quint8(count);
}

void TestIoPanel::inputs_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<Bytes>("bits");
    QTest::addColumn<QList<int>>("lime"); // all others in use are black

    QTest::newRow("first active") << 32 << Bytes{0xFE, 0xFF, 0xFF, 0xFF} << QList<int>{1};
    QTest::newRow("last active") << 32 << Bytes{0xFF, 0xFF, 0xFF, 0x7F} << QList<int>{32};
    QTest::newRow("9 and 16") << 16 << Bytes{0xFF, 0x7E, 0x00, 0x00} << QList<int>{9, 16};
    QTest::newRow("four inputs") << 4 << Bytes{0xF5, 0x00, 0x00, 0x00} << QList<int>{2, 4};
}

void TestIoPanel::inputs()
{
    QFETCH(int, count);
    QFETCH(Bytes, bits);
    QFETCH(QList<int>, lime);
    useIndicators(count);
    probe->status().inputBits = bits;
    probe->refreshIoPanel();
    for (int n = 1; n <= 32; ++n) {
        const QString expected = n > count ? "(untouched)" : lime.contains(n) ? "lime" : "black";
        QVERIFY2(colourOf(probe->input(n)) == expected, qPrintable(QString("input_%1").arg(n)));
    }
}

void TestIoPanel::ledBitmap_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<Bytes>("bits");
    QTest::addColumn<QList<int>>("lime");

    QTest::newRow("first and last") << 32 << Bytes{0x01, 0x00, 0x00, 0x80} << QList<int>{1, 32};
    QTest::newRow("12 LEDs from two bytes") << 12 << Bytes{0x80, 0x08, 0xFF, 0xFF} << QList<int>{8, 12};
    QTest::newRow("16 LEDs") << 16 << Bytes{0x00, 0x81, 0xFF, 0xFF} << QList<int>{9, 16};
}

void TestIoPanel::ledBitmap()
{
    QFETCH(int, count);
    QFETCH(Bytes, bits);
    QFETCH(QList<int>, lime);
    useIndicators(count);
    probe->status().ledBits = bits;
    probe->refreshIoPanel();
    for (int n = 1; n <= 32; ++n) {
        const QString expected = n > count ? "(untouched)" : lime.contains(n) ? "lime" : "black";
        QVERIFY2(colourOf(probe->led(n)) == expected, qPrintable(QString("led_%1").arg(n)));
    }
}

void TestIoPanel::fourLedColours()
{
    useIndicators(4);
    UnitStatus &s = probe->status();
    s.ledBits = {0xFF, 0xFF, 0xFF, 0xFF}; // ignored for a 4-LED unit
    s.hasLedColours = true;
    s.ledColours = {'G', 'R', 'Y', ' '};
    probe->refreshIoPanel();
    QCOMPARE(colourOf(probe->led(1)), QStringLiteral("lime"));
    QCOMPARE(colourOf(probe->led(2)), QStringLiteral("red"));
    QCOMPARE(colourOf(probe->led(3)), QStringLiteral("orange"));
    QCOMPARE(colourOf(probe->led(4)), QStringLiteral("black"));
    QCOMPARE(colourOf(probe->led(5)), QStringLiteral("(untouched)"));

    // Lower-case letters are not colours.
    s.ledColours = {'g', 'r', 'y', 'G'};
    probe->refreshIoPanel();
    QCOMPARE(colourOf(probe->led(1)), QStringLiteral("black"));
    QCOMPARE(colourOf(probe->led(4)), QStringLiteral("lime"));
}

void TestIoPanel::fourLedsWithoutColourLetters()
{
    useIndicators(4);
    probe->status().ledBits = {0xFF, 0xFF, 0xFF, 0xFF};
    probe->status().hasLedColours = false;
    probe->refreshIoPanel();
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(colourOf(probe->led(n)), QStringLiteral("(untouched)"));

    // Colour letters mean nothing to a unit with more LEDs.
    useIndicators(12);
    probe->status().hasLedColours = true;
    probe->status().ledColours = {'R', 'R', 'R', 'R'};
    probe->refreshIoPanel();
    QCOMPARE(colourOf(probe->led(1)), QStringLiteral("lime"));
}

void TestIoPanel::hiddenLabelsAreSkipped()
{
    useIndicators(32);
    probe->input(3)->hide();
    probe->led(5)->hide();
    probe->refreshIoPanel();
    QCOMPARE(colourOf(probe->input(3)), QStringLiteral("(untouched)"));
    QCOMPARE(colourOf(probe->led(5)), QStringLiteral("(untouched)"));
    QCOMPARE(colourOf(probe->input(4)), QStringLiteral("lime"));
    QCOMPARE(colourOf(probe->led(6)), QStringLiteral("black"));
}

void TestIoPanel::dipSwitches()
{
    probe->status().dipSwitchOff = {false, true, false, true}; // bytes 0, 1, 0, 1
    probe->refreshIoPanel();
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    const QLabel *on[] = {ui.m_DIPSWOn_1, ui.m_DIPSWOn_2, ui.m_DIPSWOn_3, ui.m_DIPSWOn_4};
    const QLabel *off[] = {ui.m_DIPSWOff_1, ui.m_DIPSWOff_2, ui.m_DIPSWOff_3, ui.m_DIPSWOff_4};
    for (int k = 0; k < 4; ++k) {
        const bool switchOn = k % 2 == 0;
        QCOMPARE(colourOf(on[k]), switchOn ? QStringLiteral("white") : QStringLiteral("black"));
        QCOMPARE(colourOf(off[k]), switchOn ? QStringLiteral("black") : QStringLiteral("white"));
    }
}

void TestIoPanel::pttRingerHandset_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QString>("ptt");
    QTest::addColumn<QString>("others");
    QTest::addColumn<QString>("muteAction");
    QTest::newRow("all set") << true << "black" << "lime" << "Unmute Handset";
    QTest::newRow("all clear") << false << "lime" << "black" << "Mute Handset";
}

void TestIoPanel::pttRingerHandset()
{
    QFETCH(bool, set);
    QFETCH(QString, ptt);
    QFETCH(QString, others);
    QFETCH(QString, muteAction);
    probe->status().pttState = set;
    probe->status().ringerOn = set;
    probe->status().handsetMuted = set;
    probe->refreshIoPanel();
    QCOMPARE(colourOf(probe->ui().m_PTTState), ptt);
    QCOMPARE(colourOf(probe->ui().m_SonalertState), others);
    QCOMPARE(colourOf(probe->ui().m_HandsetMutedState), others);
    QCOMPARE(probe->ui().actionMute_Handset->text(), muteAction);
}

void TestIoPanel::featureIndicatorsOnlyWhenReported()
{
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    UnitStatus &s = probe->status();
    s.hasFeatureBits = true;
    s.featureBits = 0x05;
    probe->refreshIoPanel();
    QCOMPARE(colourOf(ui.m_SnoozingAllowed), QStringLiteral("lime"));
    QCOMPARE(colourOf(ui.m_ButtonTapsEnabled), QStringLiteral("black"));
    QCOMPARE(colourOf(ui.m_PTTZoneModeEnabled), QStringLiteral("lime"));

    // A reply without the feature byte keeps the last colours.
    s.hasFeatureBits = false;
    s.featureBits = 0x02;
    probe->refreshIoPanel();
    QCOMPARE(colourOf(ui.m_SnoozingAllowed), QStringLiteral("lime"));
    QCOMPARE(colourOf(ui.m_ButtonTapsEnabled), QStringLiteral("black"));
}

void TestIoPanel::intensityMovesSliderWithoutCommand()
{
    probe->online() = true;
    probe->pollTimer()->start(2000);
    probe->status().ledIntensity = 75;
    probe->refreshIoPanel();
    QCOMPARE(probe->ui().m_lblLEDIntensity->text(), QStringLiteral("75%"));
    QCOMPARE(probe->ui().m_LEDIntensity->value(), 75);
    QVERIFY(!probe->intensitySetByProgram());
    // The slider's own handler would stop polling and start its send delay.
    QVERIFY(!probe->intensityTimer()->isActive());
    QVERIFY(probe->pollTimer()->isActive());
    QVERIFY(!probe->awaitingReply());
}

// Tool tip and accessible name of every kind of indicator follow its colour,
// whoever paints it: the offline presentation, then two replies.
void TestIoPanel::indicatorsSayWhatTheyShow()
{
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    const auto words = [](const QLabel *label) {
        return label->toolTip() == label->accessibleName() ? label->toolTip()
                                                           : QStringLiteral("tool tip and name differ");
    };
    probe->online() = true;
    probe->setOnlineUI(false);
    QCOMPARE(words(probe->led(1)), QStringLiteral("LED 1: not in use"));
    QCOMPARE(words(probe->input(32)), QStringLiteral("Input 32: not in use"));
    QCOMPARE(words(ui.m_PTTState), QStringLiteral("Push to talk: unknown"));
    QCOMPARE(words(ui.m_DIPSWOn_1), QStringLiteral("DIP switch 1: off"));

    useIndicators(4);
    UnitStatus &s = probe->status();
    s.hasLedColours = true;
    s.ledColours = {'G', 'R', 'Y', ' '};
    s.inputBits = {0xFD, 0xFF, 0xFF, 0xFF};
    s.dipSwitchOff = {true, true, false, true};
    s.pttState = false;
    s.ringerOn = true;
    s.handsetMuted = true;
    s.hasFeatureBits = true;
    s.featureBits = SnoozingAllowed;
    probe->refreshIoPanel();
    const QList<QPair<const QLabel *, QString>> expected = {
        {probe->led(1), "LED 1: green"},
        {probe->led(2), "LED 2: red"},
        {probe->led(3), "LED 3: yellow"},
        {probe->led(4), "LED 4: off"},
        {probe->led(5), "LED 5: not in use"},
        {probe->input(1), "Input 1: inactive"},
        {probe->input(2), "Input 2: active"},
        {ui.m_DIPSWOn_3, "DIP switch 3: on"},
        {ui.m_DIPSWOff_3, "DIP switch 3: on"},
        {ui.m_DIPSWOn_4, "DIP switch 4: off"},
        {ui.m_DIPSWOff_4, "DIP switch 4: off"},
        {ui.m_PTTState, "Push to talk: pressed"},
        {ui.m_SonalertState, "Ringer: on"},
        {ui.m_HandsetMutedState, "Handset muted: yes"},
        {ui.m_SnoozingAllowed, "Snoozing allowed: yes"},
        {ui.m_ButtonTapsEnabled, "Button taps: disabled"},
        {ui.m_PTTZoneModeEnabled, "PTT zone mode: disabled"},
    };
    for (const auto &indicator : expected)
        QCOMPARE(words(indicator.first), indicator.second);
    // The look is the colour alone.
    QCOMPARE(probe->led(2)->styleSheet(), QStringLiteral("QLabel { background-color : red }"));

    s.ledColours = {'G', 'G', 'Y', ' '};
    s.pttState = true;
    probe->refreshIoPanel();
    QCOMPARE(words(probe->led(2)), QStringLiteral("LED 2: green"));
    QCOMPARE(words(ui.m_PTTState), QStringLiteral("Push to talk: released"));
}

QTEST_MAIN(TestIoPanel)
#include "tst_iopanel.moc"
