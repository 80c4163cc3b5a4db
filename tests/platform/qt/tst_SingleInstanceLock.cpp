// The single-instance lock as separate copies of the program meet it: what
// each state of the lock's path gives (only a live holder refuses), that
// nothing at the path makes a start wait or gets overwritten, and that two
// copies started at the same moment never both run.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// How long a probe may take to answer before it counts as blocked. Generous:
// a sanitizer build starts processes slowly.
constexpr int AnswerMs = 10000;
// The user an unprivileged probe runs as when the tests run as root.
constexpr uid_t Nobody = 65534;

enum class Setup {
    FreePath,
    EmptyFile,
    GarbledFile,
    FileNamingLiveProcess,
    KilledHolder,
    KilledOldHolder,
    KilledHolderWithChild,
    LiveHolder,
    LiveOldCopy,
    Fifo,
    Folder,
    Socket,
    Symlink,
    DanglingSymlink,
    HardLink,
    MissingFolder,
    UnreadableFile,
    UnwritableFolder,
    UnwritableFolderLeftover,
    UnwritableFolderLiveHolder,
    ReadOnlyFolder,
    ReadOnlyFolderLeftover,
    ReadOnlyFolderLiveHolder,
    FullFolder,
    NoInodesLeft,
};

// What the lock file holds while a probe holds the lock.
enum class Content { OurPid, Unchanged, Empty };

// Not a lock file of any kind, with a NUL byte inside.
constexpr char GarbledText[] = "\xff\xfe\x00 not a lock\n\n\n-17\nPennaroc\n";
const QByteArray Garbled(GarbledText, sizeof GarbledText - 1);

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

QString probePath()
{
    return QStringLiteral(LOCK_PROBE_PATH);
}

// One lock_probe process; see lock_probe.cpp.
class Probe {
public:
    Probe(const QStringList &args, bool unprivileged)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (unprivileged && runningAsRoot()) {
            process_.start(QStringLiteral("setpriv"),
                           QStringList{QStringLiteral("--reuid=%1").arg(Nobody), QStringLiteral("--regid=%1").arg(Nobody),
                                       QStringLiteral("--clear-groups"), QStringLiteral("--"), probePath()}
                               + args);
        } else {
            process_.start(probePath(), args);
        }
        process_.waitForStarted(AnswerMs);
    }
    ~Probe() { kill(); }
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;

    // The next line it prints, or empty when none comes within ms.
    QString nextLine(int ms = AnswerMs)
    {
        QDeadlineTimer deadline(ms);
        while (!process_.canReadLine() && process_.state() == QProcess::Running && !deadline.hasExpired())
            process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        if (!process_.canReadLine())
            return {};
        return QString::fromLocal8Bit(process_.readLine()).trimmed();
    }

    // Lets it end normally, releasing what it holds; true when it did.
    bool release()
    {
        process_.closeWriteChannel();
        const bool ended = process_.waitForFinished(AnswerMs);
        return ended && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }

    // Ends it as a crash would: nothing of its own runs.
    void kill()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished(AnswerMs);
    }

    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
};

// How a path looks, for comparing before and after: its kind and, for a
// file, what it holds; for a symbolic link, where it points and the target.
QByteArray describePath(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat seen {};
    if (::lstat(name.constData(), &seen) != 0)
        return "absent";
    if (S_ISREG(seen.st_mode)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return "unreadable file";
        return "file: " + file.readAll();
    }
    if (S_ISLNK(seen.st_mode)) {
        const QString target = QFileInfo(path).symLinkTarget();
        return "link to " + QFile::encodeName(target) + " (" + describePath(target) + ")";
    }
    if (S_ISDIR(seen.st_mode))
        return "folder";
    if (S_ISFIFO(seen.st_mode))
        return "fifo";
    if (S_ISSOCK(seen.st_mode))
        return "socket";
    return "other";
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A runtime folder for one case, with whatever the case puts there. Undoes
// it all on the way out, mounts included, also when the case fails.
class Scene {
public:
    Scene()
    {
        // An unprivileged probe must reach the folder.
        QFile::setPermissions(base_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                | QFileDevice::ReadOther | QFileDevice::ExeOther
                                                | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    }
    ~Scene()
    {
        holders_.clear();
        if (orphan_ > 0)
            ::kill(orphan_, SIGKILL);
        if (mounted_)
            ::umount2(QFile::encodeName(folder()).constData(), MNT_DETACH);
        ::chmod(QFile::encodeName(folder()).constData(), 0700);
    }
    Scene(const Scene &) = delete;
    Scene &operator=(const Scene &) = delete;

    bool valid() const { return base_.isValid(); }
    QString folder() const { return base_.filePath(QStringLiteral("runtime")); }
    QString path() const { return folder() + QStringLiteral("/Pennaroc.lock"); }
    QString outside() const { return base_.filePath(QStringLiteral("precious.txt")); }

    // Starts a probe that takes the lock and keeps it; its answer, or empty.
    QString startHolder(const QString &mode, bool unprivileged = false)
    {
        holders_.push_back(std::make_unique<Probe>(QStringList{mode, path()}, unprivileged));
        return holders_.back()->nextLine();
    }
    Probe &lastHolder() { return *holders_.back(); }
    void setOrphan(pid_t pid) { orphan_ = pid; }

    // A tmpfs of its own as the folder; empty on success, else why not.
    QString mountFolder(const char *options)
    {
        if (!runningAsRoot())
            return QStringLiteral("mounting needs root");
        if (::mount("tmpfs", QFile::encodeName(folder()).constData(), "tmpfs", 0, options) != 0)
            return QStringLiteral("mount is not permitted here: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        mounted_ = true;
        return {};
    }
    bool remountReadOnly()
    {
        return ::mount(nullptr, QFile::encodeName(folder()).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr)
            == 0;
    }

private:
    QTemporaryDir base_;
    std::vector<std::unique_ptr<Probe>> holders_;
    pid_t orphan_ = -1;
    bool mounted_ = false;
};

// Gives a folder to the unprivileged probe user, or takes it away.
bool setOwnership(const QString &path, bool probeUserOwns, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    if (runningAsRoot() && ::chown(name.constData(), probeUserOwns ? Nobody : 0, probeUserOwns ? Nobody : 0) != 0)
        return false;
    return ::chmod(name.constData(), mode) == 0;
}

// Fills the folder's file system: its space, or its inodes.
void fill(const QString &folder, bool inodes)
{
    if (inodes) {
        for (int i = 0; i < 100000; ++i) {
            const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/f%1").arg(i)).constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0)
                return;
            ::close(fd);
        }
        return;
    }
    const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/filler")).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const QByteArray block(4096, 'x');
    while (fd >= 0 && ::write(fd, block.constData(), size_t(block.size())) > 0) {
    }
    while (fd >= 0 && ::write(fd, block.constData(), 1) > 0) {
    }
    if (fd >= 0)
        ::close(fd);
}

// Puts the case's state at the lock's path. Empty when done, "skip: ..."
// when this machine cannot make it, otherwise what went wrong.
QString prepare(Setup setup, Scene &scene)
{
    const QString folder = scene.folder();
    const QString path = scene.path();
    if (setup != Setup::MissingFolder && !QDir().mkpath(folder))
        return QStringLiteral("cannot make the folder");
    if (setup != Setup::MissingFolder && !setOwnership(folder, true, 0700))
        return QStringLiteral("cannot set the folder's owner");
    const bool unprivilegedCase = setup == Setup::UnreadableFile || setup == Setup::UnwritableFolder
        || setup == Setup::UnwritableFolderLeftover || setup == Setup::UnwritableFolderLiveHolder;
    if (unprivilegedCase && runningAsRoot() && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return QStringLiteral("skip: running as root without setpriv, no unprivileged probe");

    const auto heldBy = [&](const QString &mode, bool unprivileged = false) -> QString {
        const QString answer = scene.startHolder(mode, unprivileged);
        return answer == u"held" ? QString() : QStringLiteral("the holder answered \"%1\"").arg(answer);
    };
    const auto readOnly = [&](bool leftover, bool holder) -> QString {
        if (QString why = scene.mountFolder("size=1m,mode=0700"); !why.isEmpty())
            return QStringLiteral("skip: ") + why;
        if (leftover && !writeFile(path, Garbled))
            return QStringLiteral("cannot write the leftover file");
        if (!scene.remountReadOnly())
            return QStringLiteral("cannot remount read-only");
        return holder ? heldBy(QStringLiteral("ours")) : QString();
    };

    switch (setup) {
    case Setup::FreePath:
    case Setup::MissingFolder:
        return {};
    case Setup::EmptyFile:
        return writeFile(path, {}) ? QString() : QStringLiteral("cannot write");
    case Setup::GarbledFile:
        return writeFile(path, Garbled) ? QString() : QStringLiteral("cannot write");
    case Setup::FileNamingLiveProcess: {
        // What a QLockFile writes, naming this process, which runs and holds
        // nothing: a process id reused after a crash looks just like it.
        const QString model = QFileInfo(folder).absolutePath() + QStringLiteral("/model.lock");
        QLockFile lock(model);
        if (!lock.tryLock(0))
            return QStringLiteral("no model lock file");
        QFile modelFile(model);
        if (!modelFile.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read the model lock file");
        return writeFile(path, modelFile.readAll()) ? QString() : QStringLiteral("cannot write");
    }
    case Setup::KilledHolder:
    case Setup::KilledOldHolder: {
        const QString why = heldBy(setup == Setup::KilledHolder ? QStringLiteral("ours") : QStringLiteral("qlockfile"));
        scene.lastHolder().kill();
        if (!QFileInfo::exists(path))
            return QStringLiteral("the killed holder left no file");
        return why;
    }
    case Setup::KilledHolderWithChild: {
        QString why = heldBy(QStringLiteral("spawn"));
        const QString child = scene.lastHolder().nextLine();
        if (!child.startsWith(u"child "))
            return QStringLiteral("the holder started no child: \"%1\"").arg(child);
        scene.setOrphan(pid_t(child.mid(6).toLongLong()));
        scene.lastHolder().kill();
        return why;
    }
    case Setup::LiveHolder:
        return heldBy(QStringLiteral("ours"));
    case Setup::LiveOldCopy:
        return heldBy(QStringLiteral("qlockfile"));
    case Setup::Fifo:
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? QString() : QStringLiteral("mkfifo");
    case Setup::Folder:
        return QDir().mkdir(path) ? QString() : QStringLiteral("mkdir");
    case Setup::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (size_t(name.size()) >= sizeof address.sun_path)
            return QStringLiteral("skip: the path is too long for a socket");
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        return bound ? QString() : QStringLiteral("cannot bind a socket");
    }
    case Setup::Symlink:
        if (!writeFile(scene.outside(), "precious\n"))
            return QStringLiteral("cannot write the link's target");
        return QFile::link(scene.outside(), path) ? QString() : QStringLiteral("symlink");
    case Setup::DanglingSymlink:
        return QFile::link(scene.outside(), path) ? QString() : QStringLiteral("symlink");
    case Setup::HardLink:
        if (!writeFile(scene.outside(), "precious\n"))
            return QStringLiteral("cannot write the linked file");
        return ::link(QFile::encodeName(scene.outside()).constData(), QFile::encodeName(path).constData()) == 0
            ? QString()
            : QStringLiteral("link");
    case Setup::UnreadableFile:
        // Someone else's file in the user's own folder.
        if (!writeFile(path, Garbled) || !setOwnership(path, false, runningAsRoot() ? 0600 : 0000))
            return QStringLiteral("cannot make the unreadable file");
        return {};
    case Setup::UnwritableFolder:
        return setOwnership(folder, false, runningAsRoot() ? 0755 : 0555) ? QString() : QStringLiteral("chmod");
    case Setup::UnwritableFolderLeftover:
    case Setup::UnwritableFolderLiveHolder:
        if (!writeFile(path, Garbled) || !setOwnership(path, false, runningAsRoot() ? 0644 : 0444)
            || !setOwnership(folder, false, runningAsRoot() ? 0755 : 0555))
            return QStringLiteral("cannot make the leftover file");
        return setup == Setup::UnwritableFolderLiveHolder ? heldBy(QStringLiteral("ours"), true) : QString();
    case Setup::ReadOnlyFolder:
        return readOnly(false, false);
    case Setup::ReadOnlyFolderLeftover:
        return readOnly(true, false);
    case Setup::ReadOnlyFolderLiveHolder:
        return readOnly(true, true);
    case Setup::FullFolder:
    case Setup::NoInodesLeft: {
        const bool inodes = setup == Setup::NoInodesLeft;
        if (QString why = scene.mountFolder(inodes ? "nr_inodes=16,mode=0700" : "size=64k,mode=0700"); !why.isEmpty())
            return QStringLiteral("skip: ") + why;
        fill(folder, inodes);
        return {};
    }
    }
    return QStringLiteral("unknown case");
}

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Content)

class TestSingleInstanceLock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void pathStates_data();
    void pathStates();
    void twoCopiesAtOnce();
};

void TestSingleInstanceLock::initTestCase()
{
    QVERIFY2(QFileInfo(probePath()).isExecutable(), qPrintable(probePath()));
}

void TestSingleInstanceLock::pathStates_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<QString>("expected");
    // For a lock that is taken: what the file holds meanwhile, and whether
    // the file is gone once its holder ends.
    QTest::addColumn<Content>("content");
    QTest::addColumn<bool>("removed");
    // For a lock that cannot be made: a piece of the reason.
    QTest::addColumn<QString>("reason");

    const QString held = QStringLiteral("held");
    const QString refused = QStringLiteral("refused");
    const QString unavailable = QStringLiteral("unavailable");
    const QString notAFile = QStringLiteral("not a regular file");
    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));

    QTest::newRow("free path") << Setup::FreePath << false << held << Content::OurPid << true << QString();
    QTest::newRow("empty file") << Setup::EmptyFile << false << held << Content::OurPid << true << QString();
    QTest::newRow("garbled file") << Setup::GarbledFile << false << held << Content::OurPid << true << QString();
    QTest::newRow("file naming a live process that holds nothing")
        << Setup::FileNamingLiveProcess << false << held << Content::OurPid << true << QString();
    QTest::newRow("left by a killed holder") << Setup::KilledHolder << false << held << Content::OurPid << true
                                             << QString();
    QTest::newRow("left by a killed older copy (QLockFile)")
        << Setup::KilledOldHolder << false << held << Content::OurPid << true << QString();
    QTest::newRow("killed holder whose child still runs")
        << Setup::KilledHolderWithChild << false << held << Content::OurPid << true << QString();
    QTest::newRow("live holder") << Setup::LiveHolder << false << refused << Content::Unchanged << false << QString();
    QTest::newRow("live older copy (QLockFile)")
        << Setup::LiveOldCopy << false << refused << Content::Unchanged << false << QString();
    QTest::newRow("FIFO") << Setup::Fifo << false << unavailable << Content::Unchanged << false << notAFile;
    QTest::newRow("folder") << Setup::Folder << false << unavailable << Content::Unchanged << false << notAFile;
    QTest::newRow("socket") << Setup::Socket << false << unavailable << Content::Unchanged << false << notAFile;
    QTest::newRow("symbolic link to a file")
        << Setup::Symlink << false << unavailable << Content::Unchanged << false << notAFile;
    QTest::newRow("dangling symbolic link")
        << Setup::DanglingSymlink << false << unavailable << Content::Unchanged << false << notAFile;
    QTest::newRow("second name of another file")
        << Setup::HardLink << false << held << Content::Unchanged << true << QString();
    QTest::newRow("missing folder") << Setup::MissingFolder << false << unavailable << Content::Unchanged << false
                                    << QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("unreadable file") << Setup::UnreadableFile << true << unavailable << Content::Unchanged << false
                                     << denied;
    QTest::newRow("unwritable folder") << Setup::UnwritableFolder << true << unavailable << Content::Unchanged
                                       << false << denied;
    QTest::newRow("unwritable folder, leftover file")
        << Setup::UnwritableFolderLeftover << true << held << Content::Unchanged << false << QString();
    QTest::newRow("unwritable folder, live holder")
        << Setup::UnwritableFolderLiveHolder << true << refused << Content::Unchanged << false << QString();
    QTest::newRow("read-only folder") << Setup::ReadOnlyFolder << false << unavailable << Content::Unchanged << false
                                      << QString::fromLocal8Bit(std::strerror(EROFS));
    QTest::newRow("read-only folder, leftover file")
        << Setup::ReadOnlyFolderLeftover << false << held << Content::Unchanged << false << QString();
    QTest::newRow("read-only folder, live holder")
        << Setup::ReadOnlyFolderLiveHolder << false << refused << Content::Unchanged << false << QString();
    QTest::newRow("full folder") << Setup::FullFolder << false << held << Content::Empty << true << QString();
    QTest::newRow("no inodes left") << Setup::NoInodesLeft << false << unavailable << Content::Unchanged << false
                                    << QString::fromLocal8Bit(std::strerror(ENOSPC));
}

void TestSingleInstanceLock::pathStates()
{
    QFETCH(Setup, setup);
    QFETCH(bool, unprivileged);
    QFETCH(QString, expected);
    QFETCH(Content, content);
    QFETCH(bool, removed);
    QFETCH(QString, reason);

    Scene scene;
    QVERIFY(scene.valid());
    const QString problem = prepare(setup, scene);
    if (problem.startsWith(u"skip: "))
        QSKIP(qPrintable(problem.mid(6)));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const QByteArray before = describePath(scene.path());

    Probe probe({QStringLiteral("ours"), scene.path()}, unprivileged);
    const QString answer = probe.nextLine();
    QVERIFY2(!answer.isEmpty(), "the probe did not answer in time: it blocked");
    QCOMPARE(answer.section(QLatin1Char(':'), 0, 0), expected);

    if (expected != u"held") {
        // Whatever is at the path is left as it was: a live holder's file,
        // a symbolic link's target, a FIFO nobody reads.
        QCOMPARE(describePath(scene.path()), before);
        if (!reason.isEmpty())
            QVERIFY2(answer.contains(reason), qPrintable(answer));
        QVERIFY(probe.release());
        QCOMPARE(describePath(scene.path()), before);
        return;
    }

    switch (content) {
    case Content::OurPid:
        QCOMPARE(describePath(scene.path()), "file: " + QByteArray::number(probe.pid()) + '\n');
        break;
    case Content::Unchanged:
        QCOMPARE(describePath(scene.path()), before);
        break;
    case Content::Empty:
        QCOMPARE(describePath(scene.path()), QByteArray("file: "));
        break;
    }
    // The lock it holds keeps the next copy out.
    Probe second({QStringLiteral("ours"), scene.path()}, unprivileged);
    QCOMPARE(second.nextLine(), QStringLiteral("refused"));
    QVERIFY(second.release());

    QVERIFY(probe.release());
    QCOMPARE(QFileInfo::exists(scene.path()), !removed);
    // And once it ends, the next copy takes the lock.
    Probe next({QStringLiteral("ours"), scene.path()}, unprivileged);
    QCOMPARE(next.nextLine(), QStringLiteral("held"));
    QVERIFY(next.release());
}

void TestSingleInstanceLock::twoCopiesAtOnce()
{
    // Two copies wait on one FIFO and go when it closes. Half of the rounds
    // start over a leftover file, half over a free path.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Pennaroc.lock"));
    const QString barrier = dir.filePath(QStringLiteral("barrier"));
    QVERIFY(::mkfifo(QFile::encodeName(barrier).constData(), 0600) == 0);

    for (int round = 0; round < 50; ++round) {
        if (round % 2)
            QVERIFY(writeFile(path, Garbled));
        // Opened for writing and reading: never waits, and the probes' opens
        // do not wait either.
        const int gate = ::open(QFile::encodeName(barrier).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(gate >= 0);
        Probe first({QStringLiteral("ours"), path, barrier}, false);
        Probe second({QStringLiteral("ours"), path, barrier}, false);
        const QString firstReady = first.nextLine();
        const QString secondReady = second.nextLine();
        ::close(gate);
        QCOMPARE(firstReady, QStringLiteral("ready"));
        QCOMPARE(secondReady, QStringLiteral("ready"));

        QStringList answers{first.nextLine(), second.nextLine()};
        answers.sort();
        QVERIFY2(answers == (QStringList{QStringLiteral("held"), QStringLiteral("refused")}),
                 qPrintable(QStringLiteral("round %1: %2").arg(round).arg(answers.join(QStringLiteral(", ")))));
        QVERIFY(first.release());
        QVERIFY(second.release());
        QVERIFY2(!QFileInfo::exists(path), qPrintable(QStringLiteral("round %1: the file stayed").arg(round)));
    }
}

QTEST_GUILESS_MAIN(TestSingleInstanceLock)
#include "tst_SingleInstanceLock.moc"
