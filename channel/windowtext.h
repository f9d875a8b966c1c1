#pragma once

#include <QCoreApplication>
#include <QString>

// A user-visible text of the main window, passed through the translation
// function with the window's context, for code that has no window at hand.
inline QString windowText(const char *sourceText)
{
    return QCoreApplication::translate("HVTKUtilities", sourceText);
}
