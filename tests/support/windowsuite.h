#pragma once

#include "app/windowports.h"
#include "support/windowprobe.h"

#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <QUrl>

#include <memory>

// What every suite that drives the window starts from: a window of its own
// for each case, with its probe, the timers stopped whose ticks the case
// gives by hand, and a way to select a unit and wait until the window shows
// its reply. While a window is open, the suite plays the desktop: the URLs
// the window opens are recorded, never opened. A suite derives from it and
// calls openWindow() and closeWindow() from its own init() and cleanup().
// It has no private slots: Qt Test would run them in every suite as cases.
class WindowSuite : public QObject
{
    Q_OBJECT

public:
    // The window's own ports, and the workstation's address on the private
    // LAN that scripts/private-lan makes.
    static constexpr quint16 UnicastPort = WindowPorts::UnicastPort;
    static constexpr quint16 BroadcastPort = WindowPorts::BroadcastPort;
    static const QHostAddress Workstation;

    enum Stop {
        StopNothing = 0,
        StopPolling = 1,
        StopScan = 2,
        StopChecklist = 4,
    };
    Q_DECLARE_FLAGS(Stopped, Stop)

public slots:
    void openUrl(const QUrl &url); // the desktop's http handler

protected:
    // Builds a new window, after closing any earlier one, and stops the
    // timers named.
    void openWindow(Stopped stopped = StopNothing);
    // Closes the window and clears what it leaves in its class (the private
    // mode request and the chord keys held).
    void closeWindow();
    // Types `address` into the address field as the technician does and
    // waits until the window shows that unit online, its reply in the report
    // and, when `model` is given, that model in the assembly box.
    void selectUnit(const QString &address, const QString &model = QString());
    // Shows the window and waits until it is on the screen; the second also
    // makes it the active window, with the keyboard focus.
    void showWindow();
    void showActiveWindow();
    // Runs a slot of the window by name, as its menu action or button would.
    void runSlot(const char *slot);
    // The datagrams that are no poll request (status request, version query).
    static QList<QByteArray> withoutPolls(const QList<QByteArray> &datagrams);

    std::unique_ptr<HVTKUtilities> window;
    std::unique_ptr<WindowProbe> probe;
    QList<QUrl> openedUrls;
    QList<QDateTime> urlsOpenedAt;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(WindowSuite::Stopped)
