#pragma once

#include <QMessageBox>
#include <QString>

// What one application-modal message box over the window shows and offers.
struct UserQuestion
{
    UserQuestion(const QString &text, const QString &informativeText = QString(),
                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                 QMessageBox::StandardButton cautiousButton = QMessageBox::NoButton,
                 QMessageBox::Icon icon = QMessageBox::NoIcon, const QString &title = QString())
        : text(text), informativeText(informativeText), buttons(buttons),
          cautiousButton(cautiousButton), icon(icon), title(title)
    {
    }

    QString text;
    QString informativeText;
    QMessageBox::StandardButtons buttons;
    // Both the default and the Escape button; NoButton leaves them to Qt.
    QMessageBox::StandardButton cautiousButton;
    QMessageBox::Icon icon;
    QString title; // none unless given
};
