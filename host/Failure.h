#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace host {

// The one failure type raised by host and platform calls: a runtime error
// number and a description, as a scripting runtime would report them.
class Failure : public std::exception {
public:
    Failure(std::int32_t number, std::u16string description);

    std::int32_t number() const noexcept { return number_; }
    const std::u16string &description() const noexcept { return description_; }
    const char *what() const noexcept override { return what_.c_str(); }

    // Classic runtime error numbers used by the program.
    static constexpr std::int32_t InvalidCall = 5;
    static constexpr std::int32_t Overflow = 6;
    static constexpr std::int32_t TypeMismatch = 13;
    static constexpr std::int32_t ObjectNotSet = 91;
    static constexpr std::int32_t InvalidPropertyValue = 380;
    static constexpr std::int32_t CannotCreateObject = 429;
    static constexpr std::int32_t AutomationError = 440;
    static constexpr std::int32_t ServerUnavailable = 462;

    static Failure overflow() { return Failure(Overflow, u"Overflow"); }
    static Failure objectNotSet() { return Failure(ObjectNotSet, u"Object variable or With block variable not set"); }

private:
    std::int32_t number_;
    std::u16string description_;
    std::string what_;
};

// Converts a host number to 16 bits, raising the overflow failure when it
// does not fit, as a late-bound conversion would.
std::int16_t toInt16(std::int64_t value);
// The same for 32 bits.
std::int32_t toInt32(std::int64_t value);

} // namespace host
