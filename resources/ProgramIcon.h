#pragma once

#include <QIcon>

namespace resources {

// The program's own window icon.
QIcon programIcon();

} // namespace resources
