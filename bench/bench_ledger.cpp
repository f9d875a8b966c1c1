// The cost of one MAC allocation in the line's ledger: Ledger::allocate, as
// hvtk-check --program calls it for each unit (one transaction that locks the
// table, reads the MACs handed out, inserts the new row and commits), on an
// SQLite file on the disk (synchronous commits) and on a PostgreSQL 15
// server the benchmark starts (Debian's postgresql), over its Unix-domain
// socket and over TCP on 127.0.0.1. Run it inside a private LAN:
//   scripts/private-lan -- build/bench/bench_ledger 500
// The SQLite ledger is made in the current folder (put it on the disk the
// line would use, not a tmpfs).
#include "gate/ledger.h"
#include "gate/ledgerconnection.h"
#include "support/postgresserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// `count` allocations for as many units, one after the other; the time of
// each in microseconds, or nothing when one failed.
std::vector<qint64> allocations(const QString &ledger, int count, QString *error)
{
    LedgerConnection connection;
    if (connection.create(ledger, error) != LedgerConnection::Status::Open)
        return {};
    MacPool pool;
    if (!pool.parse(QStringLiteral("pool"), QStringLiteral("02:4B:7D:00:00:00-02:4B:7D:00:FF:FF"), error))
        return {};
    Ledger book(connection.database(), ledger, {QStringLiteral("bench"), QStringLiteral("bench"), QString(),
                                                QStringLiteral("bench")});
    std::vector<qint64> micros;
    QElapsedTimer clock;
    for (int i = 0; i < count; ++i) {
        const Ledger::Unit unit{QStringLiteral("00:1D:C1:07:%1:%2")
                                    .arg(i >> 8, 2, 16, QLatin1Char('0'))
                                    .arg(i & 0xFF, 2, 16, QLatin1Char('0'))
                                    .toUpper(),
                                true, QStringLiteral("10.0.0.1"), QStringLiteral("HV4K")};
        clock.start();
        const Ledger::Allocation allocation = book.allocate(pool, unit, QDateTime::currentDateTimeUtc());
        micros.push_back(clock.nsecsElapsed() / 1000);
        if (allocation.mac.isEmpty()) {
            *error = allocation.error;
            return {};
        }
    }
    return micros;
}

void report(const QString &what, std::vector<qint64> micros)
{
    const std::size_t n = micros.size();
    std::sort(micros.begin(), micros.end());
    const auto ms = [](qint64 us) { return QString::number(us / 1000.0, 'f', 2); };
    out() << what << ": " << n << " allocations, median " << ms(micros[n / 2]) << " ms, 99th percentile "
          << ms(micros[std::min(n - 1, n * 99 / 100)]) << " ms, slowest " << ms(micros.back()) << " ms\n";
    out().flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? qMax(10, atoi(argv[1])) : 500;
    QString error;

    QTemporaryDir here(QDir::current().filePath(QStringLiteral("bench-ledger-XXXXXX")));
    const std::vector<qint64> sqlite = allocations(here.filePath(QStringLiteral("ledger.db")), count, &error);
    if (sqlite.empty()) {
        out() << "SQLite: " << error << "\n";
        return 1;
    }
    report(QStringLiteral("SQLite file in %1").arg(QDir::currentPath()), sqlite);

    PostgresServer server;
    if (!server.start(&error)) {
        out() << "PostgreSQL: " << error << "\n";
        return 1;
    }
    int database = 0;
    for (const QString &via : {QStringLiteral("its Unix-domain socket"), QStringLiteral("TCP on 127.0.0.1")}) {
        const QString name = QStringLiteral("bench%1").arg(++database);
        if (!server.createDatabase(name, &error)) {
            out() << "PostgreSQL: " << error << "\n";
            return 1;
        }
        const QString ledger = server.uri(name)
            + (via.contains(QLatin1String("Unix")) ? QStringLiteral("?host=") + server.socketFolder() : QString());
        const std::vector<qint64> micros = allocations(ledger, count, &error);
        if (micros.empty()) {
            out() << "PostgreSQL over " << via << ": " << error << "\n";
            return 1;
        }
        report(QStringLiteral("PostgreSQL 15 over %1").arg(via), micros);
    }
    return 0;
}
