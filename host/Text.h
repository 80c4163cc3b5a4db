#pragma once

// The program's texts are 16-bit character strings (UTF-16), as the host
// holds them. These helpers convert at the edges: UTF-8 for logs and the
// C++ library, decimal numbers for the messages.

#include <cstdint>
#include <string>
#include <string_view>

namespace text {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string utf8(std::u16string_view text);
// UTF-8 to UTF-16. A malformed sequence becomes U+FFFD.
std::u16string fromUtf8(std::string_view text);
// A number in decimal, with a minus sign when negative.
std::u16string number(std::int64_t value);

} // namespace text
