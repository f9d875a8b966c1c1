#include "support/messageboxdriver.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QtTest>

MessageBoxDriver::MessageBoxDriver(QObject *parent)
    : QObject(parent)
{
    m_watch.setInterval(10);
    connect(&m_watch, &QTimer::timeout, this, &MessageBoxDriver::look);
}

void MessageBoxDriver::click(QMessageBox::StandardButton button)
{
    arm(button);
}

void MessageBoxDriver::pressEscape()
{
    arm(QMessageBox::NoButton);
}

void MessageBoxDriver::arm(QMessageBox::StandardButton button)
{
    m_answer = button;
    m_watch.start();
}

void MessageBoxDriver::look()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_watch.stop();
    ++m_boxCount;
    m_lastBox.title = box->windowTitle();
    m_lastBox.text = box->text();
    m_lastBox.informativeText = box->informativeText();
    m_lastBox.buttons = box->standardButtons();
    m_lastBox.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton())
                                                   : QMessageBox::NoButton;
    m_lastBox.escapeButton = box->escapeButton() ? box->standardButton(box->escapeButton())
                                                 : QMessageBox::NoButton;
    m_lastBox.icon = box->icon();
    m_lastBox.modality = box->windowModality();
    m_lastBox.parent = box->parentWidget();

    if (m_answer == QMessageBox::NoButton) {
        QTest::keyClick(box, Qt::Key_Escape);
    } else if (QAbstractButton *button = box->button(m_answer)) {
        button->click();
    } else {
        QTest::keyClick(box, Qt::Key_Escape); // the asked-for button is missing: leave the box
    }
}
