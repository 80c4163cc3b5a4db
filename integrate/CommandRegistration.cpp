#include "integrate/CommandRegistration.h"

namespace integrate {

QStringList CommandRegistration::values() const
{
    return {name, executable, folder, caption, tooltip, icon, largeIcon, QString::number(flags)};
}

QString executableBaseName(const QString &executableFileName)
{
    // A leading dot starts a hidden name, not an extension.
    const qsizetype dot = executableFileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? executableFileName.left(dot) : executableFileName;
}

namespace {

QString joined(const QString &folder, QChar separator, const QString &fileName)
{
    if (folder.endsWith(separator))
        return folder + fileName;
    return folder + separator + fileName;
}

} // namespace

CommandRegistration registrationValues(const QString &appName, const QString &tooltipPrefix,
                                       const QString &folder, const QString &executableFileName, PathForm form)
{
    const QString base = executableBaseName(executableFileName);
    CommandRegistration r;
    r.name = appName;
    r.caption = appName;
    r.tooltip = tooltipPrefix + appName;
    r.flags = 1;
    if (form == PathForm::Windows) {
        const QChar sep(u'\\');
        r.folder = folder;
        r.folder.replace(QLatin1Char('/'), sep);
        r.executable = joined(r.folder, sep, base + QStringLiteral(".EXE"));
        r.icon = joined(r.folder, sep, base + QStringLiteral(".ico"));
        r.largeIcon = joined(r.folder, sep, base + QStringLiteral("32.ico"));
    } else {
        const QChar sep(u'/');
        r.folder = folder;
        r.executable = joined(r.folder, sep, executableFileName);
        r.icon = joined(r.folder, sep, base + QStringLiteral(".ico"));
        r.largeIcon = joined(r.folder, sep, base + QStringLiteral("32.ico"));
    }
    return r;
}

} // namespace integrate
