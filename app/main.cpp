#include "app/desktopfonts.h"
#include "app/desktopscaling.h"
#include "app/hvtkutilities.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    DesktopScaling::follow();
    QApplication application(argc, argv);
    DesktopFonts::use();
    HVTKUtilities window;
    window.show();
    return application.exec();
}
