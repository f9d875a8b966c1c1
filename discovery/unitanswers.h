#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// The detected-unit list of the discovery scan, without its widget: which
// datagrams are unit answers, the text of a unit's line and how a line ages.
namespace UnitAnswers {

// Age of a line just (re)confirmed by an answer; each scan tick lowers it.
constexpr int FreshAge = 5;
// Width of the address column of a line, spaces included.
constexpr int AddressColumnWidth = 17;

// A unit answers the version query with a text that begins with its model
// (ReplyFraming::namesUnitModel).
bool isUnitAnswer(const QByteArray &datagram);

// The sender in dotted IPv4 form (also when it arrived as an IPv4-mapped IPv6
// address); any other address in its own text form.
QString senderText(const QHostAddress &sender);
// The sender padded with spaces to the address column, then the whole
// datagram as UTF-8 text. At least two spaces always follow the address.
QString lineText(const QHostAddress &sender, const QByteArray &datagram);
// The address a line starts with: its text before the first space.
QString lineAddress(const QString &line);

// What one scan tick does to a line of the given age.
struct TickAgeing
{
    bool remove = false;  // the unit missed too many ticks: the line goes
    bool turnRed = false; // the unit missed a tick: its line shows red
    int age = 0;          // the line's age after the tick (when kept)
};
TickAgeing ageOnTick(int age);

} // namespace UnitAnswers
