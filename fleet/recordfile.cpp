#include "fleet/recordfile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

bool RecordFile::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    // Unbuffered: every append is one write(2) on an O_APPEND descriptor.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = QStringLiteral("%1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

bool RecordFile::append(const QByteArray &line, QString *error)
{
    if (m_file.write(line) != line.size()) {
        *error = QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }
    return true;
}

bool RecordFile::sync(QString *error)
{
    if (::fdatasync(m_file.handle()) != 0) {
        *error = QStringLiteral("%1: %2").arg(m_file.fileName(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}
