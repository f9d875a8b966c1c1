#include "support/messageboxdriver.h"
#include "support/windowsuite.h"

#include <QtTest>
#include <QtWidgets>

// Choosing the assembly in the window: indicators in use and their frames,
// intercom-only items, the compatibility question, the MAC type box and the
// MAC row layout.
namespace {

constexpr int Unknown = 10;
const QString Grey = QStringLiteral("QLabel { background-color : #E7E7E7 }");
const QString Black = QStringLiteral("QLabel { background-color : black }");

} // namespace

class TestAssemblySelection : public WindowSuite
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void countsAndFraming_data();
    void countsAndFraming();
    void compatibilityQuestion_data();
    void compatibilityQuestion();
    void noQuestion_data();
    void noQuestion();
    void programWritesAreNotSelections();
    void macType_data();
    void macType();
    void macRowLayout();
    void macRowLayoutOnlyWhenChangedOrForced();
    void macTypeShownForCompatibilityUnitInPrivateMode();

private:
    // Puts the box on `index` as the accepted assembly, without the handler.
    void startFrom(int index);
};

void TestAssemblySelection::init()
{
    openWindow(StopPolling | StopScan);
}

void TestAssemblySelection::cleanup()
{
    closeWindow();
}

void TestAssemblySelection::startFrom(int index)
{
    probe->assemblySetByProgram() = true;
    probe->ui().m_cmbAssembly->setCurrentIndex(index);
    probe->assemblySetByProgram() = false;
    probe->assembly() = quint8(index);
}

void TestAssemblySelection::countsAndFraming_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("intercom");
    QTest::addColumn<bool>("ultimoX");

    QTest::newRow("HV4") << Unknown << 0 << 4 << false << false;
    QTest::newRow("HV4X") << Unknown << 1 << 4 << false << true;
    QTest::newRow("HV4K") << Unknown << 2 << 4 << false << true;
    QTest::newRow("HV12X") << Unknown << 3 << 12 << false << true;
    QTest::newRow("HV16") << Unknown << 4 << 16 << false << false;
    QTest::newRow("HV16K") << Unknown << 5 << 16 << false << true;
    QTest::newRow("HV32K") << Unknown << 6 << 32 << false << true;
    QTest::newRow("TK4K") << Unknown << 7 << 4 << true << true;
    QTest::newRow("TK12X") << Unknown << 8 << 12 << true << true;
    QTest::newRow("TK32K") << Unknown << 9 << 32 << true << true;
    QTest::newRow("UNKNOWN") << 8 << Unknown << 32 << false << false;
}

void TestAssemblySelection::countsAndFraming()
{
    QFETCH(int, from);
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(bool, intercom);
    QFETCH(bool, ultimoX);

    startFrom(from);
    // Leftovers of the previous assembly must not survive the change.
    for (int n = 1; n <= 32; ++n) {
        probe->input(n)->setStyleSheet("QLabel { background-color : lime }");
        probe->led(n)->setStyleSheet("QLabel { background-color : red }");
    }
    MessageBoxDriver boxes;
    boxes.pressEscape();
    probe->ui().m_cmbAssembly->setCurrentIndex(index);
    QCOMPARE(boxes.boxCount(), 0);

    QCOMPARE(int(probe->assembly()), index);
    QCOMPARE(int(probe->inputCount()), count);
    QCOMPARE(int(probe->ledCount()), count);
    QCOMPARE(probe->intercomModel(), intercom);
    QCOMPARE(probe->ultimoXModel(), ultimoX);
    QCOMPARE(probe->status().hasCondition(ModelInvalid), index == Unknown);
    QCOMPARE(probe->ui().m_cmdSetProdAssembly->isEnabled(), index != Unknown);

    for (int n = 1; n <= 32; ++n) {
        const bool used = n <= count;
        for (QLabel *indicator : {probe->input(n), probe->led(n)}) {
            QCOMPARE(indicator->styleSheet(), used ? Black : Grey);
            QCOMPARE(indicator->frameShape(), used ? QFrame::Box : QFrame::NoFrame);
        }
    }

    Ui::HVTKUtilitiesClass &ui = probe->ui();
    QCOMPARE(ui.actionRinger_Test->isVisible(), intercom);
    QCOMPARE(ui.actionMute_Handset->isVisible(), intercom);
    for (QWidget *w : {static_cast<QWidget *>(ui.m_lblSonalert), static_cast<QWidget *>(ui.m_SonalertState),
                       static_cast<QWidget *>(ui.m_lblHandsetMuted), static_cast<QWidget *>(ui.m_HandsetMutedState),
                       static_cast<QWidget *>(ui.m_lblSnoozing), static_cast<QWidget *>(ui.m_SnoozingAllowed)})
        QCOMPARE(w->isVisibleTo(window.get()), intercom);
    QCOMPARE(ui.m_lblPTT->text(), intercom ? QStringLiteral("Handset:") : QStringLiteral("Push-To-Talk"));
}

void TestAssemblySelection::compatibilityQuestion_data()
{
    QTest::addColumn<QString>("chip");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<bool>("accepted");

    const int yesNo = int(QMessageBox::Yes | QMessageBox::No);
    const int ok = int(QMessageBox::Ok);
    QTest::newRow("HV16K to HV16, yes") << "Ultimo" << 5 << 4 << "yes" << yesNo << true;
    QTest::newRow("HV16K to HV16, no") << "Ultimo" << 5 << 4 << "no" << yesNo << false;
    QTest::newRow("HV16K to HV16, escape") << "Ultimo" << 5 << 4 << "escape" << yesNo << false;
    QTest::newRow("HV4K to HV4, yes") << "Ultimo" << 2 << 0 << "yes" << yesNo << true;
    QTest::newRow("no chip reported, yes") << "" << 6 << 0 << "yes" << yesNo << true;
    QTest::newRow("UltimoX2, ok") << "UltimoX2" << 5 << 4 << "ok" << ok << false;
    QTest::newRow("UltimoX2, escape") << "UltimoX2" << 2 << 0 << "escape" << ok << false;
    // A chip name that merely starts like the UltimoX one is asked about.
    QTest::newRow("UltimoX, yes") << "UltimoX" << 5 << 4 << "yes" << yesNo << true;
}

void TestAssemblySelection::compatibilityQuestion()
{
    QFETCH(QString, chip);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, answer);
    QFETCH(int, buttons);
    QFETCH(bool, accepted);

    startFrom(from);
    probe->ui().m_cmbAssembly->setCurrentIndex(from == 5 ? 6 : 5); // a real change first
    probe->ui().m_cmbAssembly->setCurrentIndex(from);
    QCOMPARE(int(probe->assembly()), from);
    const int countBefore = probe->inputCount();
    const quint16 flagsBefore = probe->status().conditionFlags;
    probe->status().danteChipModel = chip;

    MessageBoxDriver boxes;
    if (answer == "yes")
        boxes.click(QMessageBox::Yes);
    else if (answer == "no")
        boxes.click(QMessageBox::No);
    else if (answer == "ok")
        boxes.click(QMessageBox::Ok);
    else
        boxes.pressEscape();
    probe->ui().m_cmbAssembly->setCurrentIndex(to);

    QCOMPARE(boxes.boxCount(), 1);
    QCOMPARE(boxes.lastBox().text, QStringLiteral("Attempting to select compatibility model."));
    QCOMPARE(boxes.lastBox().informativeText,
             chip == "UltimoX2" ? QStringLiteral("UltimoX chip detected.  Action disallowed.")
                                : QStringLiteral("Are you sure this is an Ultimo (NOT UltimoX) assembly?"));
    QCOMPARE(int(boxes.lastBox().buttons), buttons);
    QCOMPARE(boxes.lastBox().modality, Qt::ApplicationModal);

    if (accepted) {
        QCOMPARE(probe->ui().m_cmbAssembly->currentIndex(), to);
        QCOMPARE(int(probe->assembly()), to);
        QCOMPARE(int(probe->inputCount()), to == 4 ? 16 : 4);
        QVERIFY(!probe->ultimoXModel());
        QVERIFY(probe->ui().m_cmdSetProdAssembly->isEnabled());
    } else {
        QCOMPARE(probe->ui().m_cmbAssembly->currentIndex(), Unknown);
        QCOMPARE(int(probe->assembly()), from);
        QCOMPARE(int(probe->inputCount()), countBefore);
        QCOMPARE(probe->status().conditionFlags, flagsBefore);
        QVERIFY(!probe->ui().m_cmdSetProdAssembly->isEnabled());
    }
}

void TestAssemblySelection::noQuestion_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("UNKNOWN to HV4") << Unknown << 0;
    QTest::newRow("UNKNOWN to HV16") << Unknown << 4;
    QTest::newRow("HV16K to HV4X") << 5 << 1;
    QTest::newRow("HV4 to HV16K") << 0 << 5;
}

void TestAssemblySelection::noQuestion()
{
    QFETCH(int, from);
    QFETCH(int, to);
    startFrom(from);
    probe->status().danteChipModel = QStringLiteral("UltimoX2");
    MessageBoxDriver boxes;
    boxes.pressEscape();
    probe->ui().m_cmbAssembly->setCurrentIndex(to);
    QCOMPARE(boxes.boxCount(), 0);
    QCOMPARE(int(probe->assembly()), to);
}

void TestAssemblySelection::programWritesAreNotSelections()
{
    startFrom(5);
    probe->assemblySetByProgram() = true;
    probe->ui().m_cmbAssembly->setCurrentIndex(Unknown);
    QVERIFY(!probe->ui().m_cmdSetProdAssembly->isEnabled());
    probe->ui().m_cmbAssembly->setCurrentIndex(4);
    QVERIFY(probe->ui().m_cmdSetProdAssembly->isEnabled());
    probe->assemblySetByProgram() = false;
    QCOMPARE(int(probe->assembly()), 5);
}

void TestAssemblySelection::macType_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("danteMacInvalid");
    QTest::addColumn<QString>("shown");
    QTest::newRow("local") << 0 << true << "02:4B:7D:00:00:FE";
    QTest::newRow("dante ref") << 1 << false << "00:1D:C1:07:00:FE";
    QTest::newRow("dante ref to program") << 1 << true << "00:1D:C1:07::";
}

void TestAssemblySelection::macType()
{
    QFETCH(int, index);
    QFETCH(bool, danteMacInvalid);
    QFETCH(QString, shown);

    probe->status().controlMacText = QStringLiteral("02:4B:7D:00:00:FE");
    probe->status().danteMacText = QStringLiteral("00:1D:C1:07:00:FE");
    probe->status().setCondition(DanteMacInvalid, danteMacInvalid);
    probe->ui().m_txtMAC->setText(QStringLiteral("typed"));
    QComboBox *type = probe->ui().m_cmbMacType;
    type->setCurrentIndex(1 - index);
    type->setCurrentIndex(index);
    QCOMPARE(probe->ui().m_txtMAC->text(), shown);

    // An empty box changes nothing.
    probe->ui().m_txtMAC->setText(QStringLiteral("typed"));
    type->setCurrentIndex(-1);
    QCOMPARE(probe->ui().m_txtMAC->text(), QStringLiteral("typed"));
}

void TestAssemblySelection::macRowLayout()
{
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    probe->displayMacType(true, true);
    QVERIFY(!ui.m_cmbMacType->isHidden());
    QCOMPARE(ui.m_txtMAC->geometry(), QRect(80, 40, 107, 23));
    QCOMPARE(ui.m_cmdSetMAC->geometry(), QRect(189 + 60 + 2, 40, 41, 24));

    probe->displayMacType(false, false);
    QVERIFY(ui.m_cmbMacType->isHidden());
    QCOMPARE(ui.m_txtMAC->geometry(), QRect(80, 40, 148, 23));
    QCOMPARE(ui.m_cmdSetMAC->geometry(), QRect(80 + 148 + 2, 40, 61, 24));
}

void TestAssemblySelection::macRowLayoutOnlyWhenChangedOrForced()
{
    Ui::HVTKUtilitiesClass &ui = probe->ui();
    probe->displayMacType(true, false);
    const QRect laidOut = ui.m_cmdSetMAC->geometry();
    ui.m_cmdSetMAC->move(0, 40);
    probe->displayMacType(true, false); // nothing to change: layout stays as it is
    QCOMPARE(ui.m_cmdSetMAC->pos(), QPoint(0, 40));
    probe->displayMacType(true, true);
    QCOMPARE(ui.m_cmdSetMAC->geometry(), laidOut);

    // The window switching its appearance lays the row out every time.
    ui.m_cmdSetMAC->move(0, 40);
    probe->setOnlineUI(probe->online());
    QVERIFY(ui.m_cmdSetMAC->x() != 0);
}

void TestAssemblySelection::macTypeShownForCompatibilityUnitInPrivateMode()
{
    probe->online() = true;
    probe->privateMode() = true;
    probe->status().ultimoBusOnline = false;
    startFrom(5);
    probe->displayMacType(false, true);
    probe->ui().m_cmbAssembly->setCurrentIndex(Unknown);
    QVERIFY(!probe->ui().m_cmbMacType->isHidden());
    QCOMPARE(probe->ui().m_txtMAC->width(), 107);

    probe->ui().m_cmbAssembly->setCurrentIndex(6);
    QVERIFY(probe->ui().m_cmbMacType->isHidden());
    QCOMPARE(probe->ui().m_txtMAC->width(), 148);
}

QTEST_MAIN(TestAssemblySelection)
#include "tst_assemblyselection.moc"
