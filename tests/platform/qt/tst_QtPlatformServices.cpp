// The real desktop services: how a message box's style value becomes
// buttons, icon and default button, what each way of answering returns, how
// carriage returns are shown, and which requests reach the desktop as
// addresses and which as files; where the single-instance lock lives, and
// that only a live copy holding it refuses a start.

#include "platform/qt/QtPlatformServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

#include <unistd.h>

namespace {

// Runs inspect on the message box once it is open, then lets act answer it.
struct OpenBox {
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
    QString text;
    QString title;
    Qt::TextFormat format = Qt::AutoText;
    bool seen = false;
};

int showAndAnswer(platform::QtPlatformServices &desktop, const QString &text, int style, const QString &title,
                  OpenBox &seen, const std::function<void(QMessageBox *)> &act)
{
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.seen = true;
        seen.buttons = box->standardButtons();
        seen.icon = box->icon();
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.format = box->textFormat();
        if (QPushButton *d = box->defaultButton())
            seen.defaultButton = box->standardButton(d);
        if (QAbstractButton *e = box->escapeButton())
            seen.escapeButton = box->standardButton(e);
        act(box);
    });
    return desktop.MsgBox(text.toStdU16String(), style, title.toStdU16String());
}

// Records what reaches the desktop's URL handlers.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

} // namespace

class TestQtPlatformServices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void messageBoxStyles_data();
    void messageBoxStyles();
    void messageBoxAnswers_data();
    void messageBoxAnswers();
    void lineBreaksShown_data();
    void lineBreaksShown();
    void shellTargets_data();
    void shellTargets();
    void lockPath_data();
    void lockPath();
    void onlyALiveCopyRefuses_data();
    void onlyALiveCopyRefuses();
    void pathExists_data();
    void pathExists();
    void opensAsProgram_data();
    void opensAsProgram();
    void openFile_data();
    void openFile();
};

void TestQtPlatformServices::messageBoxStyles_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("defaultButton");

    const int ok = QMessageBox::Ok;
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    QTest::newRow("0: OK only, no icon") << 0 << ok << int(QMessageBox::NoIcon) << ok;
    QTest::newRow("4: Yes and No, Yes the default") << 4 << yesNo << int(QMessageBox::NoIcon)
                                                    << int(QMessageBox::Yes);
    QTest::newRow("48: OK with the exclamation icon") << 48 << ok << int(QMessageBox::Warning) << ok;
    QTest::newRow("308: Yes and No, exclamation, No the default")
        << 308 << yesNo << int(QMessageBox::Warning) << int(QMessageBox::No);
}

void TestQtPlatformServices::messageBoxStyles()
{
    QFETCH(int, style);
    QFETCH(int, buttons);
    QFETCH(int, icon);
    QFETCH(int, defaultButton);

    platform::QtPlatformServices desktop;
    OpenBox seen;
    showAndAnswer(desktop, QStringLiteral("Text"), style, QStringLiteral("Pennaroc"), seen,
                  [](QMessageBox *box) { box->defaultButton()->click(); });
    QVERIFY(seen.seen);
    QCOMPARE(int(seen.buttons), buttons);
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(int(seen.defaultButton), defaultButton);
    QCOMPARE(seen.title, QStringLiteral("Pennaroc"));
}

void TestQtPlatformServices::messageBoxAnswers_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("how"); // "enter", "escape", "yes", "no"
    QTest::addColumn<int>("answer");

    QTest::newRow("0, Enter") << 0 << "enter" << int(platform::vbOK);
    QTest::newRow("0, Escape") << 0 << "escape" << int(platform::vbOK);
    QTest::newRow("48, Enter") << 48 << "enter" << int(platform::vbOK);
    QTest::newRow("4, Enter takes Yes") << 4 << "enter" << int(platform::vbYes);
    QTest::newRow("4, No") << 4 << "no" << int(platform::vbNo);
    QTest::newRow("4, Escape is No") << 4 << "escape" << int(platform::vbNo);
    QTest::newRow("308, Enter takes No") << 308 << "enter" << int(platform::vbNo);
    QTest::newRow("308, Yes") << 308 << "yes" << int(platform::vbYes);
    QTest::newRow("308, Escape is No") << 308 << "escape" << int(platform::vbNo);
}

void TestQtPlatformServices::messageBoxAnswers()
{
    QFETCH(int, style);
    QFETCH(QString, how);
    QFETCH(int, answer);

    platform::QtPlatformServices desktop;
    OpenBox seen;
    const int got = showAndAnswer(desktop, QStringLiteral("Question"), style, QStringLiteral("Pennaroc"), seen,
                                  [how](QMessageBox *box) {
                                      if (how == u"enter")
                                          QTest::keyClick(box, Qt::Key_Return);
                                      else if (how == u"escape")
                                          QTest::keyClick(box, Qt::Key_Escape);
                                      else if (how == u"yes")
                                          box->button(QMessageBox::Yes)->click();
                                      else
                                          box->button(QMessageBox::No)->click();
                                  });
    QVERIFY(seen.seen);
    QCOMPARE(got, answer);
}

void TestQtPlatformServices::lineBreaksShown_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    // The error report joins its lines with lone CRs, the replace question
    // has one lone CR, the restart question one CR LF: each is one break.
    QTest::newRow("error report") << "Error 440: 'x'\rin Form1: Sub Form_Load - Line # 11000\r\rPlease contact us."
                                  << "Error 440: 'x'\nin Form1: Sub Form_Load - Line # 11000\n\nPlease contact us.";
    QTest::newRow("lone CR") << "first\rsecond" << "first\nsecond";
    QTest::newRow("CR LF is one break") << "first\r\nsecond" << "first\nsecond";
    QTest::newRow("LF CR is two") << "first\n\rsecond" << "first\n\nsecond";
    QTest::newRow("markup stays text") << "<b>C:\\a&b</b>" << "<b>C:\\a&b</b>";
}

void TestQtPlatformServices::lineBreaksShown()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);

    platform::QtPlatformServices desktop;
    OpenBox seen;
    showAndAnswer(desktop, text, 0, QStringLiteral("Pennaroc error"), seen,
                  [](QMessageBox *box) { box->defaultButton()->click(); });
    QVERIFY(seen.seen);
    QCOMPARE(seen.text, shown);
    // A path with "<" or "&" in it is shown as it is, never as markup.
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.title, QStringLiteral("Pennaroc error"));
}

void TestQtPlatformServices::shellTargets_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QUrl>("url");

    QTest::newRow("web site") << "https://www.veltrane.example/" << QUrl(QStringLiteral("https://www.veltrane.example/"));
    QTest::newRow("mail") << "mailto:support@veltrane.example" << QUrl(QStringLiteral("mailto:support@veltrane.example"));
    QTest::newRow("file") << "/home/u/Quote.odt" << QUrl::fromLocalFile(QStringLiteral("/home/u/Quote.odt"));
    QTest::newRow("file with a hash and a question mark")
        << "/home/u/100% #1?.txt" << QUrl::fromLocalFile(QStringLiteral("/home/u/100% #1?.txt"));
    QTest::newRow("file with a colon") << "/home/u/a:b.txt" << QUrl::fromLocalFile(QStringLiteral("/home/u/a:b.txt"));
}

void TestQtPlatformServices::shellTargets()
{
    QFETCH(QString, target);
    QFETCH(QUrl, url);

    UrlRecorder recorder;
    for (const char *scheme : {"file", "https", "http", "mailto"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &recorder, "open");
    platform::QtPlatformServices desktop;
    desktop.ShellExecute(nullptr, u"open", target.toStdU16String(), std::nullopt, u"/opt/pennaroc",
                         platform::SW_SHOW);
    for (const char *scheme : {"file", "https", "http", "mailto"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    QCOMPARE(recorder.urls.size(), 1);
    QCOMPARE(recorder.urls[0], url);
}

void TestQtPlatformServices::lockPath_data()
{
    // A null runtime value means the variable is unset; an empty expected
    // path means the temporary folder's own name for this user.
    QTest::addColumn<QByteArray>("runtime");
    QTest::addColumn<QString>("expected");
    QTest::newRow("runtime folder") << QByteArray("/RUNTIME/user") << QStringLiteral("/RUNTIME/user/Pennaroc.lock");
    QTest::newRow("trailing slash") << QByteArray("/RUNTIME/user/") << QStringLiteral("/RUNTIME/user/Pennaroc.lock");
    QTest::newRow("not yet made") << QByteArray("/RUNTIME/missing") << QStringLiteral("/RUNTIME/missing/Pennaroc.lock");
    QTest::newRow("unset") << QByteArray() << QString();
    QTest::newRow("empty") << QByteArray("") << QString();
    QTest::newRow("relative") << QByteArray("run/user") << QString();
}

void TestQtPlatformServices::lockPath()
{
    QFETCH(QByteArray, runtime);
    QFETCH(QString, expected);
    // Everything lives in a fresh temporary folder, which must stay empty:
    // finding the path makes no folder, there or anywhere.
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray savedTemp = qgetenv("TMPDIR");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("TMPDIR", savedTemp);
    });
    QVERIFY(QDir().mkdir(scratch.filePath(QStringLiteral("user"))));
    runtime.replace("/RUNTIME", QFile::encodeName(scratch.path()));
    expected.replace(QStringLiteral("/RUNTIME"), scratch.path());
    if (runtime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", QFile::encodeName(scratch.path()));
    if (expected.isEmpty())
        expected = scratch.path() + QStringLiteral("/Pennaroc-%1.lock").arg(::geteuid());

    QCOMPARE(platform::QtPlatformServices::lockFilePath(), expected);
    QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("user")});
    QVERIFY(QDir(scratch.filePath(QStringLiteral("user"))).isEmpty());
}

void TestQtPlatformServices::onlyALiveCopyRefuses_data()
{
    QTest::addColumn<QByteArray>("leftover");
    QTest::newRow("no file") << QByteArray();
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("garbled file") << QByteArray("\x01\x02 garbage\n\n\n");
    QTest::newRow("a pid that runs") << QByteArray::number(QCoreApplication::applicationPid()) + '\n';
}

void TestQtPlatformServices::onlyALiveCopyRefuses()
{
    QFETCH(QByteArray, leftover);
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString path = platform::QtPlatformServices::lockFilePath();
    if (!leftover.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(leftover), leftover.size());
    }

    auto first = std::make_unique<platform::QtPlatformServices>();
    QVERIFY(!first->AnotherInstanceRunning());
    // Asking again changes nothing for the copy that holds the lock.
    QVERIFY(!first->AnotherInstanceRunning());
    {
        platform::QtPlatformServices second;
        QVERIFY(second.AnotherInstanceRunning());
    }
    // The refused copy left the lock as it was; the first copy's end frees it.
    QVERIFY(QFileInfo::exists(path));
    first.reset();
    QVERIFY(!QFileInfo::exists(path));
    platform::QtPlatformServices third;
    QVERIFY(!third.AnotherInstanceRunning());
}

void TestQtPlatformServices::pathExists_data()
{
    // DIR stands for a folder that holds file.txt, a file beyond the Basic
    // Multilingual Plane and the folder sub.
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("exists");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("file") << "DIR/file.txt" << true;
    QTest::newRow("folder") << "DIR/sub" << true;
    QTest::newRow("folder with a slash") << "DIR/sub/" << true;
    QTest::newRow("missing") << "DIR/missing.txt" << false;
    QTest::newRow("trailing blank") << "DIR/file.txt " << false;
    QTest::newRow("leading blank") << " DIR/file.txt" << false;
    QTest::newRow("file with a slash") << "DIR/file.txt/" << false;
    QTest::newRow("beyond the BMP") << QString::fromUtf8("DIR/\xF0\x9F\x93\x8E.txt") << true;
}

void TestQtPlatformServices::pathExists()
{
    QFETCH(QString, path);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &name : {QStringLiteral("file.txt"), QString::fromUtf8("\xF0\x9F\x93\x8E.txt")}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    path.replace(QStringLiteral("DIR"), dir.path());
    platform::QtPlatformServices desktop;
    QCOMPARE(desktop.PathExists(path.toStdU16String()), exists);
}

void TestQtPlatformServices::opensAsProgram_data()
{
    // Each file is made in a folder of its own with the given content; mode
    // is its permission bits.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("program");
    const QByteArray text("Quote for May\n");
    const QByteArray script("#!/bin/sh\necho hi\n");
    const QByteArray elf("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3e\0", 20);
    const QByteArray pdf("%PDF-1.4\n");
    const QByteArray launcher("[Desktop Entry]\nType=Application\nExec=sh -c true\nName=x\n");
    const int plain = 0644, runnable = 0755, ownerOnly = 0744 | 0100;
    // Documents.
    QTest::newRow("text") << "Quote.txt" << text << plain << false;
    QTest::newRow("PDF") << "invoice.pdf" << pdf << plain << false;
    QTest::newRow("several dots") << "quote.2026.05.txt" << text << plain << false;
    QTest::newRow("upper-case document") << "INVOICE.PDF" << pdf << plain << false;
    QTest::newRow("no extension, text") << "README" << text << plain << false;
    QTest::newRow("a folder") << "folder/" << QByteArray() << runnable << false;
    // Programs.
    QTest::newRow("executable script") << "run.sh" << script << runnable << true;
    QTest::newRow("execute bit for the owner only") << "notes.txt" << text << ownerOnly << true;
    QTest::newRow("no extension, executable") << "tool" << script << runnable << true;
    QTest::newRow("script by its content, no execute bit") << "setup" << script << plain << true;
    QTest::newRow("program by its content, no execute bit") << "a.out" << elf << plain << true;
    QTest::newRow("launcher") << "app.desktop" << launcher << plain << true;
    QTest::newRow("upper-case launcher") << "APP.DESKTOP" << launcher << plain << true;
    QTest::newRow("Windows program") << "quote.exe" << QByteArray("MZ") << plain << true;
    QTest::newRow("upper-case Windows program") << "QUOTE.EXE" << QByteArray("MZ") << plain << true;
    QTest::newRow("shortcut after a document's name") << "invoice.pdf.lnk" << QByteArray("L") << plain << true;
    QTest::newRow("web shortcut") << "site.url" << QByteArray("[InternetShortcut]\n") << plain << true;
    QTest::newRow("batch file") << "go.bat" << QByteArray("@echo off\r\n") << plain << true;
}

void TestQtPlatformServices::opensAsProgram()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(bool, program);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    if (name.endsWith(QLatin1Char('/'))) {
        QVERIFY(QDir(dir.path()).mkdir(name.chopped(1)));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }
    QFile::Permissions permissions;
    const std::pair<int, QFile::Permissions> bits[] = {
        {0400, QFile::ReadOwner | QFile::ReadUser}, {0200, QFile::WriteOwner | QFile::WriteUser},
        {0100, QFile::ExeOwner | QFile::ExeUser},   {0040, QFile::ReadGroup},
        {0010, QFile::ExeGroup},                    {0004, QFile::ReadOther},
        {0001, QFile::ExeOther}};
    for (const auto &[bit, flags] : bits) {
        if (mode & bit)
            permissions |= flags;
    }
    QVERIFY(QFile::setPermissions(path, permissions));
    platform::QtPlatformServices desktop;
    QCOMPARE(desktop.OpensAsProgram(path.toStdU16String()), program);
    QVERIFY(!desktop.OpensAsProgram(std::u16string()));
}

void TestQtPlatformServices::openFile_data()
{
    // DIR stands for a folder that holds Quote.odt.
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("initialDir");
    QTest::addColumn<QStringList>("shownFilters");
    QTest::addColumn<QString>("shownFolder");
    QTest::addColumn<bool>("choose");

    QTest::newRow("two filters, from a folder")
        << "Documents|*.doc;*.odt|All Files (*.*)|*.*" << "DIR"
        << QStringList{QStringLiteral("Documents (*.doc *.odt)"), QStringLiteral("All Files (*.*) (*)")} << "DIR"
        << true;
    QTest::newRow("from a stored folder that names a file")
        << "All Files (*.*)|*.*" << "DIR/Quote.odt" << QStringList{QStringLiteral("All Files (*.*) (*)")} << "DIR"
        << true;
    QTest::newRow("cancelled") << "All Files (*.*)|*.*" << "DIR" << QStringList{QStringLiteral("All Files (*.*) (*)")}
                               << "DIR" << false;
}

void TestQtPlatformServices::openFile()
{
    QFETCH(QString, filter);
    QFETCH(QString, initialDir);
    QFETCH(QStringList, shownFilters);
    QFETCH(QString, shownFolder);
    QFETCH(bool, choose);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString chosen = dir.filePath(QStringLiteral("Quote.odt"));
    {
        QFile file(chosen);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    initialDir.replace(QStringLiteral("DIR"), dir.path());
    shownFolder.replace(QStringLiteral("DIR"), dir.path());

    QStringList filters;
    QString folder;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        filters = dialog->nameFilters();
        folder = dialog->directory().absolutePath();
        if (choose) {
            dialog->selectFile(chosen);
            static_cast<QDialog *>(dialog)->accept(); // the chooser's own, which takes the selection
        } else {
            dialog->reject();
        }
    });
    platform::QtPlatformServices desktop;
    const std::optional<std::u16string> answer =
        desktop.OpenFile({filter.toStdU16String(), initialDir.toStdU16String(), nullptr});
    QVERIFY(seen);
    QCOMPARE(filters, shownFilters);
    QCOMPARE(folder, shownFolder);
    if (choose) {
        QVERIFY(answer.has_value());
        QCOMPARE(QString::fromStdU16String(*answer), chosen);
    } else {
        QVERIFY(!answer.has_value());
    }
}

QTEST_MAIN(TestQtPlatformServices)
#include "tst_QtPlatformServices.moc"
