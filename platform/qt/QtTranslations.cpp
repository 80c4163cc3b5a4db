#include "platform/qt/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace platform {

bool loadQtTranslations()
{
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return false;
    auto *translator = new QTranslator(application);
    // Tries the locale's languages in the user's order of preference, each
    // from the most to the least specific name (qtbase_fr_FR, qtbase_fr).
    if (!translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

} // namespace platform
