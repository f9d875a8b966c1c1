#include "app/hvtkutilities.h"

// The invalid-address refusal, the shared opening of the unit commands and
// the one way the window asks the user anything.

QHostAddress HVTKUtilities::commandAddress()
{
    return validatedUnitAddress(tr("Status: Unable to send.  Invalid IP."));
}

bool HVTKUtilities::sendUnitCommand(const QByteArray &command, const QString &statusText, int flags,
                                    const std::function<bool()> &confirmed)
{
    // The address is taken before any question, so the command goes where it
    // was confirmed for.
    const QHostAddress unit = commandAddress();
    if (unit.isNull())
        return false;
    if (confirmed && !confirmed())
        return false;
    sendCommand(unit, command, statusText, flags);
    return true;
}

int HVTKUtilities::askUser(const UserQuestion &question)
{
    QMessageBox box(this);
    if (!question.title.isEmpty())
        box.setWindowTitle(question.title);
    box.setIcon(question.icon);
    box.setText(question.text);
    box.setInformativeText(question.informativeText);
    box.setStandardButtons(question.buttons);
    if (question.cautiousButton != QMessageBox::NoButton) {
        box.setDefaultButton(question.cautiousButton);
        box.setEscapeButton(question.cautiousButton);
    }
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}
