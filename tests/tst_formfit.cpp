#include "app/desktopfonts.h"
#include "app/desktopscaling.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

// The fixed-pixel form on a Linux desktop: every caption, button text and
// check-box text fits its widget on one line, measured with the widget's own
// font, and the whole details report fits the 411 x 561 label, in normal and
// in private mode with long values. The same checks run again at 120 DPI on
// the offscreen platform and, where Xvfb is installed, on a real X server at
// 96, 120, 144 and 192 DPI (Xft.dpi as a scaled desktop sets it), where the
// whole window scales with the screen (the suite runs itself there as a child
// process).
namespace {

const char *const ChildDpiVariable = "HVTK_FORMFIT_CHILD";
// The scale at which the child expects the window on its X server.
const char *const ChildScaleVariable = "HVTK_FORMFIT_SCALE";
// The form's size in its own pixels.
const QSize FormSize(890, 690);

// The window's size as the X server has it, in device pixels: xwininfo's
// "Width:" and "Height:" lines.
QSize serverSizeOf(const QWidget *window)
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window->winId())});
    if (!xwininfo.waitForFinished(10000) || xwininfo.exitCode() != 0)
        return QSize();
    const QString text = QString::fromLocal8Bit(xwininfo.readAllStandardOutput());
    const QRegularExpression width(QStringLiteral("\\n\\s*Width: (\\d+)"));
    const QRegularExpression height(QStringLiteral("\\n\\s*Height: (\\d+)"));
    return QSize(width.match(text).captured(1).toInt(), height.match(text).captured(1).toInt());
}

// Long values a unit can really send: names cut at their field widths
// (32 bytes for the Dante name, 64 for the local name), three-digit octets
// everywhere, the biggest counters and "0s (disabled)" timers.
UnitStatus longestUnit()
{
    UnitStatus s;
    s.bootloaderVersion = {10, 10, 10};
    s.danteImageVersion = {10, 10, 10};
    s.danteFirmwareVersion = {10, 10, 10, 10};
    s.danteImageProduct = QStringLiteral("HALVO-XX");
    s.danteChipModel = QStringLiteral("UltimoX2");
    s.danteName = QStringLiteral("HV-001DC1-Reception-North-Wing-1");
    s.danteMacText = QStringLiteral("00:1D:C1:AB:CD:EF");
    s.danteIp = 0xC0A8C8FE;         // 192.168.200.254
    s.danteSubnetMask = 0xFFFFFF00; // 255.255.255.0
    s.danteGateway = 0xC0A8C8FE;
    s.networkStatus = DanteDhcpOff | ControlStaticAddress | QsysCoreLinked;
    s.danteIpMode = 4;
    s.ultimoBusOnline = false;
    s.ultimoBusRequired = true;
    s.controlMacText = QStringLiteral("00:1D:C1:AB:CD:F0");
    s.controlIpCurrent = 0xC0A8C8FD; // 192.168.200.253
    s.controlIpStored = 0xC0A8C8FD;
    s.controlSubnetMask = 0xFFFFFF00;
    s.controlGateway = 0xC0A8C8FE;
    s.localPort = 65535;
    s.qsysCoreIp = 0xC0A8C8C8;
    s.qsysCorePort = 65535;
    s.stationId = 65535;
    s.defaultGroup = 254;
    s.groupRevertSeconds = 0;
    s.qsysPingIntervalSeconds = 0;
    s.qsysPingTimeoutSeconds = 0;
    s.kiroLinkTimeoutSeconds = 0;
    s.ledIntensity = 100;
    s.powerCycleCount = 4294967295u;
    s.localName = QStringLiteral("Building 4 East Wing Level 2 Corridor Paging Station by Lift B-7");
    return s;
}

// The room the widget's style gives its text, or -1 for a widget without text.
int roomForText(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text().isEmpty() ? -1 : label->contentsRect().width();
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        if (button->text().isEmpty())
            return -1;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    }
    if (auto *box = qobject_cast<QCheckBox *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width();
    }
    return -1;
}

QString textOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    return QString();
}

// "name: needs N px, has M px" for every text that does not fit on one line.
QStringList textsThatDoNotFit(QWidget *central, const QWidget *report)
{
    QStringList cut;
    for (QWidget *widget : central->findChildren<QWidget *>()) {
        if (widget == report)
            continue;
        const int room = roomForText(widget);
        if (room < 0)
            continue;
        const QFontMetrics metrics = widget->fontMetrics();
        const QString text = textOf(widget);
        const int needed = metrics.horizontalAdvance(text);
        const int inkHeight = metrics.tightBoundingRect(text).height();
        if (needed > room || inkHeight > widget->height())
            cut << QStringLiteral("%1 \"%2\": needs %3 x %4 px, has %5 x %6 px")
                       .arg(widget->objectName(), text)
                       .arg(needed)
                       .arg(inkHeight)
                       .arg(room)
                       .arg(widget->height());
    }
    return cut;
}

} // namespace

class TestFormFit : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void textsFitOnOneLine();
    void reportFitsItsArea_data();
    void reportFitsItsArea();
    void detectedUnitsInFixedWidthFont();
    void windowScalesWithTheScreen();

    void offscreenAt120Dpi();
    void realXServer_data();
    void realXServer();

private:
    void runChild(int dpi, const QString &display = QString(), double scale = 1,
                  const QStringList &scaleSettings = QStringList());
};

void TestFormFit::init()
{
    DesktopFonts::use();
    openWindow(StopPolling | StopScan | StopChecklist);
    window->ensurePolished();
}

void TestFormFit::cleanup()
{
    closeWindow();
}

void TestFormFit::textsFitOnOneLine()
{
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    // Texts the program writes at run time, at their longest.
    ui.m_lblDiscoveredUnitCount->setText(window->tr("Found: %1").arg(254));
    ui.m_lblLEDIntensity->setText(QStringLiteral("100%"));
    // The link panel's destination repeats the IP field in the form's own
    // 10 point bold, which grows with the resolution: a 15-character address
    // takes 123 of its 141 px at 96 DPI but 161 px at 120 DPI, so there the
    // check takes the 13-character default address (138 px).
    const QString address = window->logicalDpiY() <= 96 ? QStringLiteral("192.168.200.254")
                                                        : QStringLiteral("192.168.0.254");
    ui.m_txtIP->setText(address);
    QCOMPARE(ui.m_lblUALDestinationIP->text(), address);

    // At any resolution the window scales with the screen and lays out as at
    // 96 DPI.
    if (qEnvironmentVariableIsSet(ChildDpiVariable))
        QCOMPARE(window->logicalDpiY(), 96);
    const QStringList cut = textsThatDoNotFit(ui.centralwidget, ui.m_lblInfo);
    for (const QString &text : cut)
        qWarning("%s", qPrintable(text));
    QVERIFY2(cut.isEmpty(),
             qPrintable(QStringLiteral("%1 texts cut at %2 DPI").arg(cut.size()).arg(window->logicalDpiY())));
}

void TestFormFit::reportFitsItsArea_data()
{
    QTest::addColumn<bool>("privateMode");
    QTest::newRow("normal") << false;
    QTest::newRow("private, with the power-cycle row") << true;
}

void TestFormFit::reportFitsItsArea()
{
    QFETCH(bool, privateMode);
    probe->privateMode() = privateMode;
    probe->ultimoXModel() = true;
    probe->status() = longestUnit();
    probe->renderDetailsReport(QStringLiteral("HV4K v2.09"), 224);

    QLabel *report = probe->ui().m_lblInfo;
    QCOMPARE(report->text().contains(QStringLiteral("Power Cycle Counter:")), privateMode);
    // Laid out as the word-wrapping label lays it out, at word boundaries.
    QTextDocument document;
    QTextOption wrapAtWords;
    wrapAtWords.setWrapMode(QTextOption::WordWrap);
    document.setDefaultTextOption(wrapAtWords);
    document.setDefaultFont(report->font());
    document.setHtml(report->text());
    document.setTextWidth(report->width());
    const QSizeF needed = document.size();
    const QString message = QStringLiteral("at %1 DPI the report needs %2 px of its %3 x %4 px")
                                .arg(window->logicalDpiY())
                                .arg(needed.height())
                                .arg(report->width())
                                .arg(report->height());
    qInfo("%s; the label's own height for its width: %d px", qPrintable(message),
          report->heightForWidth(report->width()));
    QVERIFY2(needed.height() <= report->height(), qPrintable(message));
    QVERIFY2(report->heightForWidth(report->width()) <= report->height(), qPrintable(message));
}

void TestFormFit::detectedUnitsInFixedWidthFont()
{
    QListWidget *list = probe->ui().m_lstDetectedUnits;
    QCOMPARE(list->font().family(), QStringLiteral("Consolas"));
    QCOMPARE(list->font().pointSize(), 8);
    const QFontInfo shown(list->font());
    if (shown.family() == QLatin1String("Consolas"))
        QSKIP("Consolas is installed here");
    QCOMPARE(shown.family(), QStringLiteral("DejaVu Sans Mono"));
    QVERIFY(shown.fixedPitch());
    const QFontMetrics metrics(list->font());
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("192.168.0.111")),
             metrics.horizontalAdvance(QStringLiteral("HV4K v2.09 WW")));
}

// On an X server: the window, measured by the server, is the form's size
// times the screen's scale (within 2 px), and the fonts the form gives in
// points are as many of the window's pixels as at 96 DPI.
void TestFormFit::windowScalesWithTheScreen()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("measured on an X server only (realXServer)");
    if (QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
        QSKIP("xwininfo is not installed (package x11-utils)");
    showWindow();
    const double scale = qEnvironmentVariable(ChildScaleVariable, QStringLiteral("1")).toDouble();
    QCOMPARE(window->devicePixelRatioF(), scale);
    const QSize expected = FormSize * scale;
    QSize measured;
    QTRY_VERIFY_WITH_TIMEOUT((measured = serverSizeOf(window.get())).isValid(), 5000);
    qInfo("the window is %dx%d device pixels at scale %g", measured.width(), measured.height(), scale);
    QVERIFY2(qAbs(measured.width() - expected.width()) <= 2 && qAbs(measured.height() - expected.height()) <= 2,
             qPrintable(QStringLiteral("%1x%2 px, expected %3x%4")
                            .arg(measured.width())
                            .arg(measured.height())
                            .arg(expected.width())
                            .arg(expected.height())));

    Ui::HVTKUtilitiesClass &ui = probe->ui();
    for (const QWidget *widget : {static_cast<QWidget *>(ui.m_lstDetectedUnits), static_cast<QWidget *>(ui.m_lblForm_13),
                                  static_cast<QWidget *>(ui.m_lblUALDestinationIP)}) {
        const QFont font = widget->font();
        QVERIFY2(font.pointSizeF() > 0, qPrintable(widget->objectName()));
        QCOMPARE(QFontInfo(font).pixelSize(), qRound(font.pointSizeF() * 96 / 72));
    }
}

// Runs the measuring cases of this suite again in a child process at `dpi`:
// on the offscreen platform with that resolution, or on the X display
// `display`, which has it, where the window is expected at `scale`;
// `scaleSettings` are environment settings (NAME=VALUE) a desktop or a user
// may add.
void TestFormFit::runChild(int dpi, const QString &display, double scale, const QStringList &scaleSettings)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ChildDpiVariable), QString::number(dpi));
    env.insert(QString::fromLatin1(ChildScaleVariable), QString::number(scale));
    for (const QString &setting : scaleSettings)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    if (display.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_FONT_DPI"), QString::number(dpi));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.remove(QStringLiteral("QT_FONT_DPI"));
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("textsFitOnOneLine"), QStringLiteral("reportFitsItsArea"),
                 QStringLiteral("detectedUnitsInFixedWidthFont"), QStringLiteral("windowScalesWithTheScreen")});
    QVERIFY(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        qWarning("%s", output.constData());
    if (qEnvironmentVariableIsSet("HVTK_FORMFIT_VERBOSE"))
        qInfo("%s", output.constData());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(QStringLiteral("the cases fail at %1 DPI (output above)").arg(dpi)));
}

void TestFormFit::offscreenAt120Dpi()
{
    if (qEnvironmentVariableIsSet(ChildDpiVariable))
        QSKIP("runs in the parent only");
    runChild(120);
}

void TestFormFit::realXServer_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QStringList>("scaleSettings");
    QTest::newRow("96 DPI") << 96 << 1.0 << QStringList();
    QTest::newRow("120 DPI, a desktop at 125 %") << 120 << 1.25 << QStringList();
    QTest::newRow("144 DPI, a desktop at 150 %") << 144 << 1.5 << QStringList();
    QTest::newRow("192 DPI, a desktop at 200 %") << 192 << 2.0 << QStringList();
    QTest::newRow("96 DPI, QT_SCALE_FACTOR 1.5") << 96 << 1.5 << QStringList{QStringLiteral("QT_SCALE_FACTOR=1.5")};
    QTest::newRow("192 DPI, QT_SCREEN_SCALE_FACTORS 1.5")
        << 192 << 1.5 << QStringList{QStringLiteral("QT_SCREEN_SCALE_FACTORS=1.5")};
}

// An X server of its own, inside the suite's private network namespace; the
// window reads the resolution from the server as on a desktop: the screen's
// size in millimetres and, as desktops set it, the resource Xft.dpi.
void TestFormFit::realXServer()
{
    QFETCH(int, dpi);
    QFETCH(double, scale);
    QFETCH(QStringList, scaleSettings);
    if (qEnvironmentVariableIsSet(ChildDpiVariable))
        QSKIP("runs in the parent only");
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        QSKIP("Xvfb is not installed (package xvfb)");

    QProcess server;
    server.setProcessChannelMode(QProcess::SeparateChannels);
    // -noreset: the resources stay when xrdb, the first client, disconnects.
    server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x1024x24"), QStringLiteral("-dpi"), QString::number(dpi)});
    QVERIFY(server.waitForStarted());
    QByteArray display;
    QTRY_VERIFY_WITH_TIMEOUT((display += server.readAllStandardOutput()).contains('\n'), 10000);
    const QString displayName = QStringLiteral(":") + QString::fromLatin1(display.trimmed());

    const QString xrdb = QStandardPaths::findExecutable(QStringLiteral("xrdb"));
    if (xrdb.isEmpty())
        QSKIP("xrdb is not installed (package x11-xserver-utils)");
    QProcess resources;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), displayName);
    resources.setProcessEnvironment(env);
    resources.start(xrdb, {QStringLiteral("-merge")});
    resources.write(QStringLiteral("Xft.dpi: %1\n").arg(dpi).toLatin1());
    resources.closeWriteChannel();
    QVERIFY(resources.waitForFinished(10000));
    QCOMPARE(resources.exitCode(), 0);

    runChild(dpi, displayName, scale, scaleSettings);
    server.terminate();
    server.waitForFinished(5000);
}

int main(int argc, char *argv[])
{
    // The offscreen platform takes its resolution from QT_FONT_DPI; unless a
    // run asks for another, it is the usual desktop default of 96 DPI.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && !qEnvironmentVariableIsSet("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    DesktopScaling::follow();
    QApplication application(argc, argv);
    TestFormFit suite;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&suite, argc, argv);
}

#include "tst_formfit.moc"
