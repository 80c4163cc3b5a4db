#include "platform/qt/QtPlatformServices.h"

#include "platform/qt/QtText.h"
#include "platform/qt/WindowHandle.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QUrl>
#include <QWidget>

#include <cstdio>

#include <unistd.h>

namespace platform {

QString displayText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString startingFolder(const QString &initialDir)
{
    // The stored folder may name a file (it is stored as typed); the dialog
    // would then show no folder at all and find no name typed into it.
    const QFileInfo place(initialDir);
    if (place.exists() && !place.isDir())
        return place.absolutePath();
    return initialDir;
}

QtPlatformServices::QtPlatformServices() = default;
QtPlatformServices::~QtPlatformServices() = default;

int QtPlatformServices::MsgBox(const std::u16string &text, int style, const std::u16string &title)
{
    QMessageBox box;
    box.setWindowTitle(qt::toQString(title));
    box.setText(displayText(qt::toQString(text)));
    box.setTextFormat(Qt::PlainText);
    box.setIcon((style & vbExclamation) == vbExclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    const bool yesNo = (style & 7) == vbYesNo;
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((style & vbDefaultButton2) ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (!yesNo)
        return vbOK;
    return answer == QMessageBox::Yes ? vbYes : vbNo;
}

std::optional<std::u16string> QtPlatformServices::OpenFile(const OpenFileRequest &request)
{
    // The filter comes as "label|pattern" pairs. Qt shows the label and
    // applies the pattern; "*.*" means every file, so on this platform it
    // becomes "*", which also matches names without a dot.
    QStringList filters;
    const QStringList parts = qt::toQString(request.filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    QFileDialog dialog(qt::widgetOf(request.owner));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!request.initialDir.empty())
        dialog.setDirectory(startingFolder(qt::toQString(request.initialDir)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return qt::toU16(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

std::optional<std::u16string> QtPlatformServices::BrowseForFolder(WindowHandle owner)
{
    QFileDialog dialog(qt::widgetOf(owner));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setDirectory(QDir::rootPath());
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return qt::toU16(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

bool QtPlatformServices::ShellExecute(WindowHandle, const std::u16string &, const std::u16string &text,
                                      const std::optional<std::u16string> &, const std::u16string &, int)
{
    const QString target = qt::toQString(text);
    // Paths go to the desktop as file URLs and web or mail addresses as
    // they are; nothing passes through a shell command line.
    const QUrl url = QUrl(target, QUrl::StrictMode);
    const bool isAddress = url.isValid() && url.scheme().size() > 1
        && (url.scheme() == u"http" || url.scheme() == u"https" || url.scheme() == u"mailto");
    return QDesktopServices::openUrl(isAddress ? url : QUrl::fromLocalFile(target));
}

void QtPlatformServices::SetForegroundWindow(WindowHandle handle)
{
    QWidget *window = qt::widgetOf(handle);
    if (!window)
        return;
    window->raise();
    window->activateWindow();
}

QString QtPlatformServices::lockFilePath()
{
    // The folder as the environment names it. QStandardPaths would put a
    // folder of its own in /tmp when the variable is unset, or when the
    // folder's permissions are not exactly 0700, and leave it behind; and
    // two copies must agree on the path whatever the folder is like. A
    // relative path counts as unset, as the XDG rules say.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime))
        return QDir::cleanPath(runtime) + QStringLiteral("/Pennaroc.lock");
    return QDir::tempPath() + QStringLiteral("/Pennaroc-%1.lock").arg(::geteuid());
}

bool QtPlatformServices::AnotherInstanceRunning()
{
    // The first call takes the lock, held for the whole run.
    if (!lock_)
        lock_ = std::make_unique<SingleInstanceLock>(lockFilePath());
    switch (lock_->tryLock()) {
    case SingleInstanceLock::State::HeldElsewhere:
        return true;
    case SingleInstanceLock::State::Unavailable:
        // Only a running copy keeps this one from starting.
        std::fprintf(stderr, "Pennaroc: cannot lock %s: %s; starting without the check for another copy\n",
                     QFile::encodeName(lock_->path()).constData(), lock_->problem().toLocal8Bit().constData());
        std::fflush(stderr);
        return false;
    case SingleInstanceLock::State::Held:
    case SingleInstanceLock::State::NotTried:
        break;
    }
    return false;
}

std::u16string QtPlatformServices::ProgramFolder()
{
    return qt::toU16(QCoreApplication::applicationDirPath());
}

std::u16string QtPlatformServices::ExecutableName()
{
    return qt::toU16(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

bool QtPlatformServices::PathExists(const std::u16string &path)
{
    // The path exactly as given, blanks and all; a relative one is taken
    // from the working folder.
    if (path.empty())
        return false;
    return QFileInfo::exists(qt::toQString(path));
}

bool QtPlatformServices::OpensAsProgram(const std::u16string &path)
{
    if (path.empty())
        return false;
    const QFileInfo info(qt::toQString(path));
    if (info.isDir())
        return false;
    // The desktop runs a file it may execute, and a launcher, rather than
    // open them.
    if (info.exists() && (info.permissions() & (QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther)))
        return true;
    const QString name = info.fileName();
    // Windows programs and shortcuts, which the desktop may hand to a
    // Windows layer that runs them.
    static const QStringList programSuffixes{
        QStringLiteral(".desktop"), QStringLiteral(".exe"), QStringLiteral(".com"), QStringLiteral(".bat"),
        QStringLiteral(".cmd"),     QStringLiteral(".scr"), QStringLiteral(".pif"), QStringLiteral(".lnk"),
        QStringLiteral(".url"),     QStringLiteral(".msi"), QStringLiteral(".vbs"), QStringLiteral(".hta"),
        QStringLiteral(".cpl"),     QStringLiteral(".jar"), QStringLiteral(".appimage")};
    for (const QString &suffix : programSuffixes) {
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    }
    // What the content says: a program or script without its execute bit
    // is still one.
    static const QStringList programTypes{
        QStringLiteral("application/x-executable"),     QStringLiteral("application/x-pie-executable"),
        QStringLiteral("application/x-sharedlib"),      QStringLiteral("application/x-desktop"),
        QStringLiteral("application/x-shellscript"),    QStringLiteral("application/x-ms-dos-executable"),
        QStringLiteral("application/x-msdownload"),     QStringLiteral("application/x-ms-shortcut"),
        QStringLiteral("application/x-msi"),            QStringLiteral("application/x-java-archive"),
        QStringLiteral("application/vnd.appimage")};
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    for (const QString &program : programTypes) {
        if (type.inherits(program))
            return true;
    }
    return false;
}

} // namespace platform
