#pragma once

#include <QString>

// What a unit's acknowledgement says. "R" is success; "E" and two digits is a
// failure, and ten of the codes have a text. Five of them also tell that the
// firmware lacks the status request, so polling falls back to the version
// query.
namespace ResultCodes {

bool isSuccess(const QString &reply);

// The text of a known failure code, translated in the window's context;
// empty for an unknown code.
QString failureText(const QString &code);

// True for the codes that show the firmware cannot answer the status request.
bool marksFirmwareUnsupported(const QString &code);

// A refused command as the command-line programs report it: the code and
// its text, "E15: Invalid Port (mismatch)"; the code alone when it has none.
QString refusal(const QString &code);

// "Status: Success [R]"
QString successStatus(const QString &reply);
// "Status: Failed [code: " + text + "]"; without `complete` the line stops
// after the colon and blank, as it is first shown.
QString failureStatus(const QString &code, const QString &text, bool complete = true);

} // namespace ResultCodes
