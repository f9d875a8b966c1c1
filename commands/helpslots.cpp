#include "app/hvtkutilities.h"

#include "commands/helptexts.h"

#include <QDesktopServices>
#include <QUrl>

void HVTKUtilities::showAboutMessage()
{
    askUser({HelpText::aboutText(), QString(), QMessageBox::Ok, QMessageBox::NoButton,
             QMessageBox::Information, HelpText::aboutTitle()});
}

void HVTKUtilities::on_m_cmdNotes_clicked()
{
    askUser({HelpText::notesText(), HelpText::serviceNotes(), QMessageBox::Ok, QMessageBox::Ok});
}

void HVTKUtilities::on_m_cmdWebSrv_clicked()
{
    QDesktopServices::openUrl(QUrl(HelpText::portalUrl(ui.m_txtIP->text()), QUrl::TolerantMode));
}
