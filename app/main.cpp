#include "app/hvtkutilities.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    HVTKUtilities window;
    window.show();
    return application.exec();
}
