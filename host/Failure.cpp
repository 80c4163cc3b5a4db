#include "host/Failure.h"

#include <limits>

namespace host {

qint16 toInt16(qint64 value)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw Failure::overflow();
    return static_cast<qint16>(value);
}

qint32 toInt32(qint64 value)
{
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        throw Failure::overflow();
    return static_cast<qint32>(value);
}

} // namespace host
