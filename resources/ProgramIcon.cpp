#include "resources/ProgramIcon.h"

// The resource file is compiled into a static library, so its data must be
// registered by hand before first use.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace resources {

QIcon programIcon()
{
    static const bool registered = (initResources(), true);
    Q_UNUSED(registered);
    return QIcon(QStringLiteral(":/pennaroc/pennaroc.png"));
}

} // namespace resources
