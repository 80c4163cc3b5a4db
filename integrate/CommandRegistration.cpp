#include "integrate/CommandRegistration.h"

#include "host/Text.h"

#include <algorithm>

namespace integrate {

std::vector<std::u16string> CommandRegistration::values() const
{
    return {name, executable, folder, caption, tooltip, icon, largeIcon, text::number(flags)};
}

std::u16string executableBaseName(const std::u16string &executableFileName)
{
    // A leading dot starts a hidden name, not an extension.
    const std::size_t dot = executableFileName.rfind(u'.');
    return dot != std::u16string::npos && dot > 0 ? executableFileName.substr(0, dot) : executableFileName;
}

namespace {

std::u16string joined(const std::u16string &folder, char16_t separator, const std::u16string &fileName)
{
    if (!folder.empty() && folder.back() == separator)
        return folder + fileName;
    return folder + separator + fileName;
}

} // namespace

CommandRegistration registrationValues(const std::u16string &appName, const std::u16string &tooltipPrefix,
                                       const std::u16string &folder, const std::u16string &executableFileName,
                                       PathForm form)
{
    const std::u16string base = executableBaseName(executableFileName);
    CommandRegistration r;
    r.name = appName;
    r.caption = appName;
    r.tooltip = tooltipPrefix + appName;
    r.flags = 1;
    if (form == PathForm::Windows) {
        const char16_t sep = u'\\';
        r.folder = folder;
        std::replace(r.folder.begin(), r.folder.end(), u'/', sep);
        r.executable = joined(r.folder, sep, base + u".EXE");
        r.icon = joined(r.folder, sep, base + u".ico");
        r.largeIcon = joined(r.folder, sep, base + u"32.ico");
    } else {
        const char16_t sep = u'/';
        r.folder = folder;
        r.executable = joined(r.folder, sep, executableFileName);
        r.icon = joined(r.folder, sep, base + u".ico");
        r.largeIcon = joined(r.folder, sep, base + u"32.ico");
    }
    return r;
}

} // namespace integrate
