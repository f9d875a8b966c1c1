#include "commands/helptexts.h"

#include "channel/windowtext.h"
#include "programversion.h"

#include <QAbstractSocket>
#include <QHostAddress>

namespace HelpText {

QString aboutTitle()
{
    return windowText("About Halvo+Tesk Utilities");
}

QString programTitle()
{
    return windowText("Halvo+Tesk Utilities v") + QLatin1String(ProgramVersion);
}

QString aboutText()
{
    return programTitle() + QStringLiteral("\n\n ")
           + windowText("For technical support, contact the supplier of your stations.")
           + QStringLiteral("\n\n ")
           + windowText("This program is the property of the maker of the Halvo and Tesk "
                        "stations and is licensed for their installation and service only.  "
                        "All rights reserved.");
}

QString notesText()
{
    return windowText("Information");
}

QString serviceNotes()
{
    return windowText("SPECIAL RARE CASE: DO NOT ATTEMPT TO UPDATE DANTE FIRMWARE WHEN \"ULTIMO "
                      "BUS\" SHOWS \"OFFLINE [REQUIRED]\".  FIRST SET THE ASSEMBLY TO PROPER CODE "
                      "OR \"HV4\" AS DEFAULT AND WAIT UNTIL ERROR DISSAPEARS.  CONTACT ORLAN IF "
                      "ERROR PERSISTS.\n\n")
           + windowText("Silver faceplate units (RMAs) should NOT have their bootloader updated.  "
                        "If you must, do NOT use v1.0.5+.  Latest compatible bootloader is "
                        "v1.0.4.  New units (including those with with black faceplate) should be "
                        "loaded with bootloader v1.0.5+\n\n")
           + windowText("Bootloader v1.0.3 and/or Firmware v1.08 and below has a default IP set to "
                        "192.68.1.250.  On newer versions it's 192.168.0.254\n\n")
           + windowText("HV4/HV16 Controller PCB revision chart and notes:\nRevA - do not ship.\n"
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
