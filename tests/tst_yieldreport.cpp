// hvtk-check --report against a ledger of known records: several days and
// models, units that failed their first verdict and passed their last (or
// the other way round), rows at the very edges of a day, the period's
// bounds, the JSON figures, the chart, and what is refused.
#include "gate/ledgerschema.h"

#include <QtSql>

#include <QtTest>

namespace {

const QString Program = QStringLiteral(HVTK_CHECK_PROGRAM);
const QString Dip = QStringLiteral("-ALL DIP SWITCHES MUST BE SET TO OFF (UP).");
const QString Led = QStringLiteral("-LED INTENSITY NOT AT 100%");
const QString Model = QStringLiteral("-PROGRAMMED AS HV4; THIS LINE BUILDS HV4K.");

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runCheck(const QStringList &arguments)
{
    QProcess process;
    // A line PC's session has a runtime folder; without one Qt says so on stderr.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("XDG_RUNTIME_DIR"))) {
        static QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    }
    process.setProcessEnvironment(environment);
    process.start(Program, arguments);
    Run run;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

struct Row
{
    QString judgedAt;
    QString model;
    QString controlMac;
    QString danteMac;
    bool ready;
    QStringList checklist;
    QString failure;
};

// U1..U9 by their Dante MACs (U3 by its control MAC, U4 by nothing).
const QList<Row> Rows{
    {"2026-12-06T15:00:00.000Z", "HV4K", "02:4B:7D:00:00:08", "00:1D:C1:07:00:08", false, {Dip}, ""},
    {"2026-12-07T08:00:00.000Z", "HV4K", "02:4B:7D:00:00:08", "00:1D:C1:07:00:08", true, {}, ""},
    {"2026-12-07T09:00:00.000Z", "HV4K", "02:4B:7D:00:00:01", "00:1D:C1:07:00:01", false, {Dip}, ""},
    {"2026-12-07T09:05:00.000Z", "HV4K", "02:4B:7D:00:00:01", "00:1D:C1:07:00:01", true, {}, ""},
    {"2026-12-07T10:00:00.000Z", "HV4K", "02:4B:7D:00:00:02", "00:1D:C1:07:00:02", true, {}, ""},
    {"2026-12-07T11:00:00.000Z", "", "", "", false, {}, ""},
    {"2026-12-07T23:59:59.999Z", "TK12X", "02:4B:7D:00:00:03", "", false, {Led}, "master list exhausted"},
    {"2026-12-08T00:00:00.000Z", "HV4K", "02:4B:7D:00:00:05", "00:1D:C1:07:00:05", false, {Dip, Led}, ""},
    {"2026-12-08T08:00:00.000Z", "TK12X", "02:4B:7D:00:00:03", "", false, {Led}, ""},
    {"2026-12-08T12:00:00.000Z", "TK12X", "02:4B:7D:00:00:06", "00:1D:C1:07:00:06", true, {}, ""},
    {"2026-12-08T13:00:00.000Z", "HV4", "02:4B:7D:00:00:09", "00:1D:C1:07:00:09", false, {Model}, ""},
    {"2026-12-08T13:01:00.000Z", "HV4K", "02:4B:7D:00:00:09", "00:1D:C1:07:00:09", true, {}, ""},
    {"2026-12-09T09:00:00.000Z", "HV4K", "02:4B:7D:00:00:05", "00:1D:C1:07:00:05", true, {}, ""},
    {"2026-12-09T09:30:00.000Z", "HV4K", "02:4B:7D:00:00:07", "00:1D:C1:07:00:07", true, {}, ""},
    {"2026-12-09T10:00:00.000Z", "HV4K", "02:4B:7D:00:00:01", "00:1D:C1:07:00:01", false, {Dip}, ""},
};

// The MACs the ledger handed out: four of the master list, one of another.
const char *const IssuedMacs =
    "INSERT INTO issued_macs (mac, station, run_id, issued_at, outcome) VALUES "
    "('02:4B:7D:00:00:00', 'line3-pc', 'run', '2026-12-08T08:00:00.000Z', 'programmed'), "
    "('02:4B:7D:00:00:01', 'line3-pc', 'run', '2026-12-08T08:00:00.000Z', 'programmed'), "
    "('02:4B:7D:00:00:0F', 'line3-pc', 'run', '2026-12-08T08:00:00.000Z', 'programmed'), "
    "('02:4B:7D:00:00:08', 'line3-pc', 'run', '2026-12-08T08:00:00.000Z', 'programmed'), "
    "('02:4B:7D:00:01:00', 'line3-pc', 'run', '2026-12-08T08:00:00.000Z', 'programmed')";

// Writes the rows into a new ledger at `path`, in a shuffled order: the
// report goes by the time judged, not by the row's place.
QString writeLedger(const QString &path, const QList<Row> &rows)
{
    QString error;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        database.setDatabaseName(path);
        QSqlQuery query(database);
        // The ledger's own schema, as hvtk-check --create-ledger makes it.
        if (!database.open() || !LedgerSchema::create(database, &error) || !query.exec(QLatin1String(IssuedMacs)))
            error += database.lastError().text() + query.lastError().text();
        for (int i = 0; error.isEmpty() && i < rows.size(); ++i) {
            const Row &row = rows[(i * 7) % rows.size()];
            query.prepare(QStringLiteral(
                "INSERT INTO unit_records (run_id, station, version, judged_at, address, model, control_mac, "
                "dante_mac, ready, checklist, programming_failure, record) "
                "VALUES ('run', 'line3-pc', '1.01', ?, '192.168.0.21', ?, ?, ?, ?, ?, ?, '{}')"));
            for (const QVariant &value : {QVariant(row.judgedAt), QVariant(row.model), QVariant(row.controlMac),
                                          QVariant(row.danteMac), QVariant(row.ready ? 1 : 0),
                                          QVariant(QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(
                                                                         row.checklist)).toJson(QJsonDocument::Compact))),
                                          QVariant(row.failure)})
                query.addBindValue(value);
            if (!query.exec())
                error = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
    return error;
}

// "DAY MODEL units firstPassReady finalReady" of each group, then "total ...".
QStringList figures(const QJsonObject &report)
{
    QStringList lines;
    for (const QJsonValue &group : report["groups"].toArray())
        lines << QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(group["day"].toString(), group["model"].toString())
                     .arg(group["units"].toInt())
                     .arg(group["firstPassReady"].toInt())
                     .arg(group["finalReady"].toInt());
    const QJsonObject total = report["total"].toObject();
    lines << QStringLiteral("total %1 %2 %3")
                 .arg(total["units"].toInt())
                 .arg(total["firstPassReady"].toInt())
                 .arg(total["finalReady"].toInt());
    return lines;
}

} // namespace

class TestYieldReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reportText();
    void reportFigures_data();
    void reportFigures();
    void chart();
    void refused_data();
    void refused();

private:
    QTemporaryDir m_dir;
    QString m_ledger;
};

void TestYieldReport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_ledger = m_dir.filePath(QStringLiteral("line3.db"));
    const QString error = writeLedger(m_ledger, Rows);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestYieldReport::reportText()
{
    const QString pool = m_dir.filePath(QStringLiteral("macs"));
    QFile list(pool);
    QVERIFY(list.open(QIODevice::WriteOnly) && list.write("02:4B:7D:00:00:00-02:4B:7D:00:00:0F\n") > 0);
    list.close();
    const Run run = runCheck(
        {"--report", "--ledger", m_ledger, "--since", "2026-12-07", "--until", "2026-12-08", "--mac-pool", pool});
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    const QString expected = QStringLiteral(
        "Yield per day and model, 2026-12-07 to 2026-12-08 (days in UTC; a unit counts on the day of its first "
        "verdict, under the model of its last)\n"
        "\n"
        "2026-12-07  (no model)\n"
        "  Units judged:      1\n"
        "  First-pass yield:  0.0 % (0 of 1)\n"
        "  Final yield:       0.0 % (0 of 1)\n"
        "\n"
        "2026-12-07  HV4K\n"
        "  Units judged:      2\n"
        "  First-pass yield:  50.0 % (1 of 2)\n"
        "  Final yield:       100.0 % (2 of 2)\n"
        "  Checklist lines:\n"
        "       1  -ALL DIP SWITCHES MUST BE SET TO OFF (UP).\n"
        "\n"
        "2026-12-07  TK12X\n"
        "  Units judged:      1\n"
        "  First-pass yield:  0.0 % (0 of 1)\n"
        "  Final yield:       0.0 % (0 of 1)\n"
        "  Checklist lines:\n"
        "       2  -LED INTENSITY NOT AT 100%\n"
        "  Programming failures:\n"
        "       1  master list exhausted\n"
        "\n"
        "2026-12-08  HV4K\n"
        "  Units judged:      2\n"
        "  First-pass yield:  0.0 % (0 of 2)\n"
        "  Final yield:       50.0 % (1 of 2)\n"
        "  Checklist lines:\n"
        "       1  -ALL DIP SWITCHES MUST BE SET TO OFF (UP).\n"
        "       1  -LED INTENSITY NOT AT 100%\n"
        "       1  -PROGRAMMED AS HV4; THIS LINE BUILDS HV4K.\n"
        "\n"
        "2026-12-08  TK12X\n"
        "  Units judged:      1\n"
        "  First-pass yield:  100.0 % (1 of 1)\n"
        "  Final yield:       100.0 % (1 of 1)\n"
        "\n"
        "All days and models\n"
        "  Units judged:      7\n"
        "  First-pass yield:  28.6 % (2 of 7)\n"
        "  Final yield:       57.1 % (4 of 7)\n"
        "  Checklist lines:\n"
        "       3  -LED INTENSITY NOT AT 100%\n"
        "       2  -ALL DIP SWITCHES MUST BE SET TO OFF (UP).\n"
        "       1  -PROGRAMMED AS HV4; THIS LINE BUILDS HV4K.\n"
        "  Programming failures:\n"
        "       1  master list exhausted\n"
        "\n"
        "MACs left in the master list: 12 of 16 (75.0 %)\n");
    QCOMPARE(QString::fromUtf8(run.out), expected);
}

void TestYieldReport::reportFigures_data()
{
    QTest::addColumn<QStringList>("period");
    QTest::addColumn<QStringList>("figures");
    QTest::addColumn<QJsonValue>("firstPassYield"); // of the total, in percent
    QTest::addColumn<QJsonValue>("finalYield");

    // U1 passes on the 7th and fails again on the 9th: its last verdict counts.
    QTest::newRow("every day")
        << QStringList()
        << QStringList{"2026-12-06 HV4K 1 0 1", "2026-12-07  1 0 0", "2026-12-07 HV4K 2 1 1", "2026-12-07 TK12X 1 0 0",
                       "2026-12-08 HV4K 2 0 2", "2026-12-08 TK12X 1 1 1", "2026-12-09 HV4K 1 1 1", "total 9 3 6"}
        << QJsonValue(33.3) << QJsonValue(66.7);
    // U8 was first judged on the 6th; U5's pass on the 9th is after the period.
    QTest::newRow("7th to 8th")
        << QStringList{"--since", "2026-12-07", "--until", "2026-12-08"}
        << QStringList{"2026-12-07  1 0 0", "2026-12-07 HV4K 2 1 2", "2026-12-07 TK12X 1 0 0",
                       "2026-12-08 HV4K 2 0 1", "2026-12-08 TK12X 1 1 1", "total 7 2 4"}
        << QJsonValue(28.6) << QJsonValue(57.1);
    // U3's second verdict falls on the 8th, but U3 counts on the 7th.
    QTest::newRow("one day")
        << QStringList{"--since", "2026-12-08", "--until", "2026-12-08"}
        << QStringList{"2026-12-08 HV4K 2 0 1", "2026-12-08 TK12X 1 1 1", "total 3 1 2"} << QJsonValue(33.3)
        << QJsonValue(66.7);
    QTest::newRow("up to the first day")
        << QStringList{"--until", "2026-12-06"} << QStringList{"2026-12-06 HV4K 1 0 0", "total 1 0 0"}
        << QJsonValue(0.0) << QJsonValue(0.0);
    QTest::newRow("from the last day") << QStringList{"--since", "2026-12-09"}
                                       << QStringList{"2026-12-09 HV4K 1 1 1", "total 1 1 1"} << QJsonValue(100.0)
                                       << QJsonValue(100.0);
    QTest::newRow("after the last record") << QStringList{"--since", "2026-12-10"} << QStringList{"total 0 0 0"}
                                           << QJsonValue() << QJsonValue();
}

void TestYieldReport::reportFigures()
{
    QFETCH(QStringList, period);
    QFETCH(QStringList, figures);
    QFETCH(QJsonValue, firstPassYield);
    QFETCH(QJsonValue, finalYield);

    const Run run = runCheck(QStringList{"--report", "--json", "--ledger", m_ledger} + period);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(run.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(::figures(report), figures);
    QCOMPARE(report["total"]["firstPassYield"], firstPassYield);
    QCOMPARE(report["total"]["finalYield"], finalYield);
    QCOMPARE(report["since"], QJsonValue(period.contains("--since") ? QJsonValue(period[period.indexOf("--since") + 1])
                                                                     : QJsonValue()));
    // The days add up their models; the checklist counts of one group in full.
    int units = 0;
    for (const QJsonValue &day : report["days"].toArray())
        units += day["units"].toInt();
    QCOMPARE(units, report["total"]["units"].toInt());
    if (period.isEmpty()) {
        const QJsonValue group = report["groups"][4];
        QCOMPARE(group["checklist"].toArray(),
                 (QJsonArray{QJsonObject{{"line", Dip}, {"count", 1}}, QJsonObject{{"line", Led}, {"count", 1}},
                             QJsonObject{{"line", Model}, {"count", 1}}}));
        QCOMPARE(report["groups"][3]["programmingFailures"].toArray(),
                 QJsonArray{QJsonObject({{"failure", "master list exhausted"}, {"count", 1}})});
    }
}

// The picture is written whole at its size, and it shows the figures: the
// same days with other yields give another picture.
void TestYieldReport::chart()
{
    const QString picture = m_dir.filePath(QStringLiteral("yield.png"));
    const Run run = runCheck({"--report", "--ledger", m_ledger, "--chart", picture});
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith("Yield per day and model"));
    const QImage image(picture, "PNG");
    QCOMPARE(image.size(), QSize(960, 540));

    QList<Row> allReady = Rows;
    for (Row &row : allReady)
        row.ready = true;
    const QString readyLedger = m_dir.filePath(QStringLiteral("ready.db"));
    QCOMPARE(writeLedger(readyLedger, allReady), QString());
    const QString readyPicture = m_dir.filePath(QStringLiteral("ready.png"));
    QCOMPARE(runCheck({"--report", "--ledger", readyLedger, "--chart", readyPicture}).exitCode, 0);
    const QImage ready(readyPicture, "PNG");
    QCOMPARE(ready.size(), image.size());
    QVERIFY(ready != image);
}

void TestYieldReport::refused_data()
{
    QTest::addColumn<QStringList>("arguments"); // LEDGER and DIR stand for the fixture and the folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorPart");

    QTest::newRow("no such ledger") << QStringList{"--report", "--ledger", "DIR/line4.db"} << 66 << "DIR/line4.db: ";
    QTest::newRow("not a ledger") << QStringList{"--report", "--ledger", "DIR/notes.db"} << 74 << "DIR/notes.db: ";
    QTest::newRow("chart into no folder")
        << QStringList{"--report", "--ledger", "LEDGER", "--chart", "DIR/none/yield.png"} << 74 << "DIR/none/yield.png: ";
    QTest::newRow("without --ledger") << QStringList{"--report"} << 64 << "--ledger";
    QTest::newRow("with a unit") << QStringList{"--report", "--ledger", "LEDGER", "192.168.0.21"} << 64 << "192.168.0.21";
    QTest::newRow("with --discover") << QStringList{"--report", "--ledger", "LEDGER", "--discover"} << 64 << "--discover";
    QTest::newRow("not a day") << QStringList{"--report", "--ledger", "LEDGER", "--since", "2026-12-7"} << 64 << "--since";
    QTest::newRow("until before since")
        << QStringList{"--report", "--ledger", "LEDGER", "--since", "2026-12-08", "--until", "2026-12-07"} << 64
        << "--until";
    QTest::newRow("chart without --report") << QStringList{"--chart", "DIR/yield.png", "192.168.0.21"} << 64 << "--chart";
}

// Nothing is created: no ledger, no picture.
void TestYieldReport::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, errorPart);
    QTemporaryDir dir;
    QFile notes(dir.filePath(QStringLiteral("notes.db")));
    QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("line 3: new jig on Monday\n") > 0);
    notes.close();
    arguments.replaceInStrings(QRegularExpression("^LEDGER$"), m_ledger);
    arguments.replaceInStrings(QRegularExpression("^DIR"), dir.path());
    errorPart.replace(QRegularExpression("^DIR"), dir.path());

    const Run run = runCheck(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.startsWith("hvtk-check: ") && run.err.contains(errorPart.toUtf8()), run.err.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"notes.db"});
}

QTEST_MAIN(TestYieldReport)
#include "tst_yieldreport.moc"
