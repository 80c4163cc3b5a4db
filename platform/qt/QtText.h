#pragma once

// The program's UTF-16 texts at the edge of Qt, which holds the same units.

#include <QString>

#include <string>
#include <string_view>

namespace platform::qt {

inline QString toQString(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

inline std::u16string toU16(const QString &text)
{
    return text.toStdU16String();
}

} // namespace platform::qt
