#include "app/hvtkutilities.h"

#include <QMessageBox>

// The invalid-address refusal and the questions shared by the unit commands.

QHostAddress HVTKUtilities::commandAddress()
{
    return validatedUnitAddress(tr("Status: Unable to send.  Invalid IP."));
}

int HVTKUtilities::askUser(const QString &text, const QString &informativeText, int buttons,
                           int cautiousButton)
{
    QMessageBox box(this);
    box.setText(text);
    box.setInformativeText(informativeText);
    box.setStandardButtons(QMessageBox::StandardButtons(buttons));
    box.setDefaultButton(QMessageBox::StandardButton(cautiousButton));
    box.setEscapeButton(QMessageBox::StandardButton(cautiousButton));
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}
