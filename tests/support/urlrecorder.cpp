#include "support/urlrecorder.h"

#include <QDesktopServices>

UrlRecorder::UrlRecorder()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
}

UrlRecorder::~UrlRecorder()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void UrlRecorder::open(const QUrl &url)
{
    urls << url;
    openedAt << QDateTime::currentDateTime();
}
