#pragma once

#include <QString>

// The fixed texts of the About and notes boxes and the address of a unit's
// web portal.
namespace HelpText {

QString programTitle(); // "Halvo+Tesk Utilities v" + the program's version
QString aboutTitle();   // "About Halvo+Tesk Utilities"
QString aboutText();    // name and version, support line, ownership notice
QString notesText();    // "Information"
QString serviceNotes(); // the four service notes, each ending in a blank line

// "http://" + address text + "/"; an IPv6 address goes in brackets so that
// the URL names the host rather than a port.
QString portalUrl(const QString &addressText);

} // namespace HelpText
