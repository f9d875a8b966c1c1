#include "app/hvtkutilities.h"

#include "commands/helptexts.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

void HVTKUtilities::showAboutMessage()
{
    QMessageBox::information(this, HelpText::aboutTitle(), HelpText::aboutText());
}

void HVTKUtilities::on_m_cmdNotes_clicked()
{
    askUser(HelpText::notesText(), HelpText::serviceNotes(), QMessageBox::Ok, QMessageBox::Ok);
}

void HVTKUtilities::on_m_cmdWebSrv_clicked()
{
    QDesktopServices::openUrl(QUrl(HelpText::portalUrl(ui.m_txtIP->text()), QUrl::TolerantMode));
}
