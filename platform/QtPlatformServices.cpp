#include "platform/QtPlatformServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

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

int QtPlatformServices::MsgBox(const QString &text, int style, const QString &title)
{
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(displayText(text));
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

std::optional<QString> QtPlatformServices::OpenFile(const OpenFileRequest &request)
{
    // The filter comes as "label|pattern" pairs. Qt shows the label and
    // applies the pattern; "*.*" means every file, so on this platform it
    // becomes "*", which also matches names without a dot.
    QStringList filters;
    const QStringList parts = request.filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    QFileDialog dialog(request.owner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!request.initialDir.isEmpty())
        dialog.setDirectory(startingFolder(request.initialDir));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

std::optional<QString> QtPlatformServices::BrowseForFolder(QWidget *owner)
{
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setDirectory(QDir::rootPath());
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

bool QtPlatformServices::ShellExecute(QWidget *, const QString &, const QString &target, const QString &,
                                      const QString &, int)
{
    // Paths go to the desktop as file URLs and web or mail addresses as
    // they are; nothing passes through a shell command line.
    const QUrl url = QUrl(target, QUrl::StrictMode);
    const bool isAddress = url.isValid() && url.scheme().size() > 1
        && (url.scheme() == u"http" || url.scheme() == u"https" || url.scheme() == u"mailto");
    return QDesktopServices::openUrl(isAddress ? url : QUrl::fromLocalFile(target));
}

void QtPlatformServices::SetForegroundWindow(QWidget *window)
{
    if (!window)
        return;
    window->raise();
    window->activateWindow();
}

QString QtPlatformServices::lockFilePath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/Pennaroc.lock");
}

bool QtPlatformServices::AnotherInstanceRunning()
{
    if (lockTaken_)
        return false;
    if (!lock_) {
        lock_ = std::make_unique<QLockFile>(lockFilePath());
        // Held for the whole run; a lock left by a killed copy is taken over.
        lock_->setStaleLockTime(0);
    }
    lockTaken_ = lock_->tryLock(0);
    return !lockTaken_;
}

QString QtPlatformServices::ProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString QtPlatformServices::ExecutableName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

} // namespace platform
