#include "settings/qt/QtSettingsStore.h"

#include "host/Failure.h"
#include "platform/qt/QtText.h"

#include <QSettings>
#include <QStringList>

#include <memory>

namespace settings {
namespace {

using platform::qt::toQString;
using platform::qt::toU16;

void requireName(const std::u16string &name, const char16_t *what)
{
    if (name.empty())
        throw host::Failure(host::Failure::InvalidCall,
                            u"Invalid procedure call: the settings " + std::u16string(what) + u" is empty");
}

std::unique_ptr<QSettings> open(const std::u16string &application, const std::u16string &section,
                                const std::u16string &key)
{
    requireName(application, u"application name");
    requireName(section, u"section");
    requireName(key, u"key");
    const QString name = toQString(application);
    auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, name, name);
    store->setFallbacksEnabled(false);
    return store;
}

QString entryPath(const std::u16string &section, const std::u16string &key)
{
    return toQString(section) + QLatin1Char('/') + toQString(key);
}

// A file that exists but cannot be opened is an access error. A file with
// lines that do not parse is a format error: Qt still reads every entry it
// understands, and rewrites the file cleanly on the next write, so such a
// file is used as it is.
void requireAccess(const QSettings &store, const QString &action)
{
    if (store.status() == QSettings::AccessError)
        throw host::Failure(SettingsStore::AccessFailure,
                            toU16(QStringLiteral("Path/File access error: the settings file %1 could not be %2")
                                      .arg(store.fileName(), action)));
}

} // namespace

std::u16string QtSettingsStore::read(const std::u16string &application, const std::u16string &section,
                                     const std::u16string &key, const std::u16string &valueIfMissing)
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
        return toU16(value.toStringList().join(QLatin1Char(',')));
    return toU16(value.toString());
}

void QtSettingsStore::write(const std::u16string &application, const std::u16string &section,
                            const std::u16string &key, const std::u16string &text)
{
    const auto store = open(application, section, key);
    store->setValue(entryPath(section, key), toQString(text));
    store->sync();
    requireAccess(*store, QStringLiteral("written"));
}

QString QtSettingsStore::fileName(const std::u16string &application)
{
    requireName(application, u"application name");
    const QString name = toQString(application);
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, name, name).fileName();
}

} // namespace settings
