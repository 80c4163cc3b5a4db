#pragma once

// The failure the COM host core raises: a runtime error number and its
// description, the same numbers the program uses on every platform.

#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>

namespace host::com {

class Error : public std::exception {
public:
    Error(std::int32_t number, std::wstring description) : number_(number), description_(std::move(description))
    {
        // what(): the number and the description in UTF-8.
        const std::wstring all = std::to_wstring(number_) + L": " + description_;
        const int size = WideCharToMultiByte(CP_UTF8, 0, all.data(), int(all.size()), nullptr, 0, nullptr, nullptr);
        what_.resize(size);
        WideCharToMultiByte(CP_UTF8, 0, all.data(), int(all.size()), what_.data(), size, nullptr, nullptr);
    }

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
