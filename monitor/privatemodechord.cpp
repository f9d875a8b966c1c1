#include "monitor/privatemodechord.h"

#include <Qt>

namespace PrivateModeChord {

namespace {
constexpr quint8 AllKeys = 0x7;
}

quint8 bitForKey(int key)
{
    switch (key) {
    case Qt::Key_Control: return 0x1;
    case Qt::Key_Shift: return 0x2;
    case Qt::Key_F12: return 0x4;
    default: return 0;
    }
}

quint8 pressed(quint8 held, int key)
{
    return quint8(held | bitForKey(key));
}

quint8 released(quint8 held, int key)
{
    return quint8(held & ~bitForKey(key));
}

bool complete(quint8 held)
{
    return (held & AllKeys) == AllKeys;
}

} // namespace PrivateModeChord
