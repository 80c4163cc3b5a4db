#include "resources/ProgramIcon.h"

namespace resources {

QIcon programIcon()
{
    return QIcon(QStringLiteral(":/pennaroc/pennaroc.png"));
}

} // namespace resources
