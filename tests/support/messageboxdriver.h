#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

// Answers the next application-modal message box the program opens, as a
// user would, and records what the box showed. Arm it before the call that
// opens the box: it watches from the event loop the box runs.
class MessageBoxDriver : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString title;
        QString text;
        QString informativeText;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Qt::WindowModality modality = Qt::NonModal;
        QWidget *parent = nullptr;
    };

    explicit MessageBoxDriver(QObject *parent = nullptr);

    // Clicks `button` in the next box.
    void click(QMessageBox::StandardButton button);
    // Presses the Escape key in the next box.
    void pressEscape();

    // Boxes answered since construction.
    int boxCount() const { return m_boxCount; }
    const Seen &lastBox() const { return m_lastBox; }

private:
    void arm(QMessageBox::StandardButton button);
    void look();

    QTimer m_watch;
    QMessageBox::StandardButton m_answer = QMessageBox::NoButton; // NoButton: Escape
    int m_boxCount = 0;
    Seen m_lastBox;
};
