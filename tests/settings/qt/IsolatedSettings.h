#pragma once

// Runs a settings test program with its own user and system configuration
// folders, so that it neither reads nor changes the user's real settings.
// QSettings fixes its folders at first use, so they are set before the
// application object exists.

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace testsupport {

struct IsolatedSettings {
    QTemporaryDir root;
    QString userConfig() const { return root.filePath(QStringLiteral("user")); }
    QString systemConfig() const { return root.filePath(QStringLiteral("system")); }

    IsolatedSettings()
    {
        QDir().mkpath(userConfig());
        QDir().mkpath(systemConfig());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(userConfig()));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(systemConfig()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, systemConfig());
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, systemConfig());
    }
    static IsolatedSettings *current;
};

} // namespace testsupport

#define PENNAROC_SETTINGS_TEST_MAIN(TestClass)                                                                   \
    testsupport::IsolatedSettings *testsupport::IsolatedSettings::current = nullptr;                             \
    int main(int argc, char *argv[])                                                                             \
    {                                                                                                            \
        testsupport::IsolatedSettings isolated;                                                                  \
        testsupport::IsolatedSettings::current = &isolated;                                                      \
        QApplication app(argc, argv);                                                                            \
        TestClass test;                                                                                          \
        return QTest::qExec(&test, argc, argv);                                                                  \
    }
