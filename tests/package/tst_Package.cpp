// The Debian package: built with CPack from a Release tree of its own (the
// two programs only, no tests or benchmarks), checked by lintian, unpacked
// with dpkg -x into a scratch root, and checked file by file. Also checks
// that `cmake --install` of this build tree lays out the same tree, and that
// the desktop opens a stand-in database with act-standin through the
// packaged MIME type and desktop entry.

#include "resources/ProductInfo.h"

#include <QtTest>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

struct Outcome {
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
    QString describe(const QString &what) const
    {
        return QStringLiteral("%1: %2, exit code %3\n--- stdout\n%4\n--- stderr\n%5")
            .arg(what, finished ? QStringLiteral("finished") : QStringLiteral("did not finish"))
            .arg(exitCode)
            .arg(out, err);
    }
    bool ok() const { return finished && exitCode == 0; }
};

Outcome run(const QString &program, const QStringList &arguments,
            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
            const QString &workingFolder = QString(), int ms = 240000)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    Outcome outcome;
    outcome.finished = process.waitForStarted(10000) && process.waitForFinished(ms)
        && process.exitStatus() == QProcess::NormalExit;
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    outcome.exitCode = process.exitCode();
    outcome.out = QString::fromUtf8(process.readAllStandardOutput());
    outcome.err = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// One desktop entry file, read by the rules of the Desktop Entry format:
// groups of Key=Value lines, comments and blank lines between them.
struct DesktopEntry {
    QMap<QString, QMap<QString, QString>> groups;
    QStringList errors;

    QString value(const QString &key) const { return groups.value(QStringLiteral("Desktop Entry")).value(key); }

    static DesktopEntry read(const QString &path)
    {
        DesktopEntry entry;
        const QByteArray bytes = contents(path);
        const QString text = QString::fromUtf8(bytes);
        if (text.toUtf8() != bytes)
            entry.errors << QStringLiteral("not valid UTF-8");
        if (!bytes.endsWith('\n'))
            entry.errors << QStringLiteral("the last line has no line end");
        static const QRegularExpression groupLine(QStringLiteral("^\\[([^\\[\\]\\x00-\\x1f]+)\\]$"));
        static const QRegularExpression keyLine(
            QStringLiteral("^([A-Za-z0-9-]+(?:\\[[A-Za-z_@.]+\\])?) *= *(.*)$"));
        QString group;
        int number = 0;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            ++number;
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            if (const auto match = groupLine.match(line); match.hasMatch()) {
                group = match.captured(1);
                if (entry.groups.contains(group))
                    entry.errors << QStringLiteral("line %1: group %2 twice").arg(number).arg(group);
                if (entry.groups.isEmpty() && group != QLatin1String("Desktop Entry"))
                    entry.errors << QStringLiteral("line %1: the first group is not [Desktop Entry]").arg(number);
                entry.groups[group];
                continue;
            }
            const auto match = keyLine.match(line);
            if (!match.hasMatch()) {
                entry.errors << QStringLiteral("line %1: neither a group, a key nor a comment: %2").arg(number).arg(line);
                continue;
            }
            if (group.isEmpty()) {
                entry.errors << QStringLiteral("line %1: key before the first group").arg(number);
                continue;
            }
            if (entry.groups[group].contains(match.captured(1)))
                entry.errors << QStringLiteral("line %1: key %2 twice").arg(number).arg(match.captured(1));
            entry.groups[group].insert(match.captured(1), match.captured(2));
        }
        if (!entry.groups.contains(QStringLiteral("Desktop Entry")))
            entry.errors << QStringLiteral("no [Desktop Entry] group");
        return entry;
    }
};

// The package names in a Depends or Recommends field, alternatives included.
QStringList packageNames(const QString &field)
{
    QStringList names;
    for (const QString &clause : field.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        for (const QString &alternative : clause.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
            const QString name = alternative.trimmed().section(QRegularExpression(QStringLiteral("[ (:\\[]")), 0, 0);
            if (!name.isEmpty())
                names << name;
        }
    }
    return names;
}

// Every entry below a folder but the folders: the path relative to the
// folder, then "link -> target", "program" (any run bit) or "file".
QMap<QString, QString> layout(const QString &folder)
{
    QMap<QString, QString> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString relative = QDir(folder).relativeFilePath(path);
        if (info.isSymLink()) {
            std::error_code error;
            const auto target = std::filesystem::read_symlink(path.toStdString(), error);
            entries.insert(relative, QStringLiteral("link -> ") + QString::fromStdString(target.string()));
        } else if (info.isDir()) {
            continue;
        } else {
            const bool program = info.permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
            entries.insert(relative, program ? QStringLiteral("program") : QStringLiteral("file"));
        }
    }
    return entries;
}

// What the package installs below /usr, and the mode of each entry.
const QMap<QString, QString> &expectedModes()
{
    static const QMap<QString, QString> modes{
        {QStringLiteral("bin/Pennaroc"), QStringLiteral("lrwxrwxrwx")},
        {QStringLiteral("bin/act-standin"), QStringLiteral("-rwxr-xr-x")},
        {QStringLiteral("lib/pennaroc/Pennaroc"), QStringLiteral("-rwxr-xr-x")},
        {QStringLiteral("lib/pennaroc/Pennaroc.ico"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("lib/pennaroc/Pennaroc32.ico"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/applications/example.veltrane.Pennaroc.desktop"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/applications/act-standin.desktop"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/metainfo/example.veltrane.Pennaroc.metainfo.xml"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/mime/packages/act-standin-database.xml"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/icons/hicolor/16x16/apps/pennaroc.png"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/icons/hicolor/32x32/apps/pennaroc.png"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/icons/hicolor/48x48/apps/pennaroc.png"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/icons/hicolor/64x64/apps/pennaroc.png"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/icons/hicolor/128x128/apps/pennaroc.png"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/icons/hicolor/scalable/apps/pennaroc.svg"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/man/man1/Pennaroc.1.gz"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/man/man1/act-standin.1.gz"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/doc/pennaroc/copyright"), QStringLiteral("-rw-r--r--")},
        {QStringLiteral("share/doc/pennaroc/changelog.Debian.gz"), QStringLiteral("-rw-r--r--")},
    };
    return modes;
}

const QString StandinMimeType = QStringLiteral("application/x-act-standin-database");
// The desktop entry's name, which the AppStream file and the program's
// desktop file name share.
const QString PennarocEntry = QString::fromStdU16String(product::desktopFileName()) + QStringLiteral(".desktop");

// The lintian warnings that the README's package section explains, each
// with the reason it stays. Any other warning, and any error, fails.
const QMap<QString, QString> &explainedLintianWarnings()
{
    static const QMap<QString, QString> warnings{
        {QStringLiteral("initial-upload-closes-no-bugs"),
         QStringLiteral("the package is not uploaded to Debian, so no request-for-packaging bug exists to close")},
    };
    return warnings;
}

// What gzip -9n makes: no file name and no time stamp in the header, and
// the flag for the slowest, best compression. Empty when so.
QString gzipProblem(const QByteArray &bytes)
{
    if (bytes.size() < 10 || bytes.at(0) != '\x1f' || bytes.at(1) != '\x8b')
        return QStringLiteral("not gzip data");
    const auto flags = quint8(bytes.at(3));
    if (flags & 0x08)
        return QStringLiteral("the original file name is stored (gzip without -n)");
    if (bytes.mid(4, 4) != QByteArray(4, '\0'))
        return QStringLiteral("a time stamp is stored (gzip without -n)");
    if (quint8(bytes.at(8)) != 2)
        return QStringLiteral("not compressed with -9");
    return {};
}

// The uncompressed text of a gzip file, through gzip itself.
QByteArray gunzip(const QString &path)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
    if (!gzip.waitForFinished(30000) || gzip.exitStatus() != QProcess::NormalExit || gzip.exitCode() != 0)
        return {};
    return gzip.readAllStandardOutput();
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void releaseTreeBuildsOnlyThePrograms();
    void cpackRefusesOtherBuildTypes();
    void lintianFindsNoFaults();
    void packageHoldsExactlyTheseFiles();
    void entryModes_data();
    void entryModes();
    void unpackedProgramsRun_data();
    void unpackedProgramsRun();
    void registrationIconsBesideTheRealProgram();
    void filesMatchTheirSources_data();
    void filesMatchTheirSources();
    void hicolorIconsHaveTheirSize_data();
    void hicolorIconsHaveTheirSize();
    void scalableIconDrawsTheProgramIcon_data();
    void scalableIconDrawsTheProgramIcon();
    void copyrightIsMachineReadable();
    void compressedAsDebianDoes_data();
    void compressedAsDebianDoes();
    void changelogNamesThePackageVersion();
    void manualPages_data();
    void manualPages();
    void manualPagesNameEveryOption_data();
    void manualPagesNameEveryOption();
    void metainfoPassesTheValidator();
    void metainfoDescribesThisRelease();
    void controlFields_data();
    void controlFields();
    void dependencies_data();
    void dependencies();
    void programsNeedNoBuildTree_data();
    void programsNeedNoBuildTree();
    void packagedStandinServesDatabaseCommands();
    void desktopEntries_data();
    void desktopEntries();
    void desktopEntriesPassTheValidator_data();
    void desktopEntriesPassTheValidator();
    void desktopEntriesNameInstalledFiles();
    void mimeTypeDefinition();
    void desktopOpensDatabaseWithStandin();
    void installLayoutMatchesPackage();

private:
    QString usr(const QString &relative) const { return root_ + QStringLiteral("/usr/") + relative; }
    QString field(const QString &name) const;

    QTemporaryDir scratch_;
    QString sourceDir_;
    QString releaseTree_;
    QString deb_;
    QString root_;
    // Each entry of the package's data: path below /usr -> "mode owner".
    QMap<QString, QString> listing_;
    QStringList outsideUsr_;
    // The unpacked tree as dpkg -x left it, before any test adds to it.
    QMap<QString, QString> unpacked_;
};

void TestPackage::initTestCase()
{
    QVERIFY(scratch_.isValid());
    sourceDir_ = qEnvironmentVariable("PENNAROC_SOURCE_DIR");
    QVERIFY2(QFileInfo(sourceDir_ + QStringLiteral("/packaging/CMakeLists.txt")).isFile(),
             "PENNAROC_SOURCE_DIR does not name the source tree");
    for (const char *tool : {"dpkg-deb", "dpkg-shlibdeps"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is not installed (Debian packages dpkg and dpkg-dev)")
                                .arg(QString::fromLatin1(tool))));
    }

    // The package comes from a Release tree of its own, configured as the
    // README says, with tests and benchmarks left out. It stays beside this
    // build tree, so that a later run rebuilds only what changed.
    releaseTree_ = QStringLiteral(PENNAROC_BUILD_DIR "/package-release");
    QElapsedTimer clock;
    clock.start();
    const Outcome configure = run(QStringLiteral(PENNAROC_CMAKE),
                                  {QStringLiteral("-S"), sourceDir_, QStringLiteral("-B"), releaseTree_,
                                   QStringLiteral("-G"), QStringLiteral(PENNAROC_GENERATOR),
                                   QStringLiteral("-DCMAKE_BUILD_TYPE=Release"), QStringLiteral("-DBUILD_TESTING=OFF"),
                                   QStringLiteral("-DPENNAROC_BENCHMARKS=OFF"), QStringLiteral("-DPENNAROC_SANITIZE=OFF"),
                                   QStringLiteral("-DPENNAROC_FUZZ=OFF")});
    QVERIFY2(configure.ok(), qPrintable(configure.describe(QStringLiteral("cmake (configure the Release tree)"))));
    const Outcome build = run(QStringLiteral(PENNAROC_CMAKE), {QStringLiteral("--build"), releaseTree_},
                              QProcessEnvironment::systemEnvironment(), QString(), 1200000);
    QVERIFY2(build.ok(), qPrintable(build.describe(QStringLiteral("cmake --build (the Release tree)"))));
    qInfo("Release tree configured and built in %.1f s", clock.restart() / 1000.0);

    const QString out = scratch_.filePath(QStringLiteral("out"));
    const Outcome cpack = run(QStringLiteral(PENNAROC_CPACK),
                              {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out},
                              QProcessEnvironment::systemEnvironment(), releaseTree_);
    QVERIFY2(cpack.ok(), qPrintable(cpack.describe(QStringLiteral("cpack"))));
    const QStringList debs = QDir(out).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QVERIFY2(debs.size() == 1, qPrintable(QStringLiteral("expected one .deb, found: ") + debs.join(QLatin1Char(' '))));
    deb_ = out + QLatin1Char('/') + debs.first();
    qInfo("package %s, %lld bytes, made in %.1f s", qPrintable(debs.first()), QFileInfo(deb_).size(),
          clock.elapsed() / 1000.0);

    root_ = scratch_.filePath(QStringLiteral("root"));
    const Outcome unpack = run(QStringLiteral("dpkg"), {QStringLiteral("-x"), deb_, root_});
    QVERIFY2(unpack.ok(), qPrintable(unpack.describe(QStringLiteral("dpkg -x"))));
    unpacked_ = layout(root_ + QStringLiteral("/usr"));

    // The listing keeps the modes and owners as the archive has them,
    // whatever the unpacking user's umask does to the scratch copy.
    const Outcome list = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb_});
    QVERIFY2(list.ok(), qPrintable(list.describe(QStringLiteral("dpkg-deb --contents"))));
    static const QRegularExpression line(
        QStringLiteral("^([-dlrwxsStT]{10}) (\\S+)\\s+\\d+ \\S+ \\S+ \\./(.*?)(?: -> (.*))?$"));
    for (const QString &text : list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const auto match = line.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(QStringLiteral("unexpected listing line: ") + text));
        QString path = match.captured(3);
        if (path.endsWith(QLatin1Char('/')))
            path.chop(1);
        if (path == QLatin1String("usr") || path.isEmpty())
            continue;
        if (!path.startsWith(QLatin1String("usr/"))) {
            outsideUsr_ << path;
            continue;
        }
        listing_.insert(path.mid(4), match.captured(1) + QLatin1Char(' ') + match.captured(2));
    }
}

QString TestPackage::field(const QString &name) const
{
    const Outcome outcome = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb_, name});
    return outcome.ok() ? outcome.out.trimmed() : QStringLiteral("<dpkg-deb failed: %1>").arg(outcome.err);
}

void TestPackage::releaseTreeBuildsOnlyThePrograms()
{
    // With tests and benchmarks left out, the tree builds the two programs
    // and the two icons that Pennaroc finds beside itself, and nothing that
    // would make the package slower to build.
    QStringList built = QDir(releaseTree_ + QStringLiteral("/bin")).entryList(QDir::Files);
    built.sort();
    QCOMPARE(built, (QStringList{QStringLiteral("Pennaroc"), QStringLiteral("Pennaroc.ico"),
                                 QStringLiteral("Pennaroc32.ico"), QStringLiteral("act-standin")}));
    QVERIFY(!QFileInfo::exists(releaseTree_ + QStringLiteral("/tests")));
    QVERIFY(!QFileInfo::exists(releaseTree_ + QStringLiteral("/bench")));
}

void TestPackage::cpackRefusesOtherBuildTypes()
{
    if (QStringLiteral(PENNAROC_BUILD_TYPE) == QLatin1String("Release"))
        QSKIP("this build tree is a Release tree");
    // This tree is not a Release tree: cpack says so and makes nothing,
    // before it builds anything.
    const QString out = scratch_.filePath(QStringLiteral("refused"));
    const Outcome cpack = run(QStringLiteral(PENNAROC_CPACK),
                              {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                               QStringLiteral(PENNAROC_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out});
    QVERIFY2(cpack.finished && cpack.exitCode != 0, qPrintable(cpack.describe(QStringLiteral("cpack"))));
    QVERIFY2((cpack.out + cpack.err).simplified().contains(QLatin1String("the package is made from a Release tree")),
             qPrintable(cpack.describe(QStringLiteral("cpack"))));
    QVERIFY(QDir(out).entryList({QStringLiteral("*.deb")}, QDir::Files).isEmpty());
}

void TestPackage::lintianFindsNoFaults()
{
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty(),
             "lintian is not installed (Debian package lintian; ./test installs it)");
    QElapsedTimer clock;
    clock.start();
    const Outcome lintian = run(QStringLiteral("lintian"),
                                {QStringLiteral("--no-cfg"), QStringLiteral("--tag-display-limit"), QStringLiteral("0"),
                                 QStringLiteral("--display-info"), deb_});
    qInfo("lintian took %.1f s", clock.elapsed() / 1000.0);
    QVERIFY2(lintian.finished, qPrintable(lintian.describe(QStringLiteral("lintian"))));
    static const QRegularExpression tagLine(QStringLiteral("^([EWIPX]): [^:]+: (\\S+)(.*)$"));
    QStringList faults;
    for (const QString &line : lintian.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const auto match = tagLine.match(line);
        if (!match.hasMatch())
            continue;
        const QString level = match.captured(1);
        // The hardening notes count too: the Release tree is built hardened.
        if (level == u"E" || (level == u"W" && !explainedLintianWarnings().contains(match.captured(2)))
            || match.captured(2).startsWith(QLatin1String("hardening-")))
            faults << line;
        else if (level == u"W")
            qInfo("lintian: %s (%s)", qPrintable(line), qPrintable(explainedLintianWarnings().value(match.captured(2))));
        else
            qInfo("lintian: %s", qPrintable(line));
    }
    // lintian names a package it cannot read on standard error, with no tag.
    QVERIFY2(lintian.exitCode == 0 || !faults.isEmpty(), qPrintable(lintian.describe(QStringLiteral("lintian"))));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void TestPackage::packageHoldsExactlyTheseFiles()
{
    QVERIFY2(outsideUsr_.isEmpty(), qPrintable(QStringLiteral("outside /usr: ") + outsideUsr_.join(QLatin1Char(' '))));
    QStringList files;
    for (auto it = listing_.cbegin(); it != listing_.cend(); ++it) {
        if (!it.value().startsWith(QLatin1Char('d')))
            files << it.key();
    }
    QCOMPARE(files, expectedModes().keys());
}

void TestPackage::entryModes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("mode");
    for (auto it = expectedModes().cbegin(); it != expectedModes().cend(); ++it)
        QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
    // Every folder on the way, readable and searchable by all.
    for (const QString &folder : {QStringLiteral("bin"), QStringLiteral("lib/pennaroc"),
                                  QStringLiteral("share/applications"), QStringLiteral("share/mime/packages"),
                                  QStringLiteral("share/icons/hicolor/16x16/apps")})
        QTest::newRow(qPrintable(folder)) << folder << QStringLiteral("drwxr-xr-x");
}

void TestPackage::entryModes()
{
    QFETCH(QString, path);
    QFETCH(QString, mode);
    QVERIFY2(listing_.contains(path), qPrintable(path + QStringLiteral(" is not in the package")));
    QCOMPARE(listing_.value(path), mode + QStringLiteral(" root/root"));
}

void TestPackage::unpackedProgramsRun_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("Pennaroc on PATH") << QStringLiteral("bin/Pennaroc");
    QTest::newRow("Pennaroc") << QStringLiteral("lib/pennaroc/Pennaroc");
    QTest::newRow("act-standin") << QStringLiteral("bin/act-standin");
}

void TestPackage::unpackedProgramsRun()
{
    QFETCH(QString, path);
    const QFileInfo info(usr(path));
    QVERIFY2(info.exists(), qPrintable(info.filePath() + QStringLiteral(" is missing or a dangling link")));
    QVERIFY(info.isFile());
    QVERIFY2(info.isExecutable(), qPrintable(info.filePath() + QStringLiteral(" has no run bit")));
    const QByteArray head = contents(info.canonicalFilePath()).left(4);
    QCOMPARE(head, QByteArray("\x7f" "ELF"));
}

void TestPackage::registrationIconsBesideTheRealProgram()
{
    // The program names its own folder in the registration; started through
    // the link on PATH it sees the link's target folder.
    const QFileInfo link(usr(QStringLiteral("bin/Pennaroc")));
    QVERIFY(link.isSymLink());
    const QString folder = QFileInfo(link.canonicalFilePath()).path();
    QCOMPARE(folder, QFileInfo(usr(QStringLiteral("lib/pennaroc"))).canonicalFilePath());
    for (const QString &icon : {QStringLiteral("Pennaroc.ico"), QStringLiteral("Pennaroc32.ico")}) {
        const QFileInfo info(folder + QLatin1Char('/') + icon);
        QVERIFY2(info.isFile() && info.size() > 0, qPrintable(info.filePath() + QStringLiteral(" is missing")));
    }
}

void TestPackage::filesMatchTheirSources_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("source");
    QTest::newRow("registration icon") << "lib/pennaroc/Pennaroc.ico" << "resources/Pennaroc.ico";
    QTest::newRow("registration icon 32") << "lib/pennaroc/Pennaroc32.ico" << "resources/Pennaroc32.ico";
    QTest::newRow("program icon") << "share/icons/hicolor/64x64/apps/pennaroc.png" << "resources/pennaroc.png";
    QTest::newRow("program icon 48") << "share/icons/hicolor/48x48/apps/pennaroc.png" << "packaging/icons/pennaroc-48.png";
    QTest::newRow("program icon 32") << "share/icons/hicolor/32x32/apps/pennaroc.png" << "packaging/icons/pennaroc-32.png";
    QTest::newRow("program icon 16") << "share/icons/hicolor/16x16/apps/pennaroc.png" << "packaging/icons/pennaroc-16.png";
    QTest::newRow("program icon 128") << "share/icons/hicolor/128x128/apps/pennaroc.png" << "packaging/icons/pennaroc-128.png";
    QTest::newRow("scalable program icon") << "share/icons/hicolor/scalable/apps/pennaroc.svg" << "packaging/icons/pennaroc.svg";
    QTest::newRow("Pennaroc entry") << "share/applications/" + PennarocEntry << "packaging/" + PennarocEntry;
    QTest::newRow("AppStream file") << "share/metainfo/example.veltrane.Pennaroc.metainfo.xml"
                                    << "packaging/example.veltrane.Pennaroc.metainfo.xml";
    QTest::newRow("copyright") << "share/doc/pennaroc/copyright" << "packaging/debian/copyright";
    QTest::newRow("act-standin entry") << "share/applications/act-standin.desktop" << "packaging/act-standin.desktop";
    QTest::newRow("MIME type") << "share/mime/packages/act-standin-database.xml" << "packaging/act-standin-database.xml";
}

void TestPackage::filesMatchTheirSources()
{
    QFETCH(QString, installed);
    QFETCH(QString, source);
    const QByteArray expected = contents(sourceDir_ + QLatin1Char('/') + source);
    QVERIFY(!expected.isEmpty());
    QVERIFY2(contents(usr(installed)) == expected, qPrintable(installed + QStringLiteral(" differs from ") + source));
}

void TestPackage::hicolorIconsHaveTheirSize_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 64, 128})
        QTest::addRow("%dx%d", size, size) << size;
}

void TestPackage::hicolorIconsHaveTheirSize()
{
    QFETCH(int, size);
    QImageReader reader(usr(QStringLiteral("share/icons/hicolor/%1x%1/apps/pennaroc.png").arg(size)));
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
}

void TestPackage::scalableIconDrawsTheProgramIcon_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("drawn");
    // The program's own icon art, and the large icon made from the SVG.
    QTest::newRow("the program icon, 64 px") << 64 << "share/icons/hicolor/64x64/apps/pennaroc.png";
    QTest::newRow("the 128 px icon") << 128 << "share/icons/hicolor/128x128/apps/pennaroc.png";
}

void TestPackage::scalableIconDrawsTheProgramIcon()
{
    QFETCH(int, size);
    QFETCH(QString, drawn);
    // Drawn by librsvg, as GTK and GNOME draw SVG icons.
    if (QStandardPaths::findExecutable(QStringLiteral("rsvg-convert")).isEmpty())
        QSKIP("rsvg-convert is not installed (Debian package librsvg2-bin)");
    const QString svg = usr(QStringLiteral("share/icons/hicolor/scalable/apps/pennaroc.svg"));
    const QString rendered = scratch_.filePath(QStringLiteral("pennaroc-%1.png").arg(size));
    const Outcome convert = run(QStringLiteral("rsvg-convert"),
                                {QStringLiteral("-w"), QString::number(size), QStringLiteral("-h"),
                                 QString::number(size), QStringLiteral("-o"), rendered, svg});
    QVERIFY2(convert.ok(), qPrintable(convert.describe(QStringLiteral("rsvg-convert"))));
    const QImage a = QImage(rendered).convertToFormat(QImage::Format_RGBA8888);
    const QImage b = QImage(usr(drawn)).convertToFormat(QImage::Format_RGBA8888);
    QCOMPARE(a.size(), QSize(size, size));
    QCOMPARE(b.size(), QSize(size, size));
    // The same picture: edges may be smoothed differently, colours and
    // shapes may not.
    int differing = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            const int alpha = std::abs(p.alpha() - q.alpha());
            const int colour = std::max({std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                                         std::abs(p.blue() - q.blue())});
            if (alpha > 96 || (std::min(p.alpha(), q.alpha()) > 128 && colour > 96))
                ++differing;
        }
    }
    QVERIFY2(differing * 100 < size * size,
             qPrintable(QStringLiteral("%1 of %2 pixels differ").arg(differing).arg(size * size)));
}

void TestPackage::copyrightIsMachineReadable()
{
    // Paragraphs of fields; a continuation line starts with a blank, and a
    // lone "." stands for an empty line.
    QList<QMap<QString, QString>> paragraphs(1);
    QString last;
    for (const QString &line : QString::fromUtf8(contents(usr(QStringLiteral("share/doc/pennaroc/copyright"))))
                                   .split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty()) {
            if (!paragraphs.last().isEmpty())
                paragraphs.append(QMap<QString, QString>());
            continue;
        }
        if (line.startsWith(QLatin1Char(' '))) {
            QVERIFY2(!last.isEmpty(), qPrintable(QStringLiteral("a continuation line first: ") + line));
            const QString text = line.mid(1);
            paragraphs.last()[last] += QLatin1Char('\n') + (text == u"." ? QString() : text);
            continue;
        }
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        QVERIFY2(colon > 0, qPrintable(QStringLiteral("neither a field nor a continuation: ") + line));
        last = line.left(colon);
        QVERIFY2(!paragraphs.last().contains(last), qPrintable(last + QStringLiteral(" twice in a paragraph")));
        paragraphs.last().insert(last, line.mid(colon + 1).trimmed());
    }
    if (paragraphs.last().isEmpty())
        paragraphs.removeLast();
    QCOMPARE(paragraphs.size(), 3);

    const auto &header = paragraphs.at(0);
    QCOMPARE(header.value(QStringLiteral("Format")),
             QStringLiteral("https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"));
    QCOMPARE(header.value(QStringLiteral("Upstream-Name")), QString::fromStdU16String(product::applicationTitle()));
    QVERIFY(header.value(QStringLiteral("Upstream-Contact")).contains(QString::fromStdU16String(product::supportAddress())));
    QCOMPARE(header.value(QStringLiteral("Source")), QString::fromStdU16String(product::webSiteUrl()));

    const auto &files = paragraphs.at(1);
    QCOMPARE(files.value(QStringLiteral("Files")), QStringLiteral("*"));
    QCOMPARE(files.value(QStringLiteral("Copyright")), QStringLiteral("2026 ") + QString::fromStdU16String(product::makerName()));
    QCOMPARE(files.value(QStringLiteral("License")), QStringLiteral("Expat"));

    // The licence's own paragraph holds the text of LICENSE, the MIT
    // licence that Debian calls Expat, and the same copyright.
    const QString licence = paragraphs.at(2).value(QStringLiteral("License"));
    QVERIFY(licence.startsWith(QLatin1String("Expat\n")));
    const QString source = QString::fromUtf8(contents(sourceDir_ + QStringLiteral("/LICENSE")));
    QVERIFY(source.startsWith(QLatin1String("MIT License\n")));
    QVERIFY(source.contains(QStringLiteral("\nCopyright (c) 2026 ") + QString::fromStdU16String(product::makerName()) + QLatin1Char('\n')));
    const qsizetype permission = source.indexOf(QLatin1String("Permission is hereby granted"));
    QVERIFY(permission > 0);
    QCOMPARE(licence.mid(6).trimmed(), source.mid(permission).trimmed());
}

void TestPackage::compressedAsDebianDoes_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("changelog") << "share/doc/pennaroc/changelog.Debian.gz";
    QTest::newRow("Pennaroc(1)") << "share/man/man1/Pennaroc.1.gz";
    QTest::newRow("act-standin(1)") << "share/man/man1/act-standin.1.gz";
}

void TestPackage::compressedAsDebianDoes()
{
    QFETCH(QString, path);
    const QString problem = gzipProblem(contents(usr(path)));
    QVERIFY2(problem.isEmpty(), qPrintable(path + QStringLiteral(": ") + problem));
    QVERIFY(!gunzip(usr(path)).isEmpty());
}

void TestPackage::changelogNamesThePackageVersion()
{
    // The newest entry is for the version the package has, from its maker.
    const QString text = scratch_.filePath(QStringLiteral("changelog"));
    {
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(gunzip(usr(QStringLiteral("share/doc/pennaroc/changelog.Debian.gz"))));
    }
    const auto entry = [&](const QString &name) {
        const Outcome parse = run(QStringLiteral("dpkg-parsechangelog"),
                                  {QStringLiteral("-l"), text, QStringLiteral("-S"), name});
        return parse.ok() && parse.err.isEmpty() ? parse.out.trimmed()
                                                 : parse.describe(QStringLiteral("dpkg-parsechangelog"));
    };
    QCOMPARE(entry(QStringLiteral("Source")), field(QStringLiteral("Package")));
    QCOMPARE(entry(QStringLiteral("Version")), field(QStringLiteral("Version")));
    QCOMPARE(entry(QStringLiteral("Maintainer")), field(QStringLiteral("Maintainer")));
    QVERIFY(entry(QStringLiteral("Version")).startsWith(QString::fromStdU16String(product::versionText()) + QLatin1Char('-')));
}

void TestPackage::manualPages_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("title");
    QTest::newRow("Pennaroc") << "Pennaroc" << "PENNAROC";
    QTest::newRow("act-standin") << "act-standin" << "ACT\\-STANDIN";
}

void TestPackage::manualPages()
{
    QFETCH(QString, program);
    QFETCH(QString, title);
    const QString page = usr(QStringLiteral("share/man/man1/%1.1.gz").arg(program));
    const QStringList lines = QString::fromUtf8(gunzip(page)).split(QLatin1Char('\n'));
    // Section 1, and this version.
    QVERIFY2(lines.first().startsWith(QStringLiteral(".TH %1 1 ").arg(title)), qPrintable(lines.first()));
    QVERIFY2(lines.first().contains(QStringLiteral("\"Pennaroc %1\"").arg(QString::fromStdU16String(product::versionText()))),
             qPrintable(lines.first()));
    // The NAME line that whatis and apropos read: "name \- what it does".
    const qsizetype name = lines.indexOf(QStringLiteral(".SH NAME"));
    QVERIFY(name > 0 && name + 1 < lines.size());
    QString escaped = program;
    escaped.replace(QLatin1Char('-'), QLatin1String("\\-"));
    QVERIFY2(lines.at(name + 1).startsWith(escaped + QStringLiteral(" \\- ")), qPrintable(lines.at(name + 1)));

    // man renders it, with no warning from the formatter (as lintian asks).
    if (QStandardPaths::findExecutable(QStringLiteral("man")).isEmpty())
        QSKIP("man is not installed (Debian package man-db)");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    const Outcome man = run(QStringLiteral("man"),
                            {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
                             QStringLiteral("-l"), QStringLiteral("-Tutf8"), QStringLiteral("-Z"), page},
                            environment);
    QVERIFY2(man.ok() && man.err.isEmpty() && !man.out.isEmpty(), qPrintable(man.describe(QStringLiteral("man"))));
}

void TestPackage::manualPagesNameEveryOption_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("Pennaroc --help") << "Pennaroc" << QStringList{QStringLiteral("--help")};
    QTest::newRow("act-standin's usage") << "act-standin" << QStringList{};
    QTest::newRow("act-standin --help") << "act-standin" << QStringList{QStringLiteral("--help")};
}

void TestPackage::manualPagesNameEveryOption()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    if (QStandardPaths::findExecutable(QStringLiteral("man")).isEmpty())
        QSKIP("man is not installed (Debian package man-db)");
    // Whatever the program itself says it takes, its manual page names:
    // every option, and every command of act-standin.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    const Outcome help = run(usr(QStringLiteral("bin/") + program), arguments, environment);
    QVERIFY2(help.finished, qPrintable(help.describe(program)));
    QSet<QString> words;
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?[A-Za-z?][A-Za-z-]*)"));
    static const QRegularExpression command(QStringLiteral("^(?:usage:)?\\s*act-standin ([a-z]+)"));
    for (const QString &line : (help.out + help.err).split(QLatin1Char('\n'))) {
        // Options stand at the start of a line of Qt's help, and anywhere in
        // act-standin's usage.
        if (program == u"act-standin" || line.trimmed().startsWith(QLatin1Char('-'))) {
            for (auto it = option.globalMatch(line); it.hasNext();)
                words << it.next().captured(1);
        }
        if (const auto match = command.match(line); match.hasMatch())
            words << match.captured(1);
    }
    QVERIFY2(!words.isEmpty(), qPrintable(help.describe(program)));
    words << QStringLiteral("--help") << QStringLiteral("--version");

    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("200"));
    const Outcome man = run(QStringLiteral("man"),
                            {QStringLiteral("--nh"), QStringLiteral("--nj"), QStringLiteral("-l"),
                             usr(QStringLiteral("share/man/man1/%1.1.gz").arg(program))},
                            environment);
    QVERIFY2(man.ok(), qPrintable(man.describe(QStringLiteral("man"))));
    QStringList missing;
    for (const QString &word : std::as_const(words)) {
        const QRegularExpression named(QStringLiteral("(?<![\\w-])") + QRegularExpression::escape(word)
                                       + QStringLiteral("(?![\\w-])"));
        if (!named.match(man.out).hasMatch())
            missing << word;
    }
    missing.sort();
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not in the manual page: ") + missing.join(QLatin1Char(' '))));
}

void TestPackage::metainfoPassesTheValidator()
{
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("appstreamcli")).isEmpty(),
             "appstreamcli is not installed (Debian package appstream; ./test installs it)");
    const QString file = usr(QStringLiteral("share/metainfo/") + QString::fromStdU16String(product::desktopFileName())
                             + QStringLiteral(".metainfo.xml"));
    const Outcome validate = run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), file});
    // Notes (I:) may stay: the validator cannot tell that the maker's
    // domain, under .example, is a domain at all.
    static const QRegularExpression fault(QStringLiteral("^[EW]: "), QRegularExpression::MultilineOption);
    QVERIFY2(validate.ok() && !fault.match(validate.out).hasMatch(), qPrintable(validate.describe(QStringLiteral("appstreamcli"))));
}

void TestPackage::metainfoDescribesThisRelease()
{
    QFile file(usr(QStringLiteral("share/metainfo/") + QString::fromStdU16String(product::desktopFileName()) + QStringLiteral(".metainfo.xml")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name().toString(), QStringLiteral("component"));
    QCOMPARE(xml.attributes().value(QStringLiteral("type")).toString(), QStringLiteral("desktop-application"));
    // Each element's text under its name (and type, where it has one), in order.
    QMap<QString, QStringList> values;
    while (xml.readNextStartElement()) {
        QString key = xml.name().toString();
        const QString type = xml.attributes().value(QStringLiteral("type")).toString();
        if (!type.isEmpty())
            key += QLatin1Char(' ') + type;
        if (key == u"releases" || key == u"provides") {
            while (xml.readNextStartElement()) {
                const QString inner = key + QLatin1Char('/') + xml.name().toString();
                if (inner == u"releases/release") {
                    values[inner] << xml.attributes().value(QStringLiteral("version")).toString();
                    xml.skipCurrentElement();
                } else {
                    values[inner] << xml.readElementText();
                }
            }
            continue;
        }
        values[key] << xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

    const DesktopEntry entry = DesktopEntry::read(usr(QStringLiteral("share/applications/") + PennarocEntry));
    QCOMPARE(values.value(QStringLiteral("id")), QStringList{QString::fromStdU16String(product::desktopFileName())});
    QCOMPARE(values.value(QStringLiteral("launchable desktop-id")), QStringList{PennarocEntry});
    QCOMPARE(values.value(QStringLiteral("name")), QStringList{entry.value(QStringLiteral("Name"))});
    QCOMPARE(values.value(QStringLiteral("icon stock")), QStringList{entry.value(QStringLiteral("Icon"))});
    QCOMPARE(values.value(QStringLiteral("project_license")), QStringList{QStringLiteral("MIT")});
    QCOMPARE(values.value(QStringLiteral("url homepage")), QStringList{QString::fromStdU16String(product::webSiteUrl())});
    QCOMPARE(values.value(QStringLiteral("developer_name")), QStringList{QString::fromStdU16String(product::makerName())});
    // The newest release comes first, and is this one.
    QVERIFY(!values.value(QStringLiteral("releases/release")).isEmpty());
    QCOMPARE(values.value(QStringLiteral("releases/release")).first(), QString::fromStdU16String(product::versionText()));
    const QStringList binaries = values.value(QStringLiteral("provides/binary"));
    QCOMPARE(binaries, (QStringList{QStringLiteral("Pennaroc"), QStringLiteral("act-standin")}));
    for (const QString &binary : binaries)
        QVERIFY2(QFileInfo(usr(QStringLiteral("bin/") + binary)).isExecutable(), qPrintable(binary));
}

void TestPackage::controlFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const Outcome architecture = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    QTest::newRow("Package") << "Package" << "pennaroc";
    QTest::newRow("Version") << "Version" << "1.0.0-1";
    QTest::newRow("Architecture") << "Architecture" << architecture.out.trimmed();
    QTest::newRow("Maintainer") << "Maintainer" << "Veltrane <support@veltrane.example>";
    QTest::newRow("Section") << "Section" << "utils";
    QTest::newRow("Priority") << "Priority" << "optional";
}

void TestPackage::controlFields()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(field(name), expected);
    QVERIFY(!field(QStringLiteral("Description")).isEmpty());
}

void TestPackage::dependencies_data()
{
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("package");
    QTest::addColumn<bool>("listed");
    // Found by dpkg-shlibdeps from the two executables.
    for (const char *library : {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6dbus6", "libsqlite3-0",
                                "libstdc++6", "libc6"})
        QTest::newRow(library) << "Depends" << QString::fromLatin1(library) << true;
    // The desktop integration: the databases' triggers and xdg-open.
    for (const char *tool : {"shared-mime-info", "desktop-file-utils", "xdg-utils"})
        QTest::newRow(tool) << "Depends" << QString::fromLatin1(tool) << true;
    QTest::newRow("file types without a desktop environment") << "Recommends" << "libfile-mimeinfo-perl" << true;
    QTest::newRow("Qt's dialogs in the user's language") << "Recommends" << "qt6-translations-l10n" << true;
    // Test support must stay out of the programs.
    QTest::newRow("no Qt Test") << "Depends" << "libqt6test6" << false;
}

void TestPackage::dependencies()
{
    QFETCH(QString, fieldName);
    QFETCH(QString, package);
    QFETCH(bool, listed);
    const QString value = field(fieldName);
    QVERIFY2(packageNames(value).contains(package) == listed,
             qPrintable(QStringLiteral("%1: %2").arg(fieldName, value)));
}

void TestPackage::programsNeedNoBuildTree_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("Pennaroc") << QStringLiteral("lib/pennaroc/Pennaroc");
    QTest::newRow("act-standin") << QStringLiteral("bin/act-standin");
}

void TestPackage::programsNeedNoBuildTree()
{
    QFETCH(QString, path);
    const QString program = usr(path);
    // Every library resolves from the system, with no search path into the
    // build tree left behind.
    const Outcome ldd = run(QStringLiteral("ldd"), {program});
    QVERIFY2(ldd.ok(), qPrintable(ldd.describe(QStringLiteral("ldd"))));
    QVERIFY2(!ldd.out.contains(QLatin1String("not found")), qPrintable(ldd.out));
    QVERIFY2(!ldd.out.contains(QStringLiteral(PENNAROC_BUILD_DIR)), qPrintable(ldd.out));
    if (QStandardPaths::findExecutable(QStringLiteral("readelf")).isEmpty())
        QSKIP("readelf is not installed");
    const Outcome readelf = run(QStringLiteral("readelf"), {QStringLiteral("--dynamic"), program});
    QVERIFY2(readelf.ok(), qPrintable(readelf.describe(QStringLiteral("readelf"))));
    QVERIFY2(!readelf.out.contains(QLatin1String("(RUNPATH)")) && !readelf.out.contains(QLatin1String("(RPATH)")),
             qPrintable(readelf.out));
}

void TestPackage::packagedStandinServesDatabaseCommands()
{
    // The unpacked stand-in, with nothing but the system's libraries, makes
    // a database and keeps a text exactly.
    const QString standin = usr(QStringLiteral("bin/act-standin"));
    const QString db = scratch_.filePath(QStringLiteral("commands.actdb"));
    const Outcome create = run(standin, {QStringLiteral("create"), db});
    QVERIFY2(create.ok(), qPrintable(create.describe(QStringLiteral("act-standin create"))));
    const QString text = QStringLiteral("Quote sent [[/home/ana/Quote 3.txt]]");
    const Outcome add = run(standin, {QStringLiteral("add"), db, text});
    QVERIFY2(add.ok(), qPrintable(add.describe(QStringLiteral("act-standin add"))));
    const Outcome details = run(standin, {QStringLiteral("details"), db, add.out.trimmed()});
    QVERIFY2(details.ok(), qPrintable(details.describe(QStringLiteral("act-standin details"))));
    QCOMPARE(details.out, text);
}

void TestPackage::desktopEntries_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QString pennaroc = PennarocEntry;
    const QString standin = QStringLiteral("act-standin.desktop");
    QTest::newRow("Pennaroc Type") << pennaroc << "Type" << "Application";
    QTest::newRow("Pennaroc Name") << pennaroc << "Name" << "Pennaroc";
    QTest::newRow("Pennaroc Exec") << pennaroc << "Exec" << "Pennaroc";
    QTest::newRow("Pennaroc Icon") << pennaroc << "Icon" << "pennaroc";
    QTest::newRow("Pennaroc Categories") << pennaroc << "Categories" << "Office;";
    QTest::newRow("Pennaroc Terminal") << pennaroc << "Terminal" << "false";
    // The desktop ties a window to this entry by its WM_CLASS, which Qt
    // takes from the application name (tst_e2e_startup reads it).
    QTest::newRow("Pennaroc StartupWMClass") << pennaroc << "StartupWMClass" << "Pennaroc";
    QTest::newRow("Pennaroc Keywords") << pennaroc << "Keywords"
                                       << "attachment;attach;file;document;ACT!;contact manager;sales;opportunity;record;";
    QTest::newRow("act-standin Type") << standin << "Type" << "Application";
    QTest::newRow("act-standin Exec") << standin << "Exec" << "act-standin serve %f --window";
    QTest::newRow("act-standin MimeType") << standin << "MimeType" << (StandinMimeType + QLatin1Char(';'));
    QTest::newRow("act-standin NoDisplay") << standin << "NoDisplay" << "true";
    QTest::newRow("act-standin Terminal") << standin << "Terminal" << "false";
    QTest::newRow("act-standin Keywords") << standin << "Keywords" << "ACT!;contact manager;database;actdb;stand-in;";
}

void TestPackage::desktopEntries()
{
    QFETCH(QString, file);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const DesktopEntry entry = DesktopEntry::read(usr(QStringLiteral("share/applications/") + file));
    QVERIFY2(entry.errors.isEmpty(), qPrintable(entry.errors.join(QLatin1Char('\n'))));
    QVERIFY(!entry.value(QStringLiteral("Name")).isEmpty());
    QCOMPARE(entry.value(key), expected);
}

void TestPackage::desktopEntriesPassTheValidator_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("Pennaroc") << PennarocEntry;
    QTest::newRow("act-standin") << QStringLiteral("act-standin.desktop");
}

void TestPackage::desktopEntriesPassTheValidator()
{
    QFETCH(QString, file);
    if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
        QSKIP("desktop-file-validate is not installed (Debian package desktop-file-utils)");
    const Outcome validate = run(QStringLiteral("desktop-file-validate"), {usr(QStringLiteral("share/applications/") + file)});
    // It reports hints and errors alike on its output; a clean entry gives none.
    QVERIFY2(validate.ok() && validate.out.trimmed().isEmpty(), qPrintable(validate.describe(file)));
}

void TestPackage::desktopEntriesNameInstalledFiles()
{
    // Each entry's program is one that the package puts on PATH, and
    // Pennaroc's icon name is one that the package installs.
    for (const QString &file : {PennarocEntry, QStringLiteral("act-standin.desktop")}) {
        const DesktopEntry entry = DesktopEntry::read(usr(QStringLiteral("share/applications/") + file));
        const QString program = entry.value(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
        QVERIFY2(QFileInfo(usr(QStringLiteral("bin/") + program)).isExecutable(),
                 qPrintable(file + QStringLiteral(" runs ") + program + QStringLiteral(", which is not in /usr/bin")));
    }
    const QString icon = DesktopEntry::read(usr(QStringLiteral("share/applications/") + PennarocEntry))
                             .value(QStringLiteral("Icon"));
    for (const QString &size : {QStringLiteral("64x64"), QStringLiteral("128x128")})
        QVERIFY(QFileInfo(usr(QStringLiteral("share/icons/hicolor/%1/apps/%2.png").arg(size, icon))).isFile());
    QVERIFY(QFileInfo(usr(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon))).isFile());
}

void TestPackage::mimeTypeDefinition()
{
    QFile file(usr(QStringLiteral("share/mime/packages/act-standin-database.xml")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString ns = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
    QXmlStreamReader xml(&file);
    QStringList types;
    QStringList globs;
    QStringList parents;
    bool comment = false;
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name().toString(), QStringLiteral("mime-info"));
    QCOMPARE(xml.namespaceUri().toString(), ns);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        QCOMPARE(xml.namespaceUri().toString(), ns);
        if (xml.name() == QLatin1String("mime-type"))
            types << xml.attributes().value(QStringLiteral("type")).toString();
        else if (xml.name() == QLatin1String("glob"))
            globs << xml.attributes().value(QStringLiteral("pattern")).toString();
        else if (xml.name() == QLatin1String("sub-class-of"))
            parents << xml.attributes().value(QStringLiteral("type")).toString();
        else if (xml.name() == QLatin1String("comment"))
            comment = !xml.readElementText().isEmpty();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(types, QStringList{StandinMimeType});
    QCOMPARE(globs, QStringList{QStringLiteral("*.actdb")});
    QVERIFY(comment);
    // The database is an SQLite file, and the type says so, so that the
    // type from the extension and the type from the content agree.
    QCOMPARE(parents, QStringList{QStringLiteral("application/vnd.sqlite3")});
}

void TestPackage::desktopOpensDatabaseWithStandin()
{
    // Without a desktop environment, xdg-open reads the file's type from
    // the shared MIME database (through mimetype) and the application from
    // the desktop database. Both are built here for the unpacked root, as
    // the package triggers build them for /usr.
    for (const char *tool : {"xdg-open", "update-mime-database", "update-desktop-database", "mimetype"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString data = usr(QStringLiteral("share"));
    environment.insert(QStringLiteral("XDG_DATA_DIRS"), data + QStringLiteral(":/usr/local/share:/usr/share"));
    const Outcome mime = run(QStringLiteral("update-mime-database"), {data + QStringLiteral("/mime")}, environment);
    QVERIFY2(mime.ok(), qPrintable(mime.describe(QStringLiteral("update-mime-database"))));
    const Outcome desktop = run(QStringLiteral("update-desktop-database"), {data + QStringLiteral("/applications")});
    QVERIFY2(desktop.ok(), qPrintable(desktop.describe(QStringLiteral("update-desktop-database"))));

    // A real stand-in database, in a folder and under a name with blanks.
    QVERIFY(QDir(scratch_.path()).mkpath(QStringLiteral("Sales data")));
    const QString db = scratch_.filePath(QStringLiteral("Sales data/Main office.actdb"));
    const Outcome create = run(usr(QStringLiteral("bin/act-standin")), {QStringLiteral("create"), db});
    QVERIFY2(create.ok(), qPrintable(create.describe(QStringLiteral("act-standin create"))));

    // A recording act-standin first on PATH stands for the packaged one,
    // whose window the desktop would otherwise open.
    const QString fakeBin = scratch_.filePath(QStringLiteral("fakebin"));
    const QString record = scratch_.filePath(QStringLiteral("act-standin.args"));
    QVERIFY(QDir().mkpath(fakeBin));
    {
        QFile fake(fakeBin + QStringLiteral("/act-standin"));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$PENNAROC_RECORD\"\n");
        fake.close();
        QVERIFY(fake.setPermissions(fake.permissions() | QFile::ExeOwner));
    }
    environment.insert(QStringLiteral("PENNAROC_RECORD"), record);
    environment.insert(QStringLiteral("PATH"), fakeBin + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    // A plain X session with no desktop environment, and private folders
    // so that no one's own associations take part.
    for (const char *name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "WAYLAND_DISPLAY", "BROWSER", "DBUS_SESSION_BUS_ADDRESS"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":99"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch_.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), scratch_.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), scratch_.filePath(QStringLiteral("config-dirs")));

    const Outcome type = run(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), db}, environment);
    QVERIFY2(type.ok(), qPrintable(type.describe(QStringLiteral("xdg-mime query filetype"))));
    QCOMPARE(type.out.trimmed().section(QLatin1Char(';'), 0, 0), StandinMimeType);
    const Outcome handler = run(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), StandinMimeType}, environment);
    QCOMPARE(handler.out.trimmed(), QStringLiteral("act-standin.desktop"));

    const Outcome open = run(QStringLiteral("xdg-open"), {db}, environment);
    QVERIFY2(open.ok(), qPrintable(open.describe(QStringLiteral("xdg-open"))));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(record).size() > 0, 10000);
    QCOMPARE(QString::fromUtf8(contents(record)).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{QStringLiteral("serve"), db, QStringLiteral("--window")}));
}

void TestPackage::installLayoutMatchesPackage()
{
    const QString prefix = scratch_.filePath(QStringLiteral("prefix"));
    const Outcome install = run(QStringLiteral(PENNAROC_CMAKE),
                                {QStringLiteral("--install"), QStringLiteral(PENNAROC_BUILD_DIR),
                                 QStringLiteral("--prefix"), prefix});
    QVERIFY2(install.ok(), qPrintable(install.describe(QStringLiteral("cmake --install"))));
    const QMap<QString, QString> installed = layout(prefix);
    QCOMPARE(installed, unpacked_);
    QCOMPARE(installed.value(QStringLiteral("bin/Pennaroc")), QStringLiteral("link -> ../lib/pennaroc/Pennaroc"));
    QCOMPARE(QFileInfo(prefix + QStringLiteral("/bin/Pennaroc")).canonicalFilePath(),
             QFileInfo(prefix + QStringLiteral("/lib/pennaroc/Pennaroc")).canonicalFilePath());
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_Package.moc"
