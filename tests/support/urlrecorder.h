#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the desktop while it lives: records every http URL the
// program asks it to open, and when.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    UrlRecorder();
    ~UrlRecorder() override;

    QList<QUrl> urls;
    QList<QDateTime> openedAt;

public slots:
    void open(const QUrl &url);
};
