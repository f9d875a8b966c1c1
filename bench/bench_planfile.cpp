// How long hvtk-commission takes to read a plan: one long cell (refused past
// 4 KB) and plans of valid rows, each size twice the one before, so that a
// time that doubles with the size shows linear reading.
//
//   scripts/private-lan -- build/bench/bench_planfile [runs]
//
// It opens no socket; it is run inside the private LAN as every benchmark is.
#include "commission/planfile.h"
#include "commission/planvalidator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>

namespace {

const QByteArray Header = PlanColumns::names().join(QLatin1Char(',')).toUtf8() + "\r\n";

// A plan of valid rows, `bytes` long or a row less: units on 10.0.0.0/8
// (Dante on 11.0.0.0/8) from 10.0.0.3, gateway 10.0.0.1, Q-SYS core 10.0.0.2.
QByteArray validPlan(int bytes)
{
    QByteArray plan = Header;
    for (int unit = 3; plan.size() < bytes - 200; ++unit) {
        const QString host = QStringLiteral("%1.%2.%3").arg(unit >> 16 & 0xFF).arg(unit >> 8 & 0xFF).arg(unit & 0xFF);
        plan += QStringLiteral("02:4B:7D:%1:%2:%3,10.%4,255.0.0.0,10.0.0.1,Room %5,11.%4,255.0.0.0,"
                               "0.0.0.0,Room-%5,10.0.0.2,%6\r\n")
                    .arg(unit >> 16 & 0xFF, 2, 16, QLatin1Char('0'))
                    .arg(unit >> 8 & 0xFF, 2, 16, QLatin1Char('0'))
                    .arg(unit & 0xFF, 2, 16, QLatin1Char('0'))
                    .arg(host)
                    .arg(unit)
                    .arg(unit % 998 + 1)
                    .toUtf8();
    }
    return plan;
}

// The fastest of `runs` readings of `plan`, in milliseconds.
double readMs(const QByteArray &plan, int runs, bool validate, int *errors)
{
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const PlanFile::Read read = PlanFile::parse(plan);
        *errors = read.errors.size();
        if (validate && read.columnsFound)
            *errors += PlanValidator::check(read.rows, {}).errors.size();
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 3;
    QTextStream out(stdout);
    constexpr int MB = 1024 * 1024;

    out << "one long cell (refused: longer than 4 KB), fastest of " << runs << ":\n";
    for (int size : {1, 2, 4, 8, 10}) {
        const QByteArray plan = Header.trimmed() + ",notes\r\n02:4B:7D:00:00:01," + QByteArray(size * MB, 'n');
        int errors = 0;
        const double ms = readMs(plan, runs, false, &errors);
        out << QStringLiteral("  %1 MB cell: %2 ms, %3 ms/MB, %4 error(s)\n")
                   .arg(size, 2)
                   .arg(ms, 0, 'f', 1)
                   .arg(ms / size, 0, 'f', 2)
                   .arg(errors);
        out.flush();
    }
    out << "plans of valid rows, read and checked, fastest of " << runs << ":\n";
    for (int size : {1, 2, 4, 8, 16}) {
        const QByteArray plan = validPlan(size * MB);
        int errors = 0;
        const double ms = readMs(plan, runs, true, &errors);
        out << QStringLiteral("  %1 MB plan (%2 rows): %3 ms, %4 ms/MB, %5 error(s)\n")
                   .arg(size, 2)
                   .arg(plan.count('\n') - 1)
                   .arg(ms, 0, 'f', 1)
                   .arg(ms / size, 0, 'f', 2)
                   .arg(errors);
        out.flush();
    }
    return 0;
}
