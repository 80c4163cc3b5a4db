#include "platform/QtPlatformServices.h"
#include "settings/ModSHBrowse.h"

#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QtTest>

#include <functional>

// The chooser behind the location dialog's Browse button, as the program
// shows it: the real desktop chooser, driven while it is open.
class TestModSHBrowse : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void chooserIsModalOverOwnerAtRootForFoldersOnly();
    void choosingFolderGivesFullPath_data();
    void choosingFolderGivesFullPath();
    void cancellingGivesNothing();
    void aFileCannotBeConfirmed();

private:
    // Runs whileOpen against the chooser once it shows, then returns what
    // browseForFolder gave.
    std::optional<QString> browse(QWidget *owner, const std::function<void(QFileDialog *)> &whileOpen);

    QTemporaryDir dir_;
    platform::QtPlatformServices desktop_;
};

void TestModSHBrowse::initTestCase()
{
    QVERIFY(dir_.isValid());
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("Attachments 2026 ")));
    QFile file(dir_.filePath(QStringLiteral("plain.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

std::optional<QString> TestModSHBrowse::browse(QWidget *owner, const std::function<void(QFileDialog *)> &whileOpen)
{
    bool ran = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!chooser || !chooser->isVisible() || ran)
            return;
        ran = true;
        poll.stop();
        whileOpen(chooser);
        // A test that left the chooser open closes it, so the run goes on.
        if (chooser->isVisible())
            chooser->reject();
    });
    poll.start();
    const std::optional<QString> result = ModSHBrowse::browseForFolder(desktop_, owner);
    if (!ran)
        qWarning("the chooser never showed");
    return result;
}

void TestModSHBrowse::chooserIsModalOverOwnerAtRootForFoldersOnly()
{
    QDialog owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    bool checked = false;
    browse(&owner, [&](QFileDialog *chooser) {
        QCOMPARE(chooser->parentWidget(), &owner);
        QVERIFY(chooser->isModal());
        QVERIFY(chooser->windowModality() != Qt::NonModal);
        QCOMPARE(QDir(chooser->directory()).absolutePath(), QDir::rootPath());
        QCOMPARE(chooser->fileMode(), QFileDialog::Directory);
        QVERIFY(chooser->testOption(QFileDialog::ShowDirsOnly));
        checked = true;
    });
    QVERIFY(checked);
}

void TestModSHBrowse::choosingFolderGivesFullPath_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("typed full path") << "full";
    QTest::newRow("typed after opening the parent folder") << "relative";
}

void TestModSHBrowse::choosingFolderGivesFullPath()
{
    QFETCH(QString, how);
    const QString folder = dir_.filePath(QStringLiteral("Attachments 2026 "));
    QDialog owner;
    const auto result = browse(&owner, [&](QFileDialog *chooser) {
        auto *name = chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        if (how == QLatin1String("relative")) {
            chooser->setDirectory(dir_.path());
            name->setText(QStringLiteral("Attachments 2026 "));
        } else {
            name->setText(folder);
        }
        QTest::keyClick(name, Qt::Key_Return);
    });
    QVERIFY(result.has_value());
    QCOMPARE(*result, folder);
}

void TestModSHBrowse::cancellingGivesNothing()
{
    QDialog owner;
    const auto result = browse(&owner, [&](QFileDialog *chooser) {
        chooser->selectFile(dir_.path());
        chooser->reject();
    });
    QVERIFY(!result.has_value());
}

void TestModSHBrowse::aFileCannotBeConfirmed()
{
    QDialog owner;
    bool stayedOpen = false;
    const auto result = browse(&owner, [&](QFileDialog *chooser) {
        auto *name = chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(dir_.filePath(QStringLiteral("plain.txt")));
        QTest::keyClick(name, Qt::Key_Return);
        stayedOpen = chooser->isVisible();
    });
    QVERIFY(stayedOpen);
    QVERIFY(!result.has_value());
}

QTEST_MAIN(TestModSHBrowse)
#include "tst_ModSHBrowse.moc"
