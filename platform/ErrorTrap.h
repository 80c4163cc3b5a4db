#pragma once

// The program's one error report, and the trap that produces it.
//
// A trapped procedure creates an ErrorTrap with its label, calls at() with
// each statement's number before the statement runs, and runs its body
// through run(). A host::Failure escaping the body ends the procedure with
// one modal report: the error line, the label with the current statement's
// number, an empty line and the contact line, joined with lone CRs.

#include "host/Failure.h"
#include "platform/PlatformServices.h"

#include <QString>

#include <functional>

namespace platform {

QString ComposeErrorReport(qint32 number, const QString &description, const QString &label, qint32 line,
                           const QString &contactLine);

class ErrorTrap {
public:
    using TextSource = std::function<QString()>;

    // title and contactLine are read when a report is shown, not before.
    ErrorTrap(PlatformServices &platform, QString label, TextSource title, TextSource contactLine);

    void at(qint32 line) { line_ = line; }
    qint32 line() const { return line_; }
    const QString &label() const { return label_; }

    // Runs body; a failure is reported and ends it. Returns true when body
    // ran to its end. A failure while the report is shown is not trapped.
    template <class Body>
    bool run(Body &&body)
    {
        try {
            body();
            return true;
        } catch (const host::Failure &failure) {
            report(failure);
            return false;
        }
    }

    void report(const host::Failure &failure);

private:
    PlatformServices &platform_;
    QString label_;
    TextSource title_;
    TextSource contactLine_;
    qint32 line_ = 0;
};

} // namespace platform
