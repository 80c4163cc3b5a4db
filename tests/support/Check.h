#pragma once

// A small test harness for the portable tests, which use no toolkit and run
// the same on Linux and under Wine: a program lists its cases (a case may
// walk a table of rows), runs them all or those named on its command line,
// prints each failed check with its place, and exits non-zero when any
// failed. Texts are shown as UTF-8.

#include "host/Failure.h"
#include "host/Text.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace check {

inline int &failures()
{
    static int count = 0;
    return count;
}

// The row of a table being checked, named in failure messages.
inline std::string &currentRow()
{
    static std::string row;
    return row;
}

// A text as UTF-8, for the report. Wide texts are UTF-16 on Windows and
// UTF-32 elsewhere.
inline std::string narrow(std::u16string_view text) { return text::utf8(text); }
inline std::string narrow(std::wstring_view text)
{
    std::u16string units;
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (sizeof(wchar_t) > 2 && code > 0xFFFF) {
            units += char16_t(0xD800 + ((code - 0x10000) >> 10));
            units += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            units += char16_t(code);
        }
    }
    return text::utf8(units);
}

template <class T>
std::string show(const T &value)
{
    if constexpr (std::is_convertible_v<const T &, std::u16string_view>) {
        return "\"" + narrow(std::u16string_view(value)) + "\"";
    } else if constexpr (std::is_convertible_v<const T &, std::wstring_view>) {
        return "\"" + narrow(std::wstring_view(value)) + "\"";
    } else if constexpr (std::is_convertible_v<const T &, std::string_view>) {
        return "\"" + std::string(std::string_view(value)) + "\"";
    } else if constexpr (std::is_same_v<T, bool>) {
        return value ? "true" : "false";
    } else if constexpr (std::is_enum_v<T>) {
        return std::to_string(static_cast<long long>(value));
    } else if constexpr (std::is_arithmetic_v<T>) {
        std::ostringstream out;
        out << +value;
        return out.str();
    } else {
        return "(value)";
    }
}

template <class T>
std::string show(const std::optional<T> &value)
{
    return value ? show(*value) : std::string("nothing");
}

template <class T>
std::string show(const std::vector<T> &values)
{
    std::string out = "{";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + show(values[i]);
    return out + "}";
}

inline void fail(const std::string &what, const char *file, int line)
{
    ++failures();
    if (currentRow().empty())
        std::printf("  FAIL %s:%d: %s\n", file, line, what.c_str());
    else
        std::printf("  FAIL %s:%d [%s]: %s\n", file, line, currentRow().c_str(), what.c_str());
    std::fflush(stdout);
}

inline bool verify(bool condition, const char *text, const char *file, int line)
{
    if (!condition)
        fail(text, file, line);
    return condition;
}

template <class A, class B>
bool equal(const A &actual, const B &expected, const char *actualText, const char *file, int line)
{
    if (actual == expected)
        return true;
    fail(std::string(actualText) + " is " + show(actual) + ", expected " + show(expected), file, line);
    return false;
}

// Names the table row that the checks inside its scope belong to.
class Row {
public:
    explicit Row(std::string name) : previous_(currentRow()) { currentRow() = std::move(name); }
    ~Row() { currentRow() = previous_; }
    Row(const Row &) = delete;
    Row &operator=(const Row &) = delete;

private:
    std::string previous_;
};

struct Case {
    const char *name;
    std::function<void()> run;
};

inline int run(int argc, char **argv, std::initializer_list<Case> cases)
{
    int ran = 0;
    int failedCases = 0;
    for (const Case &c : cases) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || std::string_view(argv[i]) == c.name;
        if (!wanted)
            continue;
        ++ran;
        const int before = failures();
        std::printf("%s\n", c.name);
        std::fflush(stdout);
        try {
            c.run();
        } catch (const host::Failure &e) {
            fail(std::string("unexpected failure ") + std::to_string(e.number()) + ": " + e.what(), c.name, 0);
        } catch (const std::exception &e) {
            fail(std::string("unexpected exception: ") + e.what(), c.name, 0);
        } catch (...) {
            fail("unexpected exception", c.name, 0);
        }
        currentRow().clear();
        const bool ok = failures() == before;
        failedCases += ok ? 0 : 1;
        std::printf("  %s\n", ok ? "ok" : "FAILED");
    }
    std::printf("%d passed, %d failed\n", ran - failedCases, failedCases);
    return failures() == 0 && ran > 0 ? 0 : 1;
}

// The failure statement raises, or nothing (a check fails) when it raises none.
template <class Statement>
std::optional<host::Failure> failureOf(Statement &&statement)
{
    try {
        statement();
    } catch (const host::Failure &failure) {
        return failure;
    }
    return std::nullopt;
}

} // namespace check

// Runs statement, which must throw ExceptionType; then runs inspect(e).
#define CHECK_THROWS_AS(statement, ExceptionType, inspect)                                                           \
    do {                                                                                                              \
        try {                                                                                                         \
            statement;                                                                                                \
            ::check::fail("no " #ExceptionType " from " #statement, __FILE__, __LINE__);                              \
        } catch (const ExceptionType &e) {                                                                            \
            inspect(e);                                                                                               \
        }                                                                                                             \
    } while (false)
#define CHECK(condition) ::check::verify(bool(condition), #condition, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) ::check::equal((actual), (expected), #actual, __FILE__, __LINE__)
// Runs statement, which must raise host::Failure with the given number.
#define CHECK_FAILS(statement, expectedNumber)                                                                        \
    do {                                                                                                              \
        const auto failure_ = ::check::failureOf([&] { statement; });                                                 \
        if (!failure_)                                                                                                \
            ::check::fail("no failure from " #statement, __FILE__, __LINE__);                                         \
        else                                                                                                          \
            ::check::equal(failure_->number(), std::int32_t(expectedNumber), "failure number of " #statement,         \
                           __FILE__, __LINE__);                                                                       \
    } while (false)
