#include "fleet/progressline.h"

#include <cstdio>
#include <unistd.h>

ProgressLine::ProgressLine(const QStringList &labels)
    : m_labels(labels), m_enabled(isatty(STDERR_FILENO) == 1)
{
}

ProgressLine::~ProgressLine()
{
    clear();
}

QString ProgressLine::text(const QVector<int> &counts, const QStringList &waitingFor) const
{
    QStringList parts;
    for (int i = 0; i < m_labels.size() && i < counts.size(); ++i)
        parts << QStringLiteral("%1 %2").arg(m_labels[i]).arg(counts[i]);
    QString line = parts.join(QStringLiteral(", "));
    if (!waitingFor.isEmpty())
        line += QStringLiteral("; waiting for ") + waitingFor.join(QStringLiteral(", "));
    return line;
}

void ProgressLine::show(const QVector<int> &counts, const QStringList &waitingFor)
{
    if (!m_enabled)
        return;
    const QString line = text(counts, waitingFor);
    if (line == m_shown)
        return;
    // Spaces over what is left of a longer line before.
    const int rest = qMax(0, m_shown.size() - line.size());
    write('\r' + line.toUtf8() + QByteArray(rest, ' ') + QByteArray(rest, '\b'));
    m_shown = line;
}

void ProgressLine::clear()
{
    if (!m_enabled || m_shown.isEmpty())
        return;
    // "\r", then erase to the end of the line.
    write("\r\033[K");
    m_shown.clear();
}

void ProgressLine::write(const QByteArray &bytes)
{
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    fflush(stderr);
}
