#pragma once

// The product's fixed texts, as the settings and About windows use them.
// The application title also names the settings file and heads the error
// reports of the location dialog.

#include <QString>

namespace product {

inline QString applicationTitle() { return QStringLiteral("Pennaroc"); }
inline QString supportAddress() { return QStringLiteral("support@veltrane.example"); }

} // namespace product
