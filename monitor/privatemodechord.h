#pragma once

#include <QtGlobal>

// The private (service) mode opens when Ctrl, Shift and F12 are held down
// together. One bit per chord key held.
namespace PrivateModeChord {

quint8 bitForKey(int key);
quint8 pressed(quint8 held, int key);
quint8 released(quint8 held, int key);
bool complete(quint8 held);

} // namespace PrivateModeChord
