#include "gate/ledgerimport.h"

#include "gate/ledgerstart.h"

#include <QFile>
#include <QHash>

namespace LedgerImport {

std::vector<Ledger::ImportedMac> macs(const JsonlLedger::Contents &contents)
{
    std::vector<Ledger::ImportedMac> result;
    QHash<QString, std::size_t> index;
    for (const JsonlLedger::Entry &entry : contents.entries) {
        auto found = index.constFind(entry.mac);
        if (found == index.constEnd()) {
            found = index.insert(entry.mac, result.size());
            result.push_back({});
            result.back().mac = entry.mac;
        }
        Ledger::ImportedMac &mac = result[found.value()];
        // What a torn line still holds adds to what is known; it takes nothing back.
        const auto take = [](QString &field, const QString &value) {
            if (!value.isEmpty())
                field = value;
        };
        take(mac.danteMac, entry.danteMac);
        take(mac.address, entry.address);
        take(mac.model, entry.model);
        take(mac.station, entry.station);
        if (entry.time.isValid())
            mac.time = entry.time;
        if (entry.outcome == QLatin1String("failed")) {
            mac.refused = true;
            mac.reason = entry.reason;
        } else if (entry.outcome == QLatin1String("programmed")) {
            mac.refused = false;
            mac.reason.clear();
        }
    }
    return result;
}

int run(const CheckOptions &options, QString *out, QStringList *errors)
{
    QFile file(options.importLedger);
    if (!file.open(QIODevice::ReadOnly)) {
        *errors << QStringLiteral("%1: %2").arg(options.importLedger, file.errorString());
        return file.exists() ? CheckCommandLine::LedgerFailure : CheckCommandLine::LedgerMissing;
    }
    const JsonlLedger::Contents contents = JsonlLedger::read(options.importLedger, file.readAll());
    *errors << contents.problems;

    LedgerConnection connection;
    int status = 0;
    QString error;
    const std::unique_ptr<Ledger> ledger = LedgerStart::open(options, &connection, &status, &error);
    if (!ledger) {
        *errors << error;
        return status;
    }
    const std::vector<Ledger::ImportedMac> imported = macs(contents);
    int added = 0;
    if (!ledger->importMacs(imported, &added)) {
        *errors << ledger->failures();
        return CheckCommandLine::LedgerFailure;
    }
    *out = QStringLiteral("%1: %2 MAC(s) read, %3 new in %4\n")
               .arg(options.importLedger)
               .arg(imported.size())
               .arg(added)
               .arg(options.ledgerFile);
    return 0;
}

} // namespace LedgerImport
