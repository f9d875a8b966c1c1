#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The production record: a file that lines are only ever appended to. Each
// line goes out with one write on a file opened for appending, so lines of
// checks running at the same time end up whole, one after the other.
class RecordFile
{
public:
    // Opens (and creates) the file; false with `error` when it cannot.
    bool open(const QString &path, QString *error);
    // Appends one whole line; false with `error` when it was not written whole.
    bool append(const QByteArray &line, QString *error);
    // Waits until what was appended is on the disk (fdatasync); false with
    // `error` when it could not be.
    bool sync(QString *error);
    bool isOpen() const { return m_file.isOpen(); }

private:
    QFile m_file;
};
