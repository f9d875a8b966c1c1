#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// One line on standard error that keeps counts up to date while a long run
// waits ("found 12, pushed 3, verified 2, failed 0, waiting 7"), redrawn in
// place and cleared at the end; near the end it may name the units still
// waited for. Only while standard error is a terminal:
// otherwise (a log file, a pipe, a test) nothing is written at all.
class ProgressLine
{
public:
    // The labels of the counts, in the order show() gets them.
    explicit ProgressLine(const QStringList &labels);
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    // "label count, label count, ..." for these counts, then "; waiting for
    // A, B" when units are named.
    QString text(const QVector<int> &counts, const QStringList &waitingFor = {}) const;
    // Redraws the line when its text changed.
    void show(const QVector<int> &counts, const QStringList &waitingFor = {});
    // Removes the line; show() draws it again.
    void clear();

private:
    void write(const QByteArray &bytes);

    QStringList m_labels;
    bool m_enabled = false;
    QString m_shown;
};
