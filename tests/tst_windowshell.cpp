#include "app/defaultaddress.h"
#include "channel/commandtext.h"
#include "support/datagramcapture.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

// The window as built: its form, its slot table, what construction leaves
// behind, and the send procedure every command goes through.
class TestWindowShell : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowIsFixed();
    void widgets_data();
    void widgets();
    void formBeforeConstruction();
    void fonts();
    void menus();
    void stackingOrder();
    void focusOrder();
    void slotTable();
    void constructionState();
    void defaultAddressFromHost_data();
    void defaultAddressFromHost();
    void socketsAreBound();
    void sendRefusesInvalidAddress_data();
    void sendRefusesInvalidAddress();
    void sendProcedure();

private:
    static QList<QHostAddress> fakeHost();
    static QStringList s_fakeInterfaces;
};

QStringList TestWindowShell::s_fakeInterfaces;

QList<QHostAddress> TestWindowShell::fakeHost()
{
    QList<QHostAddress> result;
    for (const QString &text : s_fakeInterfaces)
        result << QHostAddress(text);
    return result;
}

void TestWindowShell::init()
{
    setInterfaceAddressSource(nullptr);
    openWindow();
}

void TestWindowShell::cleanup()
{
    closeWindow();
    setInterfaceAddressSource(nullptr);
}

void TestWindowShell::windowIsFixed()
{
    QCOMPARE(window->objectName(), QStringLiteral("HVTKUtilitiesClass"));
    QCOMPARE(window->size(), QSize(890, 690));
    QCOMPARE(window->minimumSize(), QSize(890, 690));
    QCOMPARE(window->maximumSize(), QSize(890, 690));
    QCOMPARE(window->windowTitle(), QStringLiteral("Halvo+Tesk Utilities v1.01"));
    window->resize(1000, 800);
    QCOMPARE(window->size(), QSize(890, 690));
}

void TestWindowShell::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    auto row = [](const char *name, const char *cls, const char *parent, QRect g, const char *text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls)
                            << QString::fromLatin1(parent) << g << QString::fromUtf8(text);
    };
    const char *c = "centralwidget";
    row("m_lblForm_2", "QLabel", c, {10, 8, 61, 16}, "Dscv Mask:");
    row("m_txtScanSM", "QLineEdit", c, {65, 5, 105, 23}, "");
    row("m_cmdBdcstSMSelect", "QPushButton", c, {170, 4, 21, 25}, nullptr);
    row("m_lstDetectedUnits", "QListWidget", c, {10, 30, 181, 491}, nullptr);
    row("m_lblDiscoveredUnitCount", "QLabel", c, {10, 520, 101, 21}, "Found: 0");
    row("m_chkIdentifyOnClick", "QCheckBox", c, {10, 545, 171, 17}, "Identify unit on click");
    row("line", "QFrame", c, {185, 5, 20, 558}, nullptr);
    row("m_lblForm", "QLabel", c, {199, 10, 81, 16}, "Connect to IP:");
    row("m_txtIP", "QLineEdit", c, {300, 7, 139, 23}, nullptr);
    row("m_cmdWebSrv", "QPushButton", c, {440, 6, 21, 25}, nullptr);
    row("m_lblForm_3", "QLabel", c, {200, 60, 81, 16}, "Inputs:");
    row("m_lblForm_4", "QLabel", c, {200, 150, 81, 16}, "LEDs:");
    row("m_lblForm_6", "QLabel", c, {200, 240, 81, 16}, "DIP Switches:");
    row("m_lblForm_10", "QLabel", c, {200, 273, 90, 16}, "LED Intensity:");
    row("m_LEDIntensity", "QSlider", c, {300, 270, 121, 22}, nullptr);
    row("m_lblLEDIntensity", "QLabel", c, {430, 270, 41, 20}, "0%");
    row("m_lblPTT", "QLabel", c, {200, 300, 91, 16}, nullptr);
    row("m_PTTState", "QLabel", c, {300, 300, 16, 16}, "");
    row("m_lblButtonTapsEnabled", "QLabel", c, {200, 320, 101, 16}, "Button Taps:");
    row("m_ButtonTapsEnabled", "QLabel", c, {300, 320, 16, 16}, "");
    row("m_lblPTTZoneModeEnabled", "QLabel", c, {200, 340, 101, 16}, "PTT Zone Mode:");
    row("m_PTTZoneModeEnabled", "QLabel", c, {300, 340, 16, 16}, "");
    row("m_lblSonalert", "QLabel", c, {200, 360, 91, 16}, "Ringer:");
    row("m_SonalertState", "QLabel", c, {300, 360, 16, 16}, "");
    row("m_lblHandsetMuted", "QLabel", c, {200, 380, 91, 16}, "Handset Muted:");
    row("m_HandsetMutedState", "QLabel", c, {300, 380, 16, 16}, "");
    row("m_lblSnoozing", "QLabel", c, {200, 400, 91, 16}, "Snoozing Allowed:");
    row("m_SnoozingAllowed", "QLabel", c, {300, 400, 16, 16}, "");
    row("m_lblForm_12", "QLabel", c, {200, 520, 91, 16}, "Pioneer Command:");
    row("m_txtPionCmd", "QLineEdit", c, {200, 540, 201, 23}, "?V");
    row("m_cmdSendPionCmd", "QPushButton", c, {400, 539, 61, 25}, "Send");
    row("m_lblInfo", "QLabel", c, {470, 0, 411, 561}, nullptr);
    row("m_cmdNotes", "QPushButton", c, {820, 510, 61, 26}, "NOTES");
    row("m_cmdLEDCycleToggle", "QPushButton", c, {580, 540, 111, 26}, "LED CYCLE TOGGLE");
    row("m_cmdRedetectUltimo", "QPushButton", c, {690, 540, 101, 26}, "REDETECT DNT");
    row("m_cmdClearReboots", "QPushButton", c, {790, 540, 91, 26}, "CLR PWRCNT");
    row("m_txtDetails", "QTextEdit", c, {10, 567, 561, 81}, nullptr);
    row("m_fraPrivateSettings", "QFrame", c, {580, 570, 301, 76}, nullptr);
    row("frameDIPSWs", "QFrame", c, {300, 235, 75, 30}, nullptr);
    row("input_1", "QLabel", c, {300, 60, 16, 16}, "");
    row("input_10", "QLabel", c, {320, 80, 16, 16}, "");
    row("input_32", "QLabel", c, {440, 120, 16, 16}, "");
    row("led_1", "QLabel", c, {300, 150, 16, 16}, "");
    row("led_17", "QLabel", c, {300, 190, 16, 16}, "");
    row("led_32", "QLabel", c, {440, 210, 16, 16}, "");
    const char *dip = "frameDIPSWs";
    row("m_DIPSWOff_1", "QLabel", dip, {29, 5, 8, 8}, "");
    row("m_DIPSWOn_4", "QLabel", dip, {59, 15, 8, 8}, "");
    row("m_lblDIPSW_1", "QLabel", dip, {4, 0, 24, 16}, "OFF");
    row("m_lblDIPSW_2", "QLabel", dip, {4, 10, 24, 16}, "ON");
    const char *priv = "m_fraPrivateSettings";
    row("m_lblAssembly", "QLabel", priv, {10, 13, 81, 16}, "Product:");
    row("m_cmbAssembly", "QComboBox", priv, {80, 10, 148, 23}, nullptr);
    row("m_cmdSetProdAssembly", "QPushButton", priv, {230, 10, 61, 24}, "SET");
    row("m_lblMAC", "QLabel", priv, {10, 43, 81, 16}, "MAC Address:");
    row("m_txtMAC", "QLineEdit", priv, {80, 40, 107, 23}, nullptr);
    row("m_cmbMacType", "QComboBox", priv, {189, 40, 60, 23}, nullptr);
    row("m_cmdSetMAC", "QPushButton", priv, {250, 40, 41, 24}, "SET");
    const char *link = "m_fraManualLink";
    row("m_lblForm_13", "QLabel", link, {220, 10, 221, 31}, "Unicast Link");
    row("m_lblForm_14", "QLabel", link, {130, 50, 141, 21}, "Packet being sent to:");
    row("m_lblUALDestinationIP", "QLabel", link, {270, 50, 141, 21}, nullptr);
    row("m_lblForm_15", "QLabel", link, {130, 90, 141, 21}, "New Control IP:");
    row("m_txtUALControlIP", "QLineEdit", link, {270, 90, 201, 23}, "");
    row("imgUALReady_0", "QLabel", link, {470, 90, 16, 23}, "");
    row("m_lblForm_18", "QLabel", link, {130, 180, 141, 21}, "Station Name:");
    row("m_txtUALStationLocalName", "QLineEdit", link, {270, 180, 201, 23}, "");
    row("imgUALReady_NM", "QLabel", link, {470, 180, 16, 23}, "");
    row("m_lblForm_24", "QLabel", link, {130, 310, 141, 21}, "Dante Device Name:");
    row("imgUALReady_ND", "QLabel", link, {470, 310, 16, 23}, "");
    row("m_lblForm_23", "QLabel", link, {130, 350, 141, 21}, "Q-Sys Core IP to link to:");
    row("m_lblForm_17", "QLabel", link, {130, 380, 141, 21}, "Router Input/Station ID:");
    row("m_txtUALStationID", "QLineEdit", link, {270, 380, 201, 23}, "");
    row("imgUALReady_7", "QLabel", link, {470, 380, 16, 23}, "");
    row("line_2", "QFrame", link, {130, 200, 131, 31}, nullptr);
    row("line_3", "QFrame", link, {130, 330, 131, 31}, nullptr);
    row("m_cmdUALGo", "QPushButton", link, {270, 420, 201, 41}, nullptr);
    row("m_cmdUALClose", "QPushButton", link, {545, 510, 131, 41}, "CLOSE");
}

void TestWindowShell::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    // The form as setupUi leaves it, before the window's constructor changes anything.
    QMainWindow form;
    Ui::HVTKUtilitiesClass formUi;
    formUi.setupUi(&form);
    auto *widget = form.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    QCOMPARE(widget->geometry(), geometry);
    if (!text.isNull())
        QCOMPARE(widget->property("text").toString(), text);
    if (className == QLatin1String("QLabel") && text.isEmpty() && !text.isNull()) {
        // Text-less labels are framed indicators.
        QCOMPARE(static_cast<QFrame *>(widget)->frameShape(), QFrame::Box);
    }
}

void TestWindowShell::formBeforeConstruction()
{
    QMainWindow form;
    Ui::HVTKUtilitiesClass ui;
    ui.setupUi(&form);
    QCOMPARE(form.objectName(), QStringLiteral("HVTKUtilitiesClass"));
    for (QLineEdit *field : form.findChildren<QLineEdit *>()) {
        if (field != ui.m_txtPionCmd)
            QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
    }
    QCOMPARE(ui.m_txtPionCmd->text(), QStringLiteral("?V"));
    QCOMPARE(ui.m_cmbAssembly->count(), 0);
    QCOMPARE(ui.m_cmbMacType->count(), 0);
    QCOMPARE(ui.m_lblLEDIntensity->text(), QStringLiteral("0%"));
    QCOMPARE(ui.m_lblUALDestinationIP->text(), QStringLiteral("192.168.0.254"));
    QCOMPARE(ui.m_cmdUALGo->text(), QStringLiteral("SEND"));
    QCOMPARE(ui.m_lblPTT->text(), QStringLiteral("Push To Talk (PTT):"));
    QCOMPARE(ui.m_LEDIntensity->value(), 0);
    QVERIFY(!ui.m_chkIdentifyOnClick->isChecked());
    QVERIFY(ui.m_txtDetails->acceptRichText());
    QVERIFY(!ui.m_lblInfo->wordWrap()); // the window's constructor turns it on
    QCOMPARE(ui.m_fraPrivateSettings->frameShape(), QFrame::NoFrame);
    QCOMPARE(ui.m_fraManualLink->frameShape(), QFrame::Box);
    QCOMPARE(ui.m_fraManualLink->frameShadow(), QFrame::Raised);
    QCOMPARE(ui.frameDIPSWs->frameShape(), QFrame::StyledPanel);
}

void TestWindowShell::fonts()
{
    const QFont list = probe->ui().m_lstDetectedUnits->font();
    QCOMPARE(list.family(), QStringLiteral("Consolas"));
    QCOMPARE(list.pointSize(), 8);
    QVERIFY(!list.bold());
    QCOMPARE(probe->ui().m_cmdWebSrv->font().family(), QStringLiteral("Marlett"));
    QCOMPARE(probe->ui().m_cmdWebSrv->toolTip(), QStringLiteral("Access Webserver"));
    QCOMPARE(probe->ui().m_cmdBdcstSMSelect->toolTip(), QStringLiteral("Set Global"));
    // Without the symbol font the buttons show an arrow instead of a stray letter.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QStringList families = QFontDatabase::families();
#else
    const QStringList families = QFontDatabase().families();
#endif
    if (!families.contains(QStringLiteral("Marlett"))) {
        QVERIFY(!probe->ui().m_cmdWebSrv->icon().isNull());
        QVERIFY(!probe->ui().m_cmdBdcstSMSelect->icon().isNull());
    }
    QCOMPARE(probe->ui().m_lblUALDestinationIP->font().pointSize(), 10);
    QVERIFY(probe->ui().m_lblUALDestinationIP->font().bold());
    QCOMPARE(probe->ui().m_lblForm_13->font().pointSize(), 16);
    QCOMPARE(probe->ui().m_lblForm_13->alignment(), Qt::AlignCenter);
    QVERIFY(probe->ui().m_txtIP->alignment() & Qt::AlignRight);
    QVERIFY(probe->ui().m_txtPionCmd->alignment() & Qt::AlignLeft);
    QCOMPARE(probe->ui().m_lblInfo->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QVERIFY(probe->ui().m_lblInfo->wordWrap());
    QCOMPARE(probe->ui().m_LEDIntensity->maximum(), 100);
    QCOMPARE(probe->ui().m_LEDIntensity->singleStep(), 5);
    QCOMPARE(probe->ui().m_LEDIntensity->pageStep(), 20);
    QVERIFY(probe->ui().m_cmdNotes->isDefault());
    QVERIFY(probe->ui().m_fraManualLink->autoFillBackground());
}

void TestWindowShell::menus()
{
    QMenuBar *bar = window->menuBar();
    QCOMPARE(bar->geometry().height() > 0, true);
    QStringList titles;
    for (QAction *action : bar->actions())
        titles << action->text();
    QCOMPARE(titles, (QStringList{"Test Functions", "Admin", "Help"}));

    auto texts = [](QMenu *menu) {
        QStringList result;
        for (QAction *action : menu->actions())
            result << action->objectName() + '=' + action->text();
        return result;
    };
    QCOMPARE(texts(probe->ui().menuTest_Functions).mid(0, 1),
             QStringList{"actionLED_State_Toggle_ALL=LED State Toggle (ALL)"});
    QCOMPARE(probe->ui().menuTest_Functions->actions().size(), 3);
    QCOMPARE(probe->ui().menuTest_Functions->actions().at(1)->objectName(),
             QStringLiteral("actionRinger_Test"));
    QCOMPARE(probe->ui().menuTest_Functions->actions().at(2)->objectName(),
             QStringLiteral("actionMute_Handset"));
    QCOMPARE(texts(probe->ui().menuAdmin),
             (QStringList{"actionReboot=Reboot", "actionDefaults=Defaults",
                          "actionEnter_Firmware_Update=Enter Firmware Update",
                          "actionManual_Link_unicast=Manual Link (unicast)"}));
    QCOMPARE(texts(probe->ui().menuHelp), QStringList{"actionAbout=About"});
    QCOMPARE(probe->ui().actionAbout->parent(), window.get());
}

void TestWindowShell::stackingOrder()
{
    QStringList order;
    for (QObject *child : probe->ui().centralwidget->children()) {
        if (child->isWidgetType())
            order << child->objectName();
    }
    QCOMPARE(order.first(), QStringLiteral("m_lblInfo"));
    QCOMPARE(order.mid(order.size() - 4),
             (QStringList{"m_fraManualLink", "m_txtScanSM", "m_lblForm_2", "m_cmdBdcstSMSelect"}));
    // Every button drawn over the report's area lies above it.
    QVERIFY(order.indexOf("m_cmdNotes") > order.indexOf("m_lblInfo"));
}

void TestWindowShell::focusOrder()
{
    const QStringList expected{
        "m_txtPionCmd", "m_cmdSetProdAssembly", "m_cmdSetMAC", "m_cmbMacType", "m_txtMAC",
        "m_cmbAssembly", "m_txtDetails", "m_txtIP", "m_cmdSendPionCmd", "m_cmdClearReboots",
        "m_LEDIntensity", "m_cmdRedetectUltimo", "m_cmdNotes", "m_lstDetectedUnits",
        "m_cmdLEDCycleToggle", "m_chkIdentifyOnClick", "m_cmdWebSrv", "m_txtUALControlIP",
        "m_txtUALControlSM", "m_txtUALControlGW", "m_txtUALDanteIP", "m_txtUALDanteSM",
        "m_txtUALDanteGW", "m_txtUALQsysIP", "m_txtUALStationID", "m_txtUALStationLocalName",
        "m_cmdUALClose", "m_cmdUALGo", "m_txtUALStationDanteName", "m_txtScanSM",
        "m_cmdBdcstSMSelect"};
    QWidget *start = window->findChild<QWidget *>(expected.first());
    QStringList chain;
    QWidget *widget = start;
    do {
        if (expected.contains(widget->objectName()) && !chain.contains(widget->objectName()))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start);
    QCOMPARE(chain, expected);
}

void TestWindowShell::slotTable()
{
    const QStringList expected{
        "on_m_cmbAssembly_currentIndexChanged(int)", "on_m_cmbMacType_currentIndexChanged(int)",
        "on_m_txtIP_textChanged()", "on_m_txtScanSM_textChanged()",
        "on_m_txtUALControlIP_textChanged()", "on_m_txtUALControlSM_textChanged()",
        "on_m_txtUALControlGW_textChanged()", "on_m_txtUALStationLocalName_textChanged()",
        "on_m_txtUALDanteIP_textChanged()", "on_m_txtUALDanteSM_textChanged()",
        "on_m_txtUALDanteGW_textChanged()", "on_m_txtUALStationDanteName_textChanged()",
        "on_m_txtUALQsysIP_textChanged()", "on_m_txtUALStationID_textChanged()",
        "on_m_LEDIntensity_valueChanged()", "on_m_lstDetectedUnits_itemClicked(QListWidgetItem*)",
        "on_m_cmdSetProdAssembly_clicked()", "on_m_cmdSetMAC_clicked()",
        "on_m_cmdLEDCycleToggle_clicked()", "on_m_cmdRedetectUltimo_clicked()",
        "on_m_cmdClearReboots_clicked()", "on_m_cmdSendPionCmd_clicked()",
        "on_m_cmdBdcstSMSelect_clicked()", "on_m_cmdWebSrv_clicked()", "on_m_cmdUALGo_clicked()",
        "on_m_cmdUALClose_clicked()", "on_m_cmdNotes_clicked()", "assignMenuActions()",
        "displayMacType(bool,bool)", "setOnlineUI(bool)", "readSettingsAndData()",
        "scanNetwork()", "setLEDIntensity()", "readPendingBroadcastResponse()",
        "readPendingUnicastResponse()", "ledStateToggle()", "sonalertTest()",
        "muteHandsetToggle()", "reboot()", "loadDefaults()", "firmwareUpdateMode()",
        "showManualLink()", "showAboutMessage()", "displayErrors()", "connectToUnit()",
        "updateUALStates()"};

    const QMetaObject &meta = HVTKUtilities::staticMetaObject;
    QCOMPARE(QString::fromLatin1(meta.className()), QStringLiteral("HVTKUtilities"));
    QCOMPARE(meta.superClass(), &QMainWindow::staticMetaObject);
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QStringList signatures;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        signatures << QString::fromLatin1(method.methodSignature());
    }
    QCOMPARE(signatures, expected);
    const QMetaMethod checklist = meta.method(meta.indexOfSlot("displayErrors()"));
    QCOMPARE(checklist.returnType(), int(QMetaType::QString));
}

void TestWindowShell::constructionState()
{
    const Ui::HVTKUtilitiesClass &ui = probe->ui();
    QVERIFY(!ui.m_fraManualLink->isVisible() && ui.m_fraManualLink->isHidden());
    QStringList models;
    for (int i = 0; i < ui.m_cmbAssembly->count(); ++i)
        models << ui.m_cmbAssembly->itemText(i);
    QCOMPARE(models, (QStringList{"HV4", "HV4X", "HV4K", "HV12X", "HV16", "HV16K", "HV32K",
                                  "TK4K", "TK12X", "TK32K", "UNKNOWN"}));
    QCOMPARE(ui.m_cmbMacType->count(), 2);
    QCOMPARE(ui.m_cmbMacType->itemText(0), QStringLiteral("Local"));
    QCOMPARE(ui.m_cmbMacType->itemText(1), QStringLiteral("DanteRef"));
    QVERIFY(probe->confirmAssembly());
    QVERIFY(!probe->online());
    QVERIFY(!probe->privateMode());
    QCOMPARE(probe->rowPrefix(), QStringLiteral("<tr><td>"));
    QCOMPARE(int(probe->scanStep()), 7);
    QVERIFY(!probe->scanMaskEdited());
    QVERIFY(!probe->restartPending() && !probe->defaultsPending() && !probe->firmwareUpdatePending());
    QVERIFY(!probe->ipSetByProgram() && !probe->assemblySetByProgram());

    QVERIFY(probe->scanTimer()->isActive());
    QCOMPARE(probe->scanTimer()->interval(), 100);
    QVERIFY(probe->checklistTimer()->isActive());
    QCOMPARE(probe->checklistTimer()->interval(), 200);
    QVERIFY(!probe->intensityTimer()->isActive());

    QLabel *version = WindowProbe::versionLabel();
    QVERIFY(version);
    QVERIFY(ui.statusbar->isAncestorOf(version));
    for (int n = 1; n <= 32; ++n) {
        QCOMPARE(probe->input(n)->objectName(), QStringLiteral("input_%1").arg(n));
        QCOMPARE(probe->led(n)->objectName(), QStringLiteral("led_%1").arg(n));
    }
    for (int bit = 0; bit < 8; ++bit)
        QCOMPARE(probe->ualLamp(bit)->objectName(), QStringLiteral("imgUALReady_%1").arg(bit));
}

void TestWindowShell::defaultAddressFromHost_data()
{
    QTest::addColumn<QStringList>("interfaces");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("polling");
    QTest::newRow("factory subnet") << QStringList{"127.0.0.1", "192.168.0.17"} << "192.168.0.254"
                                    << true;
    QTest::newRow("other subnet") << QStringList{"10.1.2.3"} << "10.1.2.3" << true;
    QTest::newRow("IPv6 only") << QStringList{"::1", "fe80::1"} << "" << false;
}

void TestWindowShell::defaultAddressFromHost()
{
    QFETCH(QStringList, interfaces);
    QFETCH(QString, field);
    QFETCH(bool, polling);
    s_fakeInterfaces = interfaces;
    setInterfaceAddressSource(&TestWindowShell::fakeHost);
    openWindow();
    QCOMPARE(probe->ui().m_txtIP->text(), field);
    QVERIFY(!probe->ipSetByProgram());
    // Written by the program, so the discovery stepping was not restarted by it.
    QCOMPARE(int(probe->scanStep()), 7);
    QCOMPARE(probe->pollTimer()->isActive(), polling);
    if (polling)
        QCOMPARE(probe->pollTimer()->interval(), 10);
}

void TestWindowShell::socketsAreBound()
{
    QCOMPARE(probe->unicastSocket()->localPort(), quint16(1234));
    QCOMPARE(probe->broadcastSocket()->localPort(), quint16(1235));
    QCOMPARE(probe->unicastSocket()->parent(), window.get());
}

void TestWindowShell::sendRefusesInvalidAddress_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("empty") << QString();
    QTest::newRow("host name") << QStringLiteral("unit-17.local");
    QTest::newRow("octet out of range") << QStringLiteral("300.1.1.1");
    QTest::newRow("incomplete") << QStringLiteral("192.168.0.");
}

void TestWindowShell::sendRefusesInvalidAddress()
{
    QFETCH(QString, field);
    DatagramCapture unit;
    QVERIFY(unit.bind(QHostAddress("192.168.0.254")));
    probe->ui().m_txtIP->setText(field);
    probe->pollTimer()->stop();
    probe->pollTimer()->start(2000);
    probe->awaitingReply() = false;

    const QHostAddress address = probe->validatedUnitAddress(
        QStringLiteral("Status: Unable to send.  Invalid IP."));
    QVERIFY(address.isNull());
    QCOMPARE(probe->ui().statusbar->currentMessage(),
             QStringLiteral("Status: Unable to send.  Invalid IP."));
    // Nothing changed: polling runs on, no reply is awaited.
    QVERIFY(probe->pollTimer()->isActive());
    QVERIFY(!probe->awaitingReply());
    QTest::qWait(100);
    QVERIFY(unit.datagrams().isEmpty());
}

void TestWindowShell::sendProcedure()
{
    DatagramCapture unit;
    // The units' port written out: the other suites take it from the program.
    QVERIFY(unit.bind(QHostAddress("192.168.0.254"), 2638));
    probe->ui().m_txtIP->setText(QStringLiteral("192.168.0.254"));
    probe->pollTimer()->start(2000);

    const QHostAddress address = probe->validatedUnitAddress(QStringLiteral("unused"));
    QCOMPARE(address, QHostAddress("192.168.0.254"));
    probe->sendCommand(address, CommandText::reboot(), QStringLiteral("Status: Rebooting..."),
                       WindowProbe::RestartPending);
    QVERIFY(!probe->pollTimer()->isActive());
    QVERIFY(probe->awaitingReply());
    QVERIFY(probe->restartPending());
    QVERIFY(!probe->rawReplyExpected() && !probe->defaultsPending());
    QCOMPARE(probe->ui().statusbar->currentMessage(), QStringLiteral("Status: Rebooting..."));

    QTRY_COMPARE(unit.payloads().count(QByteArray("XX\r")), 1);
    const auto datagram = unit.datagrams().constLast();
    QCOMPARE(datagram.data, QByteArray("XX\r"));
    QCOMPARE(datagram.senderPort, quint16(1234));
}

QTEST_MAIN(TestWindowShell)
#include "tst_windowshell.moc"
