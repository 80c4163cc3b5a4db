#include "host/Failure.h"

#include "host/Text.h"

#include <limits>

namespace host {

Failure::Failure(std::int32_t number, std::u16string description)
    : number_(number), description_(std::move(description)), what_(text::utf8(description_))
{
}

std::int16_t toInt16(std::int64_t value)
{
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        throw Failure::overflow();
    return static_cast<std::int16_t>(value);
}

std::int32_t toInt32(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw Failure::overflow();
    return static_cast<std::int32_t>(value);
}

} // namespace host
