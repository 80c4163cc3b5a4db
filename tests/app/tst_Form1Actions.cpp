#include "app/AttachmentMarker.h"
#include "app/Form1.h"
#include "platform/ProgramState.h"
#include "platform/QtPlatformServices.h"
#include "settings/SettingsStore.h"
#include "tests/settings/IsolatedSettings.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ScriptedPlatform.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <memory>

using testsupport::FakeHost;
using testsupport::ScriptedPlatform;

namespace {

const QString Contact = QStringLiteral("Please contact support@veltrane.example with this error message.");
const QString Refusal = QStringLiteral("Unable to modify the Details field.");
const QString InvalidPath = QStringLiteral("The path to the attachment is invalid or the file is not accessible.");
const QString Question = QStringLiteral("There is already a file attached to this sale/opportunity. Attaching a new "
                                        "one will remove the current attachment.\rAre you sure you want to continue?");
const QString Chosen = QStringLiteral("C:\\Docs\\Quote.doc");

QString report(qint32 number, const QString &description, int line)
{
    return QStringLiteral("Error %1: '%2'\rin Form1: Sub cmdOK_Click - Line # %3\r\r").arg(number).arg(description).arg(line)
        + Contact;
}

void storeDefaultFolder(const std::optional<QString> &folder)
{
    if (folder) {
        settings::SettingsStore::write(QStringLiteral("Pennaroc"), QStringLiteral("Settings"),
                                       QStringLiteral("DefaultFolder"), *folder);
    } else {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Pennaroc"),
                        QStringLiteral("Pennaroc"));
        store.remove(QStringLiteral("Settings/DefaultFolder"));
        store.sync();
    }
}

// One main window on a scripted host and desktop, loaded on row 3.
struct Rig {
    FakeHost host;
    ScriptedPlatform desktop;
    std::unique_ptr<app::Form1> form;
    std::unique_ptr<QSignalSpy> ended;

    explicit Rig(const QString &details)
    {
        program::RestartAct = false;
        host.currentRow = 3;
        host.details = {{3, details}};
        storeDefaultFolder(std::nullopt);
    }
    app::Form1 &load()
    {
        form = std::make_unique<app::Form1>(host, desktop);
        ended = std::make_unique<QSignalSpy>(form.get(), &app::Form1::programEnded);
        form->Form_Load();
        host.calls.clear();
        return *form;
    }
    void choose(int option) { form->optAction[option]->setChecked(true); }
    // Presses OK as the user would.
    void ok() { QTest::mouseClick(form->cmdOK, Qt::LeftButton); }
    QString written() const { return host.details.value(3); }
    int selected() const
    {
        for (int i = 0; i < 3; ++i)
            if (form->optAction[i]->isChecked())
                return i;
        return -1;
    }
};

QString setFieldCall(const QString &text)
{
    return QStringLiteral("SalesList.SetField(36,3,") + text + QLatin1Char(')');
}
const QString ReRead = QStringLiteral("SalesList.GetField(36,3)");

QString ReadAttachmentPath(const QString &text)
{
    return app::ReadAttachment(text).path;
}

// A desktop whose dialogs and shell are real, apart from the single-copy
// lock and window activation, which belong to the running program.
class RealDialogs : public platform::QtPlatformServices {
public:
    bool AnotherInstanceRunning() override { return false; }
    void SetForegroundWindow(QWidget *) override {}
};

} // namespace

class TestForm1Actions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void markerRules_data();
    void markerRules();
    void open_data();
    void open();
    void replaceQuestion_data();
    void replaceQuestion();
    void startingFolder_data();
    void startingFolder();
    void cancelIsSilent();
    void refusedWrites();
    void editsMadeInActSurvive_data();
    void editsMadeInActSurvive();
    void replaceQuestionFollowsTheField_data();
    void replaceQuestionFollowsTheField();
    void pathsTheMarkerCannotHoldAreRefused_data();
    void pathsTheMarkerCannotHoldAreRefused();
    void hostFailuresAreReported_data();
    void hostFailuresAreReported();
    void unreadableSettingsAreReported();
    void actingAfterFailedStartup_data();
    void actingAfterFailedStartup();
    void notificationsStopTheClick_data();
    void notificationsStopTheClick();
    void unusualPaths_data();
    void unusualPaths();
    void realDialogShowsNamesWithoutDot_data();
    void realDialogShowsNamesWithoutDot();
};

// ------------------------------------------------------- the marker rules

void TestForm1Actions::markerRules_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("after");

    // The format's example table: attach C:\Docs\Quote.doc.
    QTest::newRow("empty") << "" << 2 << " [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("no marker") << "Call back in May" << 2 << "Call back in May [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("marker at the end") << "Call back in May [[C:\\Old.txt]]" << 2
                                       << "Call back in May [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("marker first") << "[[C:\\Old.txt]] Call back" << 2 << "Call back [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("two markers") << "a [[x]] b [[y]]" << 2 << "a  b [[y]] [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("no closing marker") << "note [[C:\\Old.txt" << 2 << "note [[C:\\Old.txt [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("empty path") << "[[]]" << 2 << " [[C:\\Docs\\Quote.doc]]";
    // Its removals.
    QTest::newRow("remove at the end") << "Call back in May [[C:\\Old.txt]]" << 1 << "Call back in May";
    QTest::newRow("remove first") << "[[C:\\Old.txt]] Call back" << 1 << "Call back";
    QTest::newRow("remove the first of two") << "a [[x]] b [[y]]" << 1 << "a  b [[y]]";
    QTest::newRow("remove an empty path") << "[[]]" << 1 << "";
    // The format's edge cases.
    QTest::newRow("remove between words keeps both spaces") << "  left [[/p]] right  " << 1 << "left  right";
    QTest::newRow("spaces only") << "   " << 2 << "    [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("trailing spaces kept") << "note  " << 2 << "note   [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("closing marker alone") << "x ]] y" << 2 << "x ]] y [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("stray opening marker stays the user's text") << "a [[ b [[/p]] c" << 1 << "a [[ b  c";
    QTest::newRow("stray opening marker, attach") << "Price [[ to confirm [[/x/real.txt]] end" << 2
                                                  << "Price [[ to confirm  end [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("path holding ]] leaves its rest") << "[[/a]]b]]" << 1 << "b]]";
    QTest::newRow("text after the marker moves before it") << "x [[/old]] y" << 2 << "x  y [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("tabs and line breaks stay") << "\tx\r\n [[/p]]\n" << 2 << "\tx\r\n \n [[C:\\Docs\\Quote.doc]]";
}

void TestForm1Actions::markerRules()
{
    QFETCH(QString, before);
    QFETCH(int, action);
    QFETCH(QString, after);

    Rig rig(before);
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.openFileAnswers = {Chosen};
    const bool hadAttachment = rig.load().optAction[0]->isEnabled();
    rig.choose(action);
    rig.ok();

    QCOMPARE(rig.written(), after);
    // Attach reads the field before its question and again before writing.
    QCOMPARE(rig.host.calls, (action == 2 ? QStringList{ReRead, ReRead, setFieldCall(after)}
                                          : QStringList{ReRead, setFieldCall(after)}));
    QCOMPARE(rig.form->isUnloaded(), true);
    QCOMPARE(rig.ended->size(), 1);
    // Attaching over an attachment asks once; nothing else is shown.
    QCOMPARE(rig.desktop.messages.size(), action == 2 && hadAttachment ? 1 : 0);
    QCOMPARE(rig.desktop.openFileRequests.size(), action == 2 ? 1 : 0);
}

// ------------------------------------------------------------------ Open

void TestForm1Actions::open_data()
{
    QTest::addColumn<QString>("marker"); // %D is a scratch folder holding the file "Quote.odt"
    QTest::addColumn<QString>("opened"); // empty: the invalid-path message
    QTest::newRow("file") << "[[%D/Quote.odt]]" << "%D/Quote.odt";
    QTest::newRow("spaces around are trimmed") << "x [[  %D/Quote.odt ]]" << "%D/Quote.odt";
    QTest::newRow("folder") << "[[%D]]" << "%D";
    QTest::newRow("empty path") << "[[]]" << "";
    QTest::newRow("spaces only") << "[[   ]]" << "";
    QTest::newRow("missing file") << "[[%D/Gone.odt]]" << "";
    QTest::newRow("tab around is not trimmed") << "[[\t%D/Quote.odt]]" << "";
}

void TestForm1Actions::open()
{
    QFETCH(QString, marker);
    QFETCH(QString, opened);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("Quote.odt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    marker.replace(QStringLiteral("%D"), dir.path());
    opened.replace(QStringLiteral("%D"), dir.path());

    Rig rig(marker);
    app::Form1 &form = rig.load();
    QCOMPARE(rig.selected(), 0);
    rig.ok();

    QVERIFY(rig.host.calls.isEmpty()); // Open asks nothing of ACT!
    if (opened.isEmpty()) {
        QCOMPARE(rig.desktop.messages.size(), 1);
        QCOMPARE(rig.desktop.messages[0].text, InvalidPath);
        QCOMPARE(rig.desktop.messages[0].style, 0);
        QCOMPARE(rig.desktop.messages[0].title, QStringLiteral("Pennaroc"));
        QVERIFY(rig.desktop.shellRequests.isEmpty());
        QVERIFY(!form.isUnloaded());
        return;
    }
    QVERIFY(rig.desktop.messages.isEmpty());
    QCOMPARE(rig.desktop.shellRequests.size(), 1);
    const ScriptedPlatform::Shell &shell = rig.desktop.shellRequests[0];
    QCOMPARE(shell.operation, QStringLiteral("Open"));
    QCOMPARE(shell.target, opened);
    QVERIFY(!shell.parameters.isNull()); // an empty parameter string, not a missing one
    QVERIFY(shell.parameters.isEmpty());
    QCOMPARE(shell.directory, QStringLiteral("/opt/pennaroc"));
    QCOMPARE(shell.showCommand, 5);
    QCOMPARE(form.attachmentPath(), opened); // stored back trimmed
    QVERIFY(form.isUnloaded());
    QCOMPARE(rig.ended->size(), 1);
}

// ------------------------------------------------------------- Attach

void TestForm1Actions::replaceQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("No keeps everything") << int(platform::vbNo);
    QTest::newRow("Yes goes on to the dialog") << int(platform::vbYes);
}

void TestForm1Actions::replaceQuestion()
{
    QFETCH(int, answer);
    Rig rig(QStringLiteral("Call back [[/old.txt]] soon"));
    rig.desktop.msgBoxAnswers = {answer};
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    app::Form1 &form = rig.load();
    rig.choose(2);
    rig.ok();

    QCOMPARE(rig.desktop.messages.size(), 1);
    QCOMPARE(rig.desktop.messages[0].text, Question);
    QCOMPARE(rig.desktop.messages[0].style, 308);
    QCOMPARE(rig.desktop.messages[0].title, QStringLiteral("Pennaroc"));
    if (answer == platform::vbNo) {
        QVERIFY(rig.desktop.openFileRequests.isEmpty());
        QCOMPARE(rig.host.calls, QStringList{ReRead});
        QVERIFY(!form.isUnloaded());
        QCOMPARE(rig.selected(), 2);
        QCOMPARE(rig.written(), QStringLiteral("Call back [[/old.txt]] soon"));
    } else {
        QCOMPARE(rig.written(), QStringLiteral("Call back  soon [[/new.txt]]"));
        QCOMPARE(form.attachmentPath(), QStringLiteral("/new.txt"));
        QVERIFY(form.isUnloaded());
    }
}

void TestForm1Actions::startingFolder_data()
{
    QTest::addColumn<QString>("stored"); // "<missing>" for no entry; %D a scratch folder with the file "f.txt"
    QTest::addColumn<QString>("initialDir");
    QTest::newRow("no entry") << "<missing>" << "";
    QTest::newRow("empty entry") << "" << "";
    QTest::newRow("existing folder") << "%D" << "%D";
    QTest::newRow("folder gone") << "%D/gone" << "";
    QTest::newRow("a file is handed over as it is") << "%D/f.txt" << "%D/f.txt";
    QTest::newRow("blanks are part of the name") << " %D" << "";
}

void TestForm1Actions::startingFolder()
{
    QFETCH(QString, stored);
    QFETCH(QString, initialDir);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("f.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    stored.replace(QStringLiteral("%D"), dir.path());
    initialDir.replace(QStringLiteral("%D"), dir.path());

    Rig rig(QStringLiteral("Call back"));
    rig.desktop.openFileAnswers = {QStringLiteral("/x")};
    rig.load();
    // Read when OK is pressed, not at start-up.
    storeDefaultFolder(stored == u"<missing>" ? std::nullopt : std::optional<QString>(stored));
    rig.ok();

    QCOMPARE(rig.desktop.openFileRequests.size(), 1);
    const platform::OpenFileRequest &request = rig.desktop.openFileRequests[0];
    QCOMPARE(request.filter, QStringLiteral("All files (*.*)|*.*"));
    QCOMPARE(request.initialDir, initialDir);
    QCOMPARE(request.owner, rig.form.get());
    QVERIFY(rig.desktop.messages.isEmpty()); // no question without an attachment
    QCOMPARE(rig.written(), QStringLiteral("Call back [[/x]]"));
}

void TestForm1Actions::cancelIsSilent()
{
    Rig rig(QStringLiteral("Call back [[/old.txt]]"));
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    app::Form1 &form = rig.load();
    rig.choose(2);
    rig.ok();
    QCOMPARE(rig.desktop.openFileRequests.size(), 1);
    QCOMPARE(rig.desktop.messages.size(), 1); // the question, nothing after it
    QCOMPARE(rig.host.calls, QStringList{ReRead});
    QVERIFY(!form.isUnloaded());
    QCOMPARE(rig.selected(), 2);
    QCOMPARE(form.attachmentPath(), QStringLiteral("/old.txt"));

    // The window is still usable: OK asks again.
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    rig.ok();
    QCOMPARE(rig.written(), QStringLiteral("Call back [[/new.txt]]"));
    QVERIFY(form.isUnloaded());
}

void TestForm1Actions::refusedWrites()
{
    // A refused Remove leaves the window open on the same text.
    Rig rig(QStringLiteral("Call back [[/old.txt]]"));
    rig.host.setFieldResult = 2;
    app::Form1 &form = rig.load();
    rig.choose(1);
    rig.ok();
    QCOMPARE(rig.desktop.messages.size(), 1);
    QCOMPARE(rig.desktop.messages[0].text, Refusal);
    QCOMPARE(rig.desktop.messages[0].style, 0);
    QCOMPARE(rig.desktop.messages[0].title, QStringLiteral("Operation aborted"));
    QVERIFY(!form.isUnloaded());
    QCOMPARE(rig.selected(), 1);

    rig.host.setFieldResult = 0;
    rig.ok();
    QCOMPARE(rig.host.calls, (QStringList{ReRead, setFieldCall("Call back"), ReRead, setFieldCall("Call back")}));
    QCOMPARE(rig.written(), QStringLiteral("Call back"));
    QVERIFY(form.isUnloaded());

    // An edit made in ACT! between a refused Remove and the next OK is kept.
    Rig edited(QStringLiteral("Call back [[/old.txt]]"));
    edited.host.setFieldResult = 1;
    edited.load();
    edited.choose(1);
    edited.ok();
    edited.host.setFieldResult = 0;
    edited.host.details[3] = QStringLiteral("Call back, signed [[/old.txt]]");
    edited.ok();
    QCOMPARE(edited.written(), QStringLiteral("Call back, signed"));
    QVERIFY(edited.form->isUnloaded());

    // A refused Attach shows the same message, then the window closes.
    Rig attach(QStringLiteral("Call back"));
    attach.host.setFieldResult = 1;
    attach.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    attach.load();
    attach.ok();
    QCOMPARE(attach.desktop.messages.size(), 1);
    QCOMPARE(attach.desktop.messages[0].text, Refusal);
    QCOMPARE(attach.desktop.messages[0].title, QStringLiteral("Operation aborted"));
    QCOMPARE(attach.written(), QStringLiteral("Call back"));
    QVERIFY(attach.form->isUnloaded());
}

// ------------------------------------------------------ no lost edits

void TestForm1Actions::editsMadeInActSurvive_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("edited"); // the field as ACT! holds it when OK is pressed
    QTest::addColumn<QString>("after");
    const QString start = QStringLiteral("Call back [[/old.txt]]");
    QTest::newRow("remove, unchanged") << 1 << start << "Call back";
    QTest::newRow("remove, text added") << 1 << "Call back, said yes [[/old.txt]] in June" << "Call back, said yes  in June";
    QTest::newRow("remove, marker gone") << 1 << "Call back, no file" << "Call back, no file";
    QTest::newRow("remove, other marker") << 1 << "[[/other.txt]] Call back" << "Call back";
    QTest::newRow("attach, unchanged") << 2 << start << "Call back [[/new.txt]]";
    QTest::newRow("attach, text added") << 2 << "Call back soon [[/old.txt]]" << "Call back soon [[/new.txt]]";
    QTest::newRow("attach, marker gone") << 2 << "Call back, no file" << "Call back, no file [[/new.txt]]";
    QTest::newRow("attach, emptied") << 2 << "" << " [[/new.txt]]";
}

void TestForm1Actions::editsMadeInActSurvive()
{
    QFETCH(int, action);
    QFETCH(QString, edited);
    QFETCH(QString, after);
    Rig rig(QStringLiteral("Call back [[/old.txt]]"));
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    // The edit lands while the Open File dialog is open, or before Remove.
    rig.desktop.whileOpenFileOpen = [&](const platform::OpenFileRequest &) { rig.host.details[3] = edited; };
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    app::Form1 &form = rig.load();
    if (action == 1)
        rig.host.details[3] = edited;
    rig.choose(action);
    rig.ok();
    QCOMPARE(rig.host.calls, (action == 2 ? QStringList{ReRead, ReRead, setFieldCall(after)}
                                          : QStringList{ReRead, setFieldCall(after)}));
    QCOMPARE(form.detailsText(), QStringLiteral("Call back [[/old.txt]]"));
    QVERIFY(form.isUnloaded());
}

// Another writer may attach or remove a file while the window is open: the
// question is asked whenever the field about to be replaced holds a marker
// that the user has not agreed to replace.
void TestForm1Actions::replaceQuestionFollowsTheField_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("beforeOk");     // the field when OK is pressed; "=" unchanged
    QTest::addColumn<QString>("duringDialog"); // the field once the file is chosen; "=" unchanged
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("after");        // the field at the end
    QTest::addColumn<bool>("closed");

    const QList<int> yes{platform::vbYes}, no{platform::vbNo}, yesNo{platform::vbYes, platform::vbNo},
        yesYes{platform::vbYes, platform::vbYes};
    QTest::newRow("attached before OK, No") << "Call back" << "Call back [[/theirs.txt]]" << "=" << no << 1
                                            << "Call back [[/theirs.txt]]" << false;
    QTest::newRow("attached before OK, Yes") << "Call back" << "Call back [[/theirs.txt]]" << "=" << yes << 1
                                             << "Call back [[/new.txt]]" << true;
    QTest::newRow("attached during the dialog, No") << "Call back" << "=" << "Call back [[/theirs.txt]]" << no << 1
                                                    << "Call back [[/theirs.txt]]" << false;
    QTest::newRow("attached during the dialog, Yes") << "Call back" << "=" << "Call back [[/theirs.txt]]" << yes
                                                     << 1 << "Call back [[/new.txt]]" << true;
    QTest::newRow("removed before OK: nothing to ask") << "Call back [[/old.txt]]" << "Call back" << "=" << no << 0
                                                       << "Call back [[/new.txt]]" << true;
    QTest::newRow("agreed, then the same file with new text") << "Call back [[/old.txt]]" << "="
                                                              << "Call back, signed [[/old.txt]]" << yes << 1
                                                              << "Call back, signed [[/new.txt]]" << true;
    QTest::newRow("agreed, then another file: asked again, No")
        << "Call back [[/old.txt]]" << "=" << "Call back [[/theirs.txt]]" << yesNo << 2
        << "Call back [[/theirs.txt]]" << false;
    QTest::newRow("agreed, then another file: asked again, Yes")
        << "Call back [[/old.txt]]" << "=" << "Call back [[/theirs.txt]]" << yesYes << 2 << "Call back [[/new.txt]]"
        << true;
}

void TestForm1Actions::replaceQuestionFollowsTheField()
{
    QFETCH(QString, start);
    QFETCH(QString, beforeOk);
    QFETCH(QString, duringDialog);
    QFETCH(QList<int>, answers);
    QFETCH(int, questions);
    QFETCH(QString, after);
    QFETCH(bool, closed);

    Rig rig(start);
    rig.desktop.msgBoxAnswers = answers;
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    if (duringDialog != u"=")
        rig.desktop.whileOpenFileOpen = [&](const platform::OpenFileRequest &) { rig.host.details[3] = duringDialog; };
    app::Form1 &form = rig.load();
    if (beforeOk != u"=")
        rig.host.details[3] = beforeOk;
    rig.choose(2);
    rig.ok();

    QCOMPARE(rig.desktop.messages.size(), questions);
    for (const ScriptedPlatform::Message &message : rig.desktop.messages) {
        QCOMPARE(message.text, Question);
        QCOMPARE(message.style, 308);
    }
    QCOMPARE(rig.written(), after);
    QCOMPARE(rig.host.countOf(QStringLiteral("SalesList.SetField")), closed ? 1 : 0);
    QCOMPARE(form.isUnloaded(), closed);
    if (!closed) {
        // The window stays as it was, ready for another choice.
        QCOMPARE(rig.selected(), 2);
        QCOMPARE(form.attachmentPath(), ReadAttachmentPath(start));
    }
}

// A chosen path that the marker cannot hold is refused before anything is
// written; the window stays open for another choice.
void TestForm1Actions::pathsTheMarkerCannotHoldAreRefused_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("]] in the name") << "Call back" << "/home/u/report]]final.txt";
    QTest::newRow("[[ in a folder name") << "Call back" << "/home/u/[[old/a.txt";
    QTest::newRow("name ending in ]") << "Call back" << "/home/u/scan[2]";
    QTest::newRow("over an attachment") << "Call back [[/old.txt]]" << "/home/u/report]]final.txt";
}

void TestForm1Actions::pathsTheMarkerCannotHoldAreRefused()
{
    QFETCH(QString, start);
    QFETCH(QString, chosen);
    Rig rig(start);
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.openFileAnswers = {chosen};
    app::Form1 &form = rig.load();
    rig.choose(2);
    rig.ok();

    const ScriptedPlatform::Message &refusal = rig.desktop.messages.constLast();
    QCOMPARE(refusal.text, QStringLiteral("The file cannot be attached, because its path contains \"[[\" or \"]]\" "
                                          "or ends with \"]\":\r\r")
                               + chosen
                               + QStringLiteral("\r\rThe Details field marks the attachment with these characters, so "
                                                "this path could not be read back. Rename the file or its folder, then "
                                                "attach it again."));
    QCOMPARE(refusal.style, 48);
    QCOMPARE(refusal.title, QStringLiteral("Pennaroc"));
    QCOMPARE(rig.host.countOf(QStringLiteral("SalesList.SetField")), 0);
    QCOMPARE(rig.written(), start);
    QVERIFY(!form.isUnloaded());
    QCOMPARE(rig.selected(), 2);
    // Open still names the file that is attached, not the refused one.
    QCOMPARE(form.attachmentPath(), ReadAttachmentPath(start));

    // Another file can be attached at once.
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.openFileAnswers = {QStringLiteral("/home/u/report final.txt")};
    rig.ok();
    QCOMPARE(rig.written(), QStringLiteral("Call back [[/home/u/report final.txt]]"));
    QVERIFY(form.isUnloaded());
}

// ------------------------------------------- failures are never silent

void TestForm1Actions::hostFailuresAreReported_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("line");
    QTest::newRow("remove, reading the field again") << 1 << "SalesList.GetField" << 1 << 440 << 10280;
    QTest::newRow("remove, writing") << 1 << "SalesList.SetField" << 1 << 440 << 10280;
    QTest::newRow("remove, negative number") << 1 << "SalesList.SetField" << 1 << -2147221503 << 10280;
    QTest::newRow("attach, reading the field for the question") << 2 << "SalesList.GetField" << 1 << 440 << 10440;
    QTest::newRow("attach, reading the field before writing") << 2 << "SalesList.GetField" << 2 << 440 << 10800;
    QTest::newRow("attach, writing") << 2 << "SalesList.SetField" << 1 << 462 << 10800;
}

void TestForm1Actions::hostFailuresAreReported()
{
    QFETCH(int, action);
    QFETCH(QString, failing);
    QFETCH(int, occurrence);
    QFETCH(int, number);
    QFETCH(int, line);
    Rig rig(QStringLiteral("Call back [[/old.txt]]"));
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    app::Form1 &form = rig.load();
    rig.host.failCall(failing, occurrence, host::Failure(number, QStringLiteral("The host went away")));
    rig.choose(action);
    rig.ok();

    QCOMPARE(rig.desktop.messages.constLast().text, report(number, QStringLiteral("The host went away"), line));
    QCOMPARE(rig.desktop.messages.constLast().style, 0);
    QCOMPARE(rig.desktop.messages.constLast().title, QStringLiteral("Pennaroc error"));
    QVERIFY(!form.isUnloaded());
    QCOMPARE(rig.ended->size(), 0);
    QCOMPARE(rig.written(), QStringLiteral("Call back [[/old.txt]]"));

    // The window stays usable; OK now succeeds.
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    rig.ok();
    QCOMPARE(rig.written(), action == 1 ? QStringLiteral("Call back") : QStringLiteral("Call back [[/new.txt]]"));
    QVERIFY(form.isUnloaded());
}

void TestForm1Actions::unreadableSettingsAreReported()
{
    // A folder where the settings file belongs cannot be read as one.
    const QString file = settings::SettingsStore::fileName(QStringLiteral("Pennaroc"));
    QFile::remove(file);
    QVERIFY(QDir().mkpath(file));
    const auto restore = qScopeGuard([&] { QDir(file).removeRecursively(); });
    Rig rig(QStringLiteral("Call back"));
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    app::Form1 &form = rig.load();
    QVERIFY(QFileInfo(file).isDir()); // the rig's clearing of the entry did not replace it
    rig.ok();
    QVERIFY(rig.desktop.openFileRequests.isEmpty());
    QCOMPARE(rig.desktop.messages.size(), 1);
    QVERIFY2(rig.desktop.messages[0].text.startsWith(QStringLiteral("Error 75: '")), qPrintable(rig.desktop.messages[0].text));
    QVERIFY(rig.desktop.messages[0].text.endsWith(QStringLiteral("'\rin Form1: Sub cmdOK_Click - Line # 10620\r\r")
                                                  + Contact));
    QCOMPARE(rig.desktop.messages[0].title, QStringLiteral("Pennaroc error"));
    QCOMPARE(rig.host.calls, QStringList{ReRead}); // read for the question; nothing written
    QVERIFY(!form.isUnloaded());
}

void TestForm1Actions::actingAfterFailedStartup_data()
{
    QTest::addColumn<QString>("failing"); // the start-up call that fails
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("message"); // the click's last message
    const QString notSet = QStringLiteral("Object variable or With block variable not set");
    QTest::newRow("no application object, remove") << "CreateObject" << 1 << report(91, notSet, 10280);
    QTest::newRow("no views, remove") << "ActApp.Views" << 1 << report(91, notSet, 10280);
    QTest::newRow("no sales list, attach") << "ContactView.Sales" << 2 << report(91, notSet, 10440);
    QTest::newRow("no current row read, open") << "SalesList.GetCurrentRow" << 0 << InvalidPath;
}

void TestForm1Actions::actingAfterFailedStartup()
{
    QFETCH(QString, failing);
    QFETCH(int, action);
    QFETCH(QString, message);
    Rig rig(QStringLiteral("Call back [[/old.txt]]"));
    rig.host.failCall(failing);
    app::Form1 &form = rig.load();
    QCOMPARE(rig.desktop.messages.size(), 1); // the start-up's own report
    QVERIFY(!form.isUnloaded());
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    rig.choose(action);
    rig.ok();
    QVERIFY(rig.desktop.messages.size() >= 2);
    QCOMPARE(rig.desktop.messages.constLast().text, message);
    QVERIFY(!form.isUnloaded());
    QCOMPARE(rig.host.countOf(QStringLiteral("SalesList.SetField")), 0);
}

// ----------------------------------------- notifications during the click

void TestForm1Actions::notificationsStopTheClick_data()
{
    QTest::addColumn<int>("event");
    QTest::addColumn<QString>("when");
    for (int event : {10, 22}) {
        const QByteArray e = QByteArray::number(event);
        QTest::newRow(e + " during the question") << event << "question";
        QTest::newRow(e + " during the Open File dialog") << event << "dialog";
        QTest::newRow(e + " during the attach's first read") << event << "attach first read";
        QTest::newRow(e + " during the attach's read") << event << "attach read";
        QTest::newRow(e + " during the remove's read") << event << "remove read";
        QTest::newRow(e + " during the refusal message") << event << "refusal";
    }
}

void TestForm1Actions::notificationsStopTheClick()
{
    QFETCH(int, event);
    QFETCH(QString, when);
    Rig rig(QStringLiteral("Call back [[/old.txt]]"));
    rig.desktop.msgBoxAnswers = {platform::vbYes};
    rig.desktop.openFileAnswers = {QStringLiteral("/new.txt")};
    app::Form1 &form = rig.load();
    const auto raise = [&] { rig.host.raiseEvent(qint16(event)); };
    if (when == u"question" || when == u"refusal")
        rig.desktop.whileMsgBoxOpen = [&](const ScriptedPlatform::Message &) { raise(); };
    if (when == u"dialog")
        rig.desktop.whileOpenFileOpen = [&](const platform::OpenFileRequest &) { raise(); };
    // Attach reads the field twice: before its question and before writing.
    int reads = 0;
    const int raisingRead = when == u"attach read" ? 2 : 1;
    if (when.endsWith(u"read"))
        rig.host.duringCall = [&](const QString &member) {
            if (member == u"SalesList.GetField" && ++reads == raisingRead)
                raise();
        };
    if (when == u"refusal")
        rig.host.setFieldResult = 1;
    rig.choose(when == u"remove read" || when == u"refusal" ? 1 : 2);
    rig.ok();

    QVERIFY(form.isUnloaded());
    QCOMPARE(rig.ended->size(), 1);
    QCOMPARE(rig.written(), QStringLiteral("Call back [[/old.txt]]"));
    QCOMPARE(rig.host.countOf(QStringLiteral("SalesList.SetField")), when == u"refusal" ? 1 : 0);
    QCOMPARE(rig.desktop.openFileRequests.size(), when == u"dialog" || when == u"attach read" ? 1 : 0);
    QCOMPARE(rig.desktop.messages.size(), when == u"question" || when == u"refusal" || when == u"dialog"
                                                  || when == u"attach read"
                                              ? 1
                                              : 0);
    // A later click does nothing.
    rig.ok();
    QCOMPARE(rig.ended->size(), 1);
}

// --------------------------------------------------------- unusual paths

void TestForm1Actions::unusualPaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("spaces") << "my file  2.txt";
    QTest::newRow("quotes") << "say \"hi\" it's.txt";
    QTest::newRow("semicolon") << "a;rm -rf x.txt";
    QTest::newRow("command substitution") << "$(touch pwned).txt";
    QTest::newRow("backticks") << "`touch pwned`.txt";
    QTest::newRow("leading blank") << " lead.txt";
    QTest::newRow("non-Latin") << "Ελληνικά 日本語 😀.txt";
    QTest::newRow("percent and hash") << "100% #1?.txt";
}

void TestForm1Actions::unusualPaths()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.close();

    Rig attach(QStringLiteral("Note"));
    attach.desktop.openFileAnswers = {path};
    attach.load();
    attach.ok();
    QCOMPARE(attach.written(), QStringLiteral("Note [[") + path + QStringLiteral("]]"));

    Rig open(attach.written());
    app::Form1 &form = open.load();
    QCOMPARE(form.attachmentPath(), path);
    open.ok();
    QCOMPARE(open.desktop.shellRequests.size(), 1);
    QCOMPARE(open.desktop.shellRequests[0].target, path);
    // The desktop receives it as a file URL that decodes to the same path.
    QCOMPARE(QUrl::fromLocalFile(path).toLocalFile(), path);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
}

// ----------------------------------------------- the real Open File dialog

void TestForm1Actions::realDialogShowsNamesWithoutDot_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("the folder") << "";
    // The location dialog stores what was typed, a file's path included:
    // the dialog then starts in the folder that holds the file.
    QTest::newRow("a file in the folder") << "notes.txt";
    QTest::newRow("the folder, with a trailing slash") << "/";
}

void TestForm1Actions::realDialogShowsNamesWithoutDot()
{
    QFETCH(QString, stored);
    QTemporaryDir dir;
    for (const char *name : {"README", "notes.txt"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    FakeHost host;
    host.currentRow = 0;
    host.details = {{0, QStringLiteral("Call back")}};
    RealDialogs desktop;
    storeDefaultFolder(stored == u"/" ? dir.path() + stored : stored.isEmpty() ? dir.path() : dir.filePath(stored));
    app::Form1 form(host, desktop);
    form.Form_Load();
    form.show();

    QString title, filterShown, shownFolder;
    QStringList listed;
    bool checked = false;
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    // Reads what the user sees once the folder is listed, then picks README.
    connect(&poll, &QTimer::timeout, this, [&] {
        QFileDialog *dialog = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *found = qobject_cast<QFileDialog *>(widget); found && found->isVisible())
                dialog = found;
        if (!dialog)
            return;
        auto *list = dialog->findChild<QListView *>(QStringLiteral("listView"));
        if (list && list->model()->rowCount(list->rootIndex()) < 2 && waited.elapsed() < 10000)
            return;
        poll.stop();
        title = dialog->windowTitle();
        shownFolder = dialog->directory().absolutePath();
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        filterShown = combo ? combo->currentText() : QString();
        if (list) {
            for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
                listed << list->model()->index(row, 0, list->rootIndex()).data().toString();
        }
        checked = true;
        // A bare name typed into the file-name box, as a user would: it is
        // found in the folder the dialog shows.
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (edit) {
            edit->setText(QStringLiteral("README"));
            QTest::keyClick(edit, Qt::Key_Return);
        }
        if (dialog->isVisible())
            dialog->reject();
    });
    poll.start(50);
    QTest::mouseClick(form.cmdOK, Qt::LeftButton);

    QVERIFY(checked);
    QCOMPARE(title, QStringLiteral("Open"));
    QCOMPARE(shownFolder, QDir(dir.path()).absolutePath());
    QCOMPARE(filterShown, QStringLiteral("All files (*.*)"));
    listed.sort();
    QCOMPARE(listed, (QStringList{QStringLiteral("README"), QStringLiteral("notes.txt")}));
    QCOMPARE(host.details.value(0), QStringLiteral("Call back [[") + dir.filePath(QStringLiteral("README")) + "]]");
    QVERIFY(form.isUnloaded());
}

PENNAROC_SETTINGS_TEST_MAIN(TestForm1Actions)
#include "tst_Form1Actions.moc"
