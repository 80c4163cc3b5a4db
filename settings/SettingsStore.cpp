#include "settings/SettingsStore.h"

#include "host/Failure.h"

#ifdef Q_OS_WIN
#include "settings/registry/RegistrySettings.h"
#endif

#include <QSettings>
#include <QStringList>

#include <memory>

namespace settings {

#ifdef Q_OS_WIN

// On Windows the entries live in the registry, where the old program kept
// them (settings/registry); QSettings would file them elsewhere.

QString SettingsStore::read(const QString &application, const QString &section, const QString &key,
                            const QString &valueIfMissing)
{
    try {
        const auto value = registry::read(application.toStdWString(), section.toStdWString(), key.toStdWString());
        return value ? QString::fromStdWString(*value) : valueIfMissing;
    } catch (const registry::Error &e) {
        throw host::Failure(e.number(), QString::fromStdWString(e.description()));
    }
}

void SettingsStore::write(const QString &application, const QString &section, const QString &key,
                          const QString &text)
{
    try {
        registry::write(application.toStdWString(), section.toStdWString(), key.toStdWString(), text.toStdWString());
    } catch (const registry::Error &e) {
        throw host::Failure(e.number(), QString::fromStdWString(e.description()));
    }
}

QString SettingsStore::fileName(const QString &application)
{
    if (application.isEmpty())
        throw host::Failure(host::Failure::InvalidCall,
                            QStringLiteral("Invalid procedure call: the settings application name is empty"));
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + application;
}

#else

namespace {

void requireName(const QString &name, const char *what)
{
    if (name.isEmpty())
        throw host::Failure(host::Failure::InvalidCall,
                            QStringLiteral("Invalid procedure call: the settings %1 is empty").arg(QLatin1String(what)));
}

std::unique_ptr<QSettings> open(const QString &application, const QString &section, const QString &key)
{
    requireName(application, "application name");
    requireName(section, "section");
    requireName(key, "key");
    auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, application,
                                             application);
    store->setFallbacksEnabled(false);
    return store;
}

QString entryPath(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

// A file that exists but cannot be opened is an access error. A file with
// lines that do not parse is a format error: Qt still reads every entry it
// understands, and rewrites the file cleanly on the next write, so such a
// file is used as it is.
void requireAccess(const QSettings &store, const QString &action)
{
    if (store.status() == QSettings::AccessError)
        throw host::Failure(SettingsStore::AccessFailure,
                            QStringLiteral("Path/File access error: the settings file %1 could not be %2")
                                .arg(store.fileName(), action));
}

} // namespace

QString SettingsStore::read(const QString &application, const QString &section, const QString &key,
                            const QString &valueIfMissing)
{
    const auto store = open(application, section, key);
    requireAccess(*store, QStringLiteral("read"));
    const QString path = entryPath(section, key);
    if (!store->contains(path))
        return valueIfMissing;
    const QVariant value = store->value(path);
    // Qt writes every text so that it reads back as one text. An entry
    // edited by hand with unquoted commas reads back as a list; its items
    // are joined again with commas.
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SettingsStore::write(const QString &application, const QString &section, const QString &key,
                          const QString &text)
{
    const auto store = open(application, section, key);
    store->setValue(entryPath(section, key), text);
    store->sync();
    requireAccess(*store, QStringLiteral("written"));
}

QString SettingsStore::fileName(const QString &application)
{
    requireName(application, "application name");
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, application, application).fileName();
}

#endif

} // namespace settings
