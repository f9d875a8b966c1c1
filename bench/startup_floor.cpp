// The floor under the program's start-up: the window's own form built by uic
// and shown, and one status request sent to the unit's address 10 ms after
// the event loop starts, as the window's first poll goes out, with none of
// the program's logic. bench_startup starts it beside hvtk-utilities.
#include "channel/commandtext.h"
#include "ui_hvtkutilities.h"

#include <QApplication>
#include <QHostAddress>
#include <QMainWindow>
#include <QTimer>
#include <QUdpSocket>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    Ui::HVTKUtilitiesClass form;
    form.setupUi(&window);
    window.show();
    QUdpSocket socket;
    QTimer::singleShot(10, &socket, [&socket] {
        socket.writeDatagram(CommandText::statusRequest(), QHostAddress(QStringLiteral("192.168.0.254")),
                             CommandText::UnitPort);
    });
    return application.exec();
}
