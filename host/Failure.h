#pragma once

#include <QString>
#include <exception>

namespace host {

// The one failure type raised by host and platform calls: a runtime error
// number and a description, as a scripting runtime would report them.
class Failure : public std::exception {
public:
    Failure(qint32 number, QString description)
        : number_(number), description_(std::move(description)), what_(description_.toUtf8()) {}

    qint32 number() const noexcept { return number_; }
    const QString &description() const noexcept { return description_; }
    const char *what() const noexcept override { return what_.constData(); }

    // Classic runtime error numbers used by the program.
    static constexpr qint32 InvalidCall = 5;
    static constexpr qint32 Overflow = 6;
    static constexpr qint32 ObjectNotSet = 91;
    static constexpr qint32 CannotCreateObject = 429;
    static constexpr qint32 AutomationError = 440;
    static constexpr qint32 ServerUnavailable = 462;

    static Failure overflow() { return Failure(Overflow, QStringLiteral("Overflow")); }
    static Failure objectNotSet() {
        return Failure(ObjectNotSet, QStringLiteral("Object variable or With block variable not set"));
    }

private:
    qint32 number_;
    QString description_;
    QByteArray what_;
};

// Converts a host number to 16 bits, raising the overflow failure when it
// does not fit, as a late-bound conversion would.
qint16 toInt16(qint64 value);
// The same for 32 bits.
qint32 toInt32(qint64 value);

} // namespace host
