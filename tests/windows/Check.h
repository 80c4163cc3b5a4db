#pragma once

// A small test harness for the Windows test programs, which have no Qt: a
// program lists its cases, runs them all (or those named on its command
// line), prints each failed check with its place, and exits non-zero when
// any failed.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

namespace check {

inline int &failures()
{
    static int count = 0;
    return count;
}

inline std::string narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// The program's texts: UTF-16 as well, unit for unit.
inline std::string narrow(std::u16string_view text) { return narrow(std::wstring(text.begin(), text.end())); }

template <class T>
std::string show(const T &value)
{
    if constexpr (std::is_convertible_v<const T &, std::wstring_view>) {
        return "\"" + narrow(std::wstring_view(value)) + "\"";
    } else if constexpr (std::is_convertible_v<const T &, std::u16string_view>) {
        return "\"" + narrow(std::u16string_view(value)) + "\"";
    } else if constexpr (std::is_convertible_v<const T &, std::string_view>) {
        return "\"" + std::string(std::string_view(value)) + "\"";
    } else if constexpr (std::is_same_v<T, bool>) {
        return value ? "true" : "false";
    } else {
        std::ostringstream out;
        out << +value;
        return out.str();
    }
}

inline void fail(const std::string &what, const char *file, int line)
{
    ++failures();
    std::printf("  FAIL %s:%d: %s\n", file, line, what.c_str());
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

struct Case {
    const char *name;
    std::function<void()> run;
};

inline int run(int argc, char **argv, std::initializer_list<Case> cases)
{
    int ran = 0;
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
        } catch (const std::exception &e) {
            fail(std::string("unexpected exception: ") + e.what(), c.name, 0);
        } catch (...) {
            fail("unexpected exception", c.name, 0);
        }
        std::printf("  %s\n", failures() == before ? "ok" : "FAILED");
    }
    std::printf("%d cases, %d failed checks\n", ran, failures());
    return failures() == 0 && ran > 0 ? 0 : 1;
}

} // namespace check

#define CHECK(condition) ::check::verify(bool(condition), #condition, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) ::check::equal((actual), (expected), #actual, __FILE__, __LINE__)
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
