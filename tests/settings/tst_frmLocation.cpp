#include "host/Failure.h"
#include "settings/SettingsStore.h"
#include "settings/frmLocation.h"
#include "tests/settings/IsolatedSettings.h"
#include "tests/support/ScriptedPlatform.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using settings::SettingsStore;

namespace {

const QString Missing = QStringLiteral("<missing>");

QString stored()
{
    return SettingsStore::read(QStringLiteral("Pennaroc"), QStringLiteral("Settings"), QStringLiteral("DefaultFolder"),
                               Missing);
}

void store(const QString &text)
{
    SettingsStore::write(QStringLiteral("Pennaroc"), QStringLiteral("Settings"), QStringLiteral("DefaultFolder"), text);
}

QString storeFile()
{
    return SettingsStore::fileName(QStringLiteral("Pennaroc"));
}

// A desktop whose program folder cannot be found.
class NoProgramFolder : public testsupport::ScriptedPlatform {
public:
    QString ProgramFolder() override { throw host::Failure(52, QStringLiteral("Bad file name or number")); }
};

} // namespace

class TestFrmLocation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void windowLayout();
    void controlLayout_data();
    void controlLayout();
    void tabOrderAndFocus();

    void firstOpeningShowsProgramFolder();
    void storedValueShownUnchanged_data();
    void storedValueShownUnchanged();
    void eachOpeningStartsFromStore();

    void okStoresExactlyWhatIsShown_data();
    void okStoresExactlyWhatIsShown();
    void modalRunEndsOnEnter();
    void nothingStoredWithoutOk_data();
    void nothingStoredWithoutOk();

    void browseChoiceReplacesText_data();
    void browseChoiceReplacesText();
    void enterOnBrowsePressesBrowse();

    void loadFailureIsReported_data();
    void loadFailureIsReported();
    void saveFailureKeepsDialogOpen();

private:
    std::unique_ptr<frmLocation> open();

    testsupport::ScriptedPlatform desktop_;
};

void TestFrmLocation::init()
{
    desktop_ = testsupport::ScriptedPlatform();
    desktop_.programFolder = QStringLiteral("/opt/pennaroc");
    QFile::remove(storeFile());
}

void TestFrmLocation::cleanup()
{
    if (QFileInfo(storeFile()).isDir())
        QDir(storeFile()).removeRecursively();
    QFile::remove(storeFile());
}

std::unique_ptr<frmLocation> TestFrmLocation::open()
{
    auto dialog = std::make_unique<frmLocation>(desktop_);
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    if (!QTest::qWaitForWindowActive(dialog.get()))
        qWarning("the dialog did not become active");
    return dialog;
}

void TestFrmLocation::windowLayout()
{
    frmLocation dialog(desktop_);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Default Attachment Location"));
    QCOMPARE(dialog.size(), QSize(469, 114));
    QCOMPARE(dialog.minimumSize(), QSize(469, 114));
    QCOMPARE(dialog.maximumSize(), QSize(469, 114));
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(dialog.cmdOK->isDefault());
    QVERIFY(!dialog.cmdCancel->isDefault());
    QVERIFY(!dialog.cmdBrowse->isDefault());
}

void TestFrmLocation::controlLayout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    // Twips / 15, rounded.
    QTest::newRow("cmdOK") << "cmdOK" << "&OK" << QRect(165, 78, 67, 22);
    QTest::newRow("cmdCancel") << "cmdCancel" << "&Cancel" << QRect(237, 78, 67, 22);
    QTest::newRow("cmdBrowse") << "cmdBrowse" << "Browse..." << QRect(391, 41, 67, 22);
    QTest::newRow("txtPath") << "txtPath" << "" << QRect(20, 41, 367, 21);
    QTest::newRow("lblPath") << "lblPath" << "Default Attachment Folder :" << QRect(20, 22, 367, 19);
}

void TestFrmLocation::controlLayout()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    desktop_.programFolder.clear();
    frmLocation dialog(desktop_);
    auto *control = dialog.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QString text;
    if (auto *button = qobject_cast<QPushButton *>(control))
        text = button->text();
    else if (auto *label = qobject_cast<QLabel *>(control))
        text = label->text();
    else if (auto *edit = qobject_cast<QLineEdit *>(control))
        text = edit->text();
    QCOMPARE(text, caption);
}

void TestFrmLocation::tabOrderAndFocus()
{
    auto dialog = open();
    QCOMPARE(QApplication::focusWidget(), dialog->cmdOK);
    const QList<QWidget *> expected{dialog->cmdCancel, dialog->cmdBrowse, dialog->txtPath, dialog->cmdOK};
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QVERIFY(dialog->lblPath->focusPolicy() == Qt::NoFocus);
}

void TestFrmLocation::firstOpeningShowsProgramFolder()
{
    auto dialog = open();
    QCOMPARE(dialog->txtPath->text(), QStringLiteral("/opt/pennaroc"));
    QCOMPARE(stored(), Missing);
    QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    QCOMPARE(stored(), QStringLiteral("/opt/pennaroc"));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(desktop_.messages.isEmpty());
}

void TestFrmLocation::storedValueShownUnchanged_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("folder that no longer exists") << "/no/such/folder";
    QTest::newRow("empty: the program folder is not offered") << "";
    QTest::newRow("leading and trailing blanks") << "  /srv/attachments  ";
    QTest::newRow("a file, not a folder") << "/etc/hostname";
    QTest::newRow("line breaks and tabs") << "/a\r\nb\tc";
    QTest::newRow("beyond the BMP") << QString::fromUtf8("/srv/\xF0\x9F\x93\x8E deals");
    QTest::newRow("longer than a text box's default limit") << QString(40000, QLatin1Char('x'));
}

void TestFrmLocation::storedValueShownUnchanged()
{
    QFETCH(QString, value);
    store(value);
    auto dialog = open();
    QCOMPARE(dialog->txtPath->text(), value);
    QTest::keyClick(dialog->cmdOK, Qt::Key_Return);
    QCOMPARE(stored(), value);
    QVERIFY(desktop_.messages.isEmpty());
}

void TestFrmLocation::eachOpeningStartsFromStore()
{
    store(QStringLiteral("/kept"));
    {
        auto dialog = open();
        dialog->txtPath->setText(QStringLiteral("/typed but cancelled"));
        QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
    }
    auto dialog = open();
    QCOMPARE(dialog->txtPath->text(), QStringLiteral("/kept"));
}

void TestFrmLocation::okStoresExactlyWhatIsShown_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click on OK") << "click";
    QTest::newRow("Enter in the text box") << "enter-text";
    QTest::newRow("keypad Enter in the text box") << "keypad-text";
    QTest::newRow("Enter on OK") << "enter-ok";
    QTest::newRow("Space on OK") << "space-ok";
}

void TestFrmLocation::okStoresExactlyWhatIsShown()
{
    QFETCH(QString, how);
    store(QStringLiteral("/old"));
    auto dialog = open();
    dialog->txtPath->setFocus();
    dialog->txtPath->selectAll();
    const QString typed = QStringLiteral("  /srv/Attach ments/ ");
    QTest::keyClicks(dialog->txtPath, typed);
    QCOMPARE(dialog->txtPath->text(), typed);

    if (how == QLatin1String("click")) {
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    } else if (how == QLatin1String("enter-text")) {
        QTest::keyClick(dialog->txtPath, Qt::Key_Return);
    } else if (how == QLatin1String("keypad-text")) {
        QTest::keyClick(dialog->txtPath, Qt::Key_Enter, Qt::KeypadModifier);
    } else {
        dialog->cmdOK->setFocus();
        QTest::keyClick(dialog->cmdOK, how == QLatin1String("space-ok") ? Qt::Key_Space : Qt::Key_Return);
    }
    QCOMPARE(stored(), typed);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

void TestFrmLocation::modalRunEndsOnEnter()
{
    frmLocation dialog(desktop_);
    QTimer::singleShot(0, &dialog, [&] {
        dialog.txtPath->setFocus();
        dialog.txtPath->clear();
        QTest::keyClicks(dialog.txtPath, QStringLiteral("/chosen "));
        QTest::keyClick(dialog.txtPath, Qt::Key_Return);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(stored(), QStringLiteral("/chosen "));
}

void TestFrmLocation::nothingStoredWithoutOk_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("hadValue");
    for (bool hadValue : {false, true}) {
        const char *suffix = hadValue ? " (earlier value)" : " (no entry)";
        QTest::addRow("click on Cancel%s", suffix) << "click-cancel" << hadValue;
        QTest::addRow("Escape in the text box%s", suffix) << "escape-text" << hadValue;
        QTest::addRow("Escape on OK%s", suffix) << "escape-ok" << hadValue;
        QTest::addRow("Escape on Browse%s", suffix) << "escape-browse" << hadValue;
        QTest::addRow("Enter on Cancel%s", suffix) << "enter-cancel" << hadValue;
        QTest::addRow("close box%s", suffix) << "close" << hadValue;
    }
}

void TestFrmLocation::nothingStoredWithoutOk()
{
    QFETCH(QString, how);
    QFETCH(bool, hadValue);
    if (hadValue)
        store(QStringLiteral(" /earlier "));
    auto dialog = open();
    dialog->txtPath->setText(QStringLiteral("/typed"));

    if (how == QLatin1String("click-cancel")) {
        QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
    } else if (how == QLatin1String("escape-text")) {
        dialog->txtPath->setFocus();
        QTest::keyClick(dialog->txtPath, Qt::Key_Escape);
    } else if (how == QLatin1String("escape-ok")) {
        QTest::keyClick(dialog->cmdOK, Qt::Key_Escape);
    } else if (how == QLatin1String("escape-browse")) {
        dialog->cmdBrowse->setFocus();
        QTest::keyClick(dialog->cmdBrowse, Qt::Key_Escape);
    } else if (how == QLatin1String("enter-cancel")) {
        dialog->cmdCancel->setFocus();
        QTest::keyClick(dialog->cmdCancel, Qt::Key_Return);
    } else {
        QVERIFY(dialog->close());
    }
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(stored(), hadValue ? QStringLiteral(" /earlier ") : Missing);
    QVERIFY(desktop_.folderOwners.isEmpty());
}

void TestFrmLocation::browseChoiceReplacesText_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("shown");
    QTest::newRow("cancelled: typed text kept") << std::optional<QString>() << " typed by hand ";
    QTest::newRow("folder chosen") << std::optional<QString>(QStringLiteral("/home/ann/Deals 2026"))
                                   << "/home/ann/Deals 2026";
    QTest::newRow("item without a path empties the box") << std::optional<QString>(QString()) << "";
}

void TestFrmLocation::browseChoiceReplacesText()
{
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, shown);
    desktop_.folderAnswers << answer;
    auto dialog = open();
    dialog->txtPath->setText(QStringLiteral(" typed by hand "));
    QTest::mouseClick(dialog->cmdBrowse, Qt::LeftButton);
    QCOMPARE(desktop_.folderOwners.size(), 1);
    QCOMPARE(desktop_.folderOwners[0].data(), dialog.get());
    QCOMPARE(dialog->txtPath->text(), shown);
    QVERIFY(dialog->isVisible());
    QCOMPARE(stored(), Missing);
    QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    QCOMPARE(stored(), shown);
}

void TestFrmLocation::enterOnBrowsePressesBrowse()
{
    desktop_.folderAnswers << std::optional<QString>(QStringLiteral("/picked"));
    auto dialog = open();
    dialog->cmdBrowse->setFocus();
    QTest::keyClick(dialog->cmdBrowse, Qt::Key_Return);
    QCOMPARE(desktop_.folderOwners.size(), 1);
    QVERIFY(dialog->isVisible());
    QCOMPARE(stored(), Missing);
    // Back in the text box, Enter is OK again.
    dialog->txtPath->setFocus();
    QTest::keyClick(dialog->txtPath, Qt::Key_Return);
    QCOMPARE(stored(), QStringLiteral("/picked"));
    QCOMPARE(desktop_.folderOwners.size(), 1);
}

void TestFrmLocation::loadFailureIsReported_data()
{
    QTest::addColumn<bool>("storeUnreadable");
    QTest::newRow("settings file cannot be read") << true;
    QTest::newRow("program folder cannot be found") << false;
}

void TestFrmLocation::loadFailureIsReported()
{
    QFETCH(bool, storeUnreadable);
    NoProgramFolder noFolder;
    testsupport::ScriptedPlatform &desktop = storeUnreadable ? desktop_ : noFolder;
    if (storeUnreadable)
        QVERIFY(QDir().mkpath(storeFile()));
    const QString error = storeUnreadable
        ? QStringLiteral("Error 75: 'Path/File access error: the settings file ") + storeFile()
            + QStringLiteral(" could not be read'")
        : QStringLiteral("Error 52: 'Bad file name or number'");

    frmLocation dialog(desktop);
    QCOMPARE(desktop.messages.size(), 1);
    QCOMPARE(desktop.messages[0].text,
             error + QStringLiteral("\rin frmAdo: Sub Form_Load - Line # 17700\r\r"
                                    "Please contact support@veltrane.example with this error message."));
    QCOMPARE(desktop.messages[0].style, 0);
    QCOMPARE(desktop.messages[0].title, QStringLiteral("Pennaroc error"));
    // The dialog still opens, with an empty box.
    QCOMPARE(dialog.txtPath->text(), QString());
    dialog.show();
    QVERIFY(dialog.isVisible());
}

void TestFrmLocation::saveFailureKeepsDialogOpen()
{
    auto dialog = open();
    dialog->txtPath->setText(QStringLiteral("/not lost"));
    QVERIFY(QDir().mkpath(storeFile()));
    QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    QCOMPARE(desktop_.messages.size(), 1);
    QCOMPARE(desktop_.messages[0].style, 48);
    QCOMPARE(desktop_.messages[0].title, QStringLiteral("Pennaroc"));
    QVERIFY(desktop_.messages[0].text.startsWith(
        QStringLiteral("The default attachment folder could not be saved.\rPath/File access error: ")));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->txtPath->text(), QStringLiteral("/not lost"));

    // Once the store can be written again, OK goes through.
    QDir(storeFile()).removeRecursively();
    QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    QCOMPARE(stored(), QStringLiteral("/not lost"));
    QVERIFY(!dialog->isVisible());
}

PENNAROC_SETTINGS_TEST_MAIN(TestFrmLocation)
#include "tst_frmLocation.moc"
