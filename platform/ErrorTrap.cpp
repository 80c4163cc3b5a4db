#include "platform/ErrorTrap.h"

#include "host/Text.h"

namespace platform {

std::u16string ComposeErrorReport(std::int32_t number, const std::u16string &description, const std::u16string &label,
                                  std::int32_t line, const std::u16string &contactLine)
{
    return u"Error " + text::number(number) + u": '" + description + u"'\r" + label + text::number(line) + u"\r\r"
        + contactLine;
}

ErrorTrap::ErrorTrap(PlatformServices &platform, std::u16string label, TextSource title, TextSource contactLine,
                     std::function<bool()> unloaded)
    : platform_(platform), label_(std::move(label)), title_(std::move(title)), contactLine_(std::move(contactLine)),
      unloaded_(std::move(unloaded))
{
}

void ErrorTrap::report(const host::Failure &failure)
{
    platform_.MsgBox(ComposeErrorReport(failure.number(), failure.description(), label_, line_, contactLine_()),
                     vbOKOnly, title_());
}

} // namespace platform
