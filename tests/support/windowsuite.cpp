#include "support/windowsuite.h"

#include <QDesktopServices>
#include <QtTest>

const QHostAddress WindowSuite::Workstation(QStringLiteral("192.168.0.17"));

void WindowSuite::openWindow(Stopped stopped)
{
    closeWindow();
    openedUrls.clear();
    urlsOpenedAt.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
    window = std::make_unique<HVTKUtilities>();
    probe = std::make_unique<WindowProbe>(*window);
    if (stopped & StopPolling)
        probe->pollTimer()->stop();
    if (stopped & StopScan)
        probe->scanTimer()->stop();
    if (stopped & StopChecklist)
        probe->checklistTimer()->stop();
}

void WindowSuite::closeWindow()
{
    probe.reset();
    window.reset();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    WindowProbe::privateModeRequested() = false;
    WindowProbe::chordKeys() = 0;
}

void WindowSuite::selectUnit(const QString &address, const QString &model)
{
    probe->ui().m_txtIP->setText(address);
    const quint32 unit = QHostAddress(address).toIPv4Address();
    QTRY_VERIFY_WITH_TIMEOUT(probe->online() && probe->status().controlIpCurrent == unit
                                 && probe->ui().m_lblInfo->text().contains(QStringLiteral("Dante Info:"))
                                 && (model.isEmpty()
                                     || (probe->status().modelToken == model
                                         && probe->ui().m_cmbAssembly->currentText() == model)),
                             5000);
}

void WindowSuite::openUrl(const QUrl &url)
{
    openedUrls << url;
    urlsOpenedAt << QDateTime::currentDateTime();
}

void WindowSuite::showWindow()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void WindowSuite::showActiveWindow()
{
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void WindowSuite::runSlot(const char *slot)
{
    QVERIFY2(QMetaObject::invokeMethod(window.get(), slot), slot);
}

QList<QByteArray> WindowSuite::withoutPolls(const QList<QByteArray> &datagrams)
{
    QList<QByteArray> result;
    for (const QByteArray &datagram : datagrams)
        if (datagram != "GSHV\r" && datagram != "?V\r")
            result << datagram;
    return result;
}
