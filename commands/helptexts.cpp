#include "commands/helptexts.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QHostAddress>

namespace HelpText {

namespace {

QString translated(const char *text)
{
    return QCoreApplication::translate("HVTKUtilities", text);
}

} // namespace

QString aboutTitle()
{
    return translated("About Halvo+Tesk Utilities");
}

QString aboutText()
{
    return translated("Halvo+Tesk Utilities v") + QStringLiteral("1.01") + QStringLiteral("\n\n ")
           + translated("For technical support, contact the supplier of your stations.")
           + QStringLiteral("\n\n ")
           + translated("This program is the property of the maker of the Halvo and Tesk "
                        "stations and is licensed for their installation and service only.  "
                        "All rights reserved.");
}

QString notesText()
{
    return translated("Information");
}

QString serviceNotes()
{
    return translated("SPECIAL RARE CASE: DO NOT ATTEMPT TO UPDATE DANTE FIRMWARE WHEN \"ULTIMO "
                      "BUS\" SHOWS \"OFFLINE [REQUIRED]\".  FIRST SET THE ASSEMBLY TO PROPER CODE "
                      "OR \"HV4\" AS DEFAULT AND WAIT UNTIL ERROR DISSAPEARS.  CONTACT ORLAN IF "
                      "ERROR PERSISTS.\n\n")
           + translated("Silver faceplate units (RMAs) should NOT have their bootloader updated.  "
                        "If you must, do NOT use v1.0.5+.  Latest compatible bootloader is "
                        "v1.0.4.  New units (including those with with black faceplate) should be "
                        "loaded with bootloader v1.0.5+\n\n")
           + translated("Bootloader v1.0.3 and/or Firmware v1.08 and below has a default IP set to "
                        "192.68.1.250.  On newer versions it's 192.168.0.254\n\n")
           + translated("HV4/HV16 Controller PCB revision chart and notes:\nRevA - do not ship.\n"
                        "RevB - do not ship.\nRevC - require Dante MAC reference to be "
                        "programmed\nRevD+ - no special action required.\n\n");
}

QString portalUrl(const QString &addressText)
{
    const bool ipv6 =
        QHostAddress(addressText).protocol() == QAbstractSocket::IPv6Protocol;
    const QString host = ipv6 ? QLatin1Char('[') + addressText + QLatin1Char(']') : addressText;
    return QStringLiteral("http://") + host + QLatin1Char('/');
}

} // namespace HelpText
