#include "app/hvtkutilities.h"

void HVTKUtilities::decodeStatusReply(const QString &header, const QByteArray &block)
{
}

