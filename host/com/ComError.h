#pragma once

// The failure the COM host core raises: a runtime error number and its
// description, the same numbers the program uses on every platform.

#include <cstdint>
#include <exception>
#include <string>

namespace host::com {

class Error : public std::exception {
public:
    // windows.h stays out of this header, which the portable interfaces'
    // adapter includes: its macros rename members such as ShellExecute.
    Error(std::int32_t number, std::wstring description);

    std::int32_t number() const noexcept { return number_; }
    const std::wstring &description() const noexcept { return description_; }
    const char *what() const noexcept override { return what_.c_str(); }

    static constexpr std::int32_t InvalidCall = 5;
    static constexpr std::int32_t Overflow = 6;
    static constexpr std::int32_t TypeMismatch = 13;
    static constexpr std::int32_t ObjectNotSet = 91;
    static constexpr std::int32_t CannotCreateObject = 429;
    static constexpr std::int32_t NoSuchMember = 438;
    static constexpr std::int32_t AutomationError = 440;
    static constexpr std::int32_t WrongArgumentCount = 450;
    static constexpr std::int32_t ServerUnavailable = 462;

private:
    std::int32_t number_;
    std::wstring description_;
    std::string what_;
};

} // namespace host::com
