#pragma once

// The program's one error report, and the trap that produces it.
//
// A trapped procedure creates an ErrorTrap with its label, calls at() with
// each statement's number before the statement runs, and runs its body
// through run(). A host::Failure escaping the body ends the procedure with
// one modal report: the error line, the label with the current statement's
// number, an empty line and the contact line, joined with lone CRs.
//
// A trap may watch a window: once that window has unloaded (a notification
// that arrived during a host call or a message box ends the program), the
// next at() stops the procedure quietly, and no report is shown for it.

#include "host/Failure.h"
#include "platform/PlatformServices.h"

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

std::u16string ComposeErrorReport(std::int32_t number, const std::u16string &description, const std::u16string &label,
                                  std::int32_t line, const std::u16string &contactLine);

// Thrown by ErrorTrap::at() when the watched window has unloaded.
struct WindowUnloaded {};

class ErrorTrap {
public:
    using TextSource = std::function<std::u16string()>;

    // title and contactLine are read when a report is shown, not before.
    // unloaded, when given, tells whether the window the procedure works
    // on is gone.
    ErrorTrap(PlatformServices &platform, std::u16string label, TextSource title, TextSource contactLine,
              std::function<bool()> unloaded = {});

    // Sets the current statement's number; stops the procedure when the
    // watched window has unloaded.
    void at(std::int32_t line)
    {
        checkLoaded();
        line_ = line;
    }
    // Stops the procedure (throws WindowUnloaded) when the watched window
    // has unloaded.
    void checkLoaded() const
    {
        if (unloaded_ && unloaded_())
            throw WindowUnloaded{};
    }
    std::int32_t line() const { return line_; }
    const std::u16string &label() const { return label_; }

    // Runs body; a failure is reported and ends it. Returns true when body
    // ran to its end. A failure while the report is shown is not trapped.
    // A window that unloaded under the body ends it silently, and a failure
    // after the unload is not reported.
    template <class Body>
    bool run(Body &&body)
    {
        try {
            body();
            return true;
        } catch (const WindowUnloaded &) {
            return false;
        } catch (const host::Failure &failure) {
            if (!(unloaded_ && unloaded_()))
                report(failure);
            return false;
        }
    }

    void report(const host::Failure &failure);

private:
    PlatformServices &platform_;
    std::u16string label_;
    TextSource title_;
    TextSource contactLine_;
    std::function<bool()> unloaded_;
    std::int32_t line_ = 0;
};

} // namespace platform
