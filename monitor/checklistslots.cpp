#include "app/hvtkutilities.h"

#include "monitor/checklist.h"

#include <QTextDocument>
#include <QTextEdit>

QString HVTKUtilities::displayErrors()
{
    const QString checklist =
        Checklist::text(m_unitStatus, {m_nAssembly, m_bUltimoXModel});
    const Checklist::Display shown =
        Checklist::display(checklist, m_unitStatus, m_bUltimoXModel, m_bOnline, m_bPrivateMode,
                           m_bStatusBlockRead);
    if (!shown.touch)
        return QString();

    // Rewriting an unchanged box five times a second would drop the user's
    // selection and scroll position; write only what differs from what the
    // box really holds (something else may have written into it meanwhile).
    QTextEdit *box = ui.m_txtDetails;
    const bool textCurrent = shown.text == m_strLastChecklist
                             && (shown.text.isEmpty() ? box->document()->isEmpty()
                                                      : box->toPlainText() == shown.text);
    if (!textCurrent) {
        box->setPlainText(shown.text);
        m_strLastChecklist = shown.text;
    }
    if (box->styleSheet() != shown.styleSheet)
        box->setStyleSheet(shown.styleSheet);
    m_strLastChecklistStyle = shown.styleSheet;
    return checklist;
}
