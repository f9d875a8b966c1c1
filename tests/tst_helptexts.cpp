#include "commands/helptexts.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <QtTest>

// The fixed texts of the About and notes boxes and the portal address.
class TestHelpTexts : public QObject
{
    Q_OBJECT

private slots:
    void aboutBoxNamesProgramAndVersion();
    void aboutBoxVersionIsTheProjectVersion();
    void notesAreFourParagraphsInOrder();
    void notesKeepDoubleSpacesAndQuotes();
    void portalUrl_data();
    void portalUrl();
};

void TestHelpTexts::aboutBoxNamesProgramAndVersion()
{
    QCOMPARE(HelpText::aboutTitle(), QStringLiteral("About Halvo+Tesk Utilities"));

    // Name and version, then two paragraphs, each after two line breaks and a space.
    const QStringList paragraphs = HelpText::aboutText().split(QStringLiteral("\n\n"));
    QCOMPARE(paragraphs.size(), 3);
    QCOMPARE(paragraphs[0], QStringLiteral("Halvo+Tesk Utilities v1.01"));
    for (int i = 1; i < 3; ++i) {
        QVERIFY2(paragraphs[i].startsWith(QLatin1Char(' ')), qPrintable(paragraphs[i]));
        QVERIFY(paragraphs[i].trimmed().size() > 20);
        QVERIFY(!paragraphs[i].contains(QLatin1Char('\n')));
    }
    QVERIFY(paragraphs[1].contains(QStringLiteral("support")));
}

// The version comes from project() in the top-level CMakeLists.txt, read
// here from the file itself.
void TestHelpTexts::aboutBoxVersionIsTheProjectVersion()
{
    // By the source folder's path: with ccache's base folder the compiler
    // sees relative paths, and this file's own path is no guide.
    QFile cmakeLists(QStringLiteral(HVTK_SOURCE_DIR "/CMakeLists.txt"));
    QVERIFY(cmakeLists.open(QIODevice::ReadOnly | QIODevice::Text));
    const QRegularExpression project(QStringLiteral("project\\(hvtk-utilities VERSION ([0-9.]+)"));
    const QRegularExpressionMatch match = project.match(QString::fromUtf8(cmakeLists.readAll()));
    QVERIFY(match.hasMatch());
    const QString title = QStringLiteral("Halvo+Tesk Utilities v") + match.captured(1);
    QCOMPARE(HelpText::programTitle(), title);
    QVERIFY(HelpText::aboutText().startsWith(title + QStringLiteral("\n\n ")));
}

void TestHelpTexts::notesAreFourParagraphsInOrder()
{
    const QString notes = HelpText::serviceNotes();
    QVERIFY(notes.endsWith(QStringLiteral("\n\n")));
    QVERIFY(!notes.endsWith(QStringLiteral("\n\n\n")));

    const QStringList paragraphs = notes.split(QStringLiteral("\n\n"));
    QCOMPARE(paragraphs.size(), 5); // four notes and the empty rest after the last break
    QVERIFY(paragraphs[4].isEmpty());
    QVERIFY(paragraphs[0].startsWith(QStringLiteral("SPECIAL RARE CASE: ")));
    QVERIFY(paragraphs[0].endsWith(QStringLiteral("CONTACT ORLAN IF ERROR PERSISTS.")));
    QVERIFY(paragraphs[1].startsWith(QStringLiteral("Silver faceplate units (RMAs)")));
    QVERIFY(paragraphs[1].endsWith(QStringLiteral("bootloader v1.0.5+")));
    QVERIFY(paragraphs[2].startsWith(QStringLiteral("Bootloader v1.0.3 and/or Firmware v1.08")));
    QVERIFY(paragraphs[2].endsWith(QStringLiteral("On newer versions it's 192.168.0.254")));

    // The revision chart: a heading and four lines.
    const QStringList chart = paragraphs[3].split(QLatin1Char('\n'));
    QCOMPARE(chart, QStringList({QStringLiteral("HV4/HV16 Controller PCB revision chart and notes:"),
                                 QStringLiteral("RevA - do not ship."),
                                 QStringLiteral("RevB - do not ship."),
                                 QStringLiteral("RevC - require Dante MAC reference to be programmed"),
                                 QStringLiteral("RevD+ - no special action required.")}));
}

void TestHelpTexts::notesKeepDoubleSpacesAndQuotes()
{
    const QString notes = HelpText::serviceNotes();
    QVERIFY(notes.contains(QStringLiteral("WHEN \"ULTIMO BUS\" SHOWS \"OFFLINE [REQUIRED]\".  FIRST")));
    QVERIFY(notes.contains(QStringLiteral("OR \"HV4\" AS DEFAULT AND WAIT UNTIL ERROR DISSAPEARS.  ")));
    QVERIFY(notes.contains(QStringLiteral("updated.  If you must, do NOT use v1.0.5+.  Latest")));
    QVERIFY(notes.contains(QStringLiteral("(including those with with black faceplate)")));
    QVERIFY(notes.contains(QStringLiteral("set to 192.68.1.250.  On newer")));
    QCOMPARE(notes.count(QStringLiteral(".  ")), 6);
    QCOMPARE(HelpText::notesText(), QStringLiteral("Information"));
}

void TestHelpTexts::portalUrl_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host");

    QTest::newRow("default unit") << "192.168.0.254" << "http://192.168.0.254/" << "192.168.0.254";
    QTest::newRow("other subnet") << "10.1.2.3" << "http://10.1.2.3/" << "10.1.2.3";
    QTest::newRow("ipv6 in brackets") << "fd00::5" << "http://[fd00::5]/" << "fd00::5";
}

void TestHelpTexts::portalUrl()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, host);

    QCOMPARE(HelpText::portalUrl(field), text);
    const QUrl url(HelpText::portalUrl(field), QUrl::TolerantMode);
    QVERIFY(url.isValid());
    QCOMPARE(url.scheme(), QStringLiteral("http"));
    QCOMPARE(url.host(), host);
    QCOMPARE(url.path(), QStringLiteral("/"));
    QCOMPARE(url.port(), -1);
}

QTEST_GUILESS_MAIN(TestHelpTexts)
#include "tst_helptexts.moc"
