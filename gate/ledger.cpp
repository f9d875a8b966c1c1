#include "gate/ledger.h"

#include "fleet/recordtime.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <cerrno>

#include <sys/file.h>

namespace {

const QString Programmed = QStringLiteral("programmed");
const QString Failed = QStringLiteral("failed");

// Holds an exclusive flock(2) on a file for as long as it lives.
class ExclusiveLock
{
public:
    explicit ExclusiveLock(int descriptor) : m_descriptor(descriptor)
    {
        int result;
        do
            result = ::flock(m_descriptor, LOCK_EX);
        while (result != 0 && errno == EINTR);
        m_locked = result == 0;
    }
    ~ExclusiveLock()
    {
        if (m_locked)
            ::flock(m_descriptor, LOCK_UN);
    }
    ExclusiveLock(const ExclusiveLock &) = delete;
    ExclusiveLock &operator=(const ExclusiveLock &) = delete;
    bool locked() const { return m_locked; }

private:
    int m_descriptor;
    bool m_locked = false;
};

} // namespace

bool Ledger::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    // Unbuffered: every line goes out with one write(2) on an O_APPEND descriptor.
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = QStringLiteral("%1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

Ledger::Allocation Ledger::allocate(const MacPool &pool, const Unit &unit, const QDateTime &time)
{
    Allocation allocation;
    const ExclusiveLock lock(m_file.handle());
    if (!lock.locked()) {
        allocation.error = QStringLiteral("%1: cannot lock: %2").arg(m_file.fileName(), qt_error_string(errno));
        return allocation;
    }
    if (!readNewLines(&allocation.error))
        return allocation;
    const auto given = m_programmedFor.constFind(unit.danteMac);
    if (unit.identified && given != m_programmedFor.constEnd()) {
        allocation.mac = given.value();
        allocation.again = true;
        return allocation;
    }
    const std::optional<quint64> mac = pool.firstFree(m_named);
    if (!mac) {
        allocation.error = QLatin1String(Exhausted);
        return allocation;
    }
    const QString text = MacText::text(*mac);
    QJsonObject entry = line(text, unit, time);
    entry.insert(QStringLiteral("outcome"), Programmed);
    if (!append(entry, &allocation.error))
        return allocation;
    allocation.mac = text;
    return allocation;
}

bool Ledger::recordFailure(const QString &mac, const Unit &unit, const QString &reason, const QDateTime &time,
                           QString *error)
{
    QJsonObject entry = line(mac, unit, time);
    entry.insert(QStringLiteral("outcome"), Failed);
    entry.insert(QStringLiteral("reason"), reason);
    const ExclusiveLock lock(m_file.handle());
    return append(entry, error);
}

QJsonObject Ledger::line(const QString &mac, const Unit &unit, const QDateTime &time) const
{
    return {
        {QStringLiteral("time"), recordTime(time)},
        {QStringLiteral("mac"), mac},
        {QStringLiteral("danteMac"), unit.danteMac},
        {QStringLiteral("address"), unit.address},
        {QStringLiteral("model"), unit.model},
        {QStringLiteral("station"), QSysInfo::machineHostName()},
    };
}

bool Ledger::append(const QJsonObject &entry, QString *error)
{
    const QByteArray bytes = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }
    return true;
}

// Lines are only ever appended, so what was read once stays as it was; a
// last line without its newline is being written and is read next time.
bool Ledger::readNewLines(QString *error)
{
    if (!m_file.seek(m_readUpTo)) {
        *error = QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }
    const QByteArray data = m_file.readAll();
    const int end = data.lastIndexOf('\n') + 1;
    int lineNumber = m_linesRead;
    QList<QByteArray> lines = data.left(end).split('\n');
    lines.removeLast(); // what follows the last newline
    for (const QByteArray &text : lines) {
        ++lineNumber;
        if (text.trimmed().isEmpty())
            continue;
        const QJsonObject entry = QJsonDocument::fromJson(text).object();
        const std::optional<quint64> mac = MacText::parse(entry.value(QStringLiteral("mac")).toString());
        if (!mac) {
            // A line that names no MAC might hide one already handed out.
            *error = QStringLiteral("%1:%2: not a ledger line").arg(m_file.fileName()).arg(lineNumber);
            return false;
        }
        m_named.insert(*mac);
        const QString danteMac = entry.value(QStringLiteral("danteMac")).toString();
        const QString macText = MacText::text(*mac);
        if (entry.value(QStringLiteral("outcome")).toString() == Programmed)
            m_programmedFor.insert(danteMac, macText);
        else if (m_programmedFor.value(danteMac) == macText)
            m_programmedFor.remove(danteMac);
    }
    m_readUpTo += end;
    m_linesRead = lineNumber;
    return true;
}
