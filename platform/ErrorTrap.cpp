#include "platform/ErrorTrap.h"

namespace platform {

QString ComposeErrorReport(qint32 number, const QString &description, const QString &label, qint32 line,
                           const QString &contactLine)
{
    const QChar cr(u'\r');
    return QStringLiteral("Error ") + QString::number(number) + QStringLiteral(": '") + description
        + QStringLiteral("'") + cr + label + QString::number(line) + cr + cr + contactLine;
}

ErrorTrap::ErrorTrap(PlatformServices &platform, QString label, TextSource title, TextSource contactLine)
    : platform_(platform), label_(std::move(label)), title_(std::move(title)), contactLine_(std::move(contactLine))
{
}

void ErrorTrap::report(const host::Failure &failure)
{
    const QString text = ComposeErrorReport(failure.number(), failure.description(), label_, line_, contactLine_());
    platform_.MsgBox(text, vbOKOnly, title_());
}

} // namespace platform
