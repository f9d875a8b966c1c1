#include "app/indicatorpaint.h"

#include <QLabel>

void paintIndicator(QLabel *indicator, const QString &colour, IoPanel::Indicator kind, int number)
{
    const QString sheet = IoPanel::indicatorStyleSheet(colour);
    if (indicator->styleSheet() != sheet)
        indicator->setStyleSheet(sheet);
    const QString words = IoPanel::inWords(kind, number, colour);
    if (indicator->toolTip() != words)
        indicator->setToolTip(words);
    if (indicator->accessibleName() != words)
        indicator->setAccessibleName(words);
}
