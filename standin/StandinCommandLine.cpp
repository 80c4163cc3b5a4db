#include "standin/StandinCommandLine.h"

#include "host/dbus/BusProtocol.h"
#include "standin/StandinDatabase.h"
#include "standin/StandinService.h"

#include "resources/ProductInfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QSocketNotifier>
#include <QStringList>

#include <csignal>
#include <limits>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace standin {

namespace protocol = host::dbus::protocol;

namespace {

const char *const Usage =
    "usage: act-standin create DB\n"
    "       act-standin add DB [TEXT]        (TEXT - reads standard input)\n"
    "       act-standin details DB ROW\n"
    "       act-standin serve [DB] [--current ROW] [--refuse-link] [--max-details N] [--read-only]\n"
    "                         [--write-delay MS] [--window]\n"
    "       act-standin select ROW\n"
    "       act-standin close\n"
    "       act-standin commands DB\n";

int usage()
{
    std::fputs(Usage, stderr);
    return 2;
}

// --help and --version: on standard output, status 0.
int helpOrVersion()
{
    QCoreApplication::setApplicationVersion(QString::fromStdU16String(product::versionText()));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A stand-in ACT! contact manager for Pennaroc: one SQLite database file of "
                       "Sales/Opportunity records, served on the D-Bus session bus by `serve`; the other commands "
                       "work on a database file, or control the stand-in that is serving.\n\n")
        + QString::fromLatin1(Usage));
    parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(version))
        parser.showVersion(); // exits with status 0
    parser.showHelp(0);
}

int refuse(const QString &message)
{
    const QByteArray line = "act-standin: " + message.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    return 1;
}

bool writeStdout(const QByteArray &bytes)
{
    if (!bytes.isEmpty() && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
        return false;
    return std::fflush(stdout) == 0;
}

// A path from the command line, decoded as the file system encodes names.
QString pathArgument(const char *arg) { return QFile::decodeName(arg); }

// A whole decimal number in the range of qint32, or nothing.
std::optional<qint64> numberArgument(const char *arg, qint64 min, qint64 max)
{
    bool ok = false;
    const qint64 value = QByteArray(arg).toLongLong(&ok, 10);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

// A text that can be stored as it is, or a refusal message.
QString textProblem(const QByteArray &bytes, const char *source)
{
    qsizetype where = 0;
    if (!isValidUtf8(bytes, &where))
        return QStringLiteral("%1 is not valid UTF-8 (byte %2); nothing was added").arg(QLatin1String(source)).arg(where);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        return QStringLiteral("%1 contains a NUL character (byte %2), which ACT! texts cannot hold; nothing was added")
            .arg(QLatin1String(source))
            .arg(nul);
    return QString();
}

int commandCreate(const QString &db)
{
    StandinDatabase::create(db);
    return 0;
}

int commandAdd(const QString &dbPath, const char *textArg)
{
    QByteArray text;
    const char *source = "the text";
    if (textArg && QByteArray(textArg) == "-") {
        source = "standard input";
        char buffer[65536];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
            text.append(buffer, qsizetype(got));
        if (std::ferror(stdin))
            return refuse(QStringLiteral("cannot read standard input; nothing was added"));
    } else if (textArg) {
        text = QByteArray(textArg);
    }
    const QString problem = textProblem(text, source);
    if (!problem.isEmpty())
        return refuse(problem);
    StandinDatabase db(dbPath);
    const qint32 row = db.addRecord(text);
    return writeStdout(QByteArray::number(row) + '\n') ? 0 : 1;
}

int commandDetails(const QString &dbPath, const char *rowArg)
{
    const std::optional<qint64> row = numberArgument(rowArg, std::numeric_limits<qint32>::min(),
                                                     std::numeric_limits<qint32>::max());
    if (!row)
        return refuse(QStringLiteral("%1 is not a row number").arg(QString::fromLocal8Bit(rowArg)));
    StandinDatabase db(dbPath);
    const std::optional<QByteArray> details = db.details(qint32(*row));
    if (!details)
        return refuse(QStringLiteral("%1: there is no record at row %2").arg(dbPath).arg(*row));
    return writeStdout(*details) ? 0 : 1;
}

int commandCommands(const QString &dbPath)
{
    StandinDatabase db(dbPath);
    QByteArray out;
    for (const AuxCommand &c : db.auxCommands()) {
        const QStringList values{c.name, c.executable, c.folder, c.caption, c.tooltip, c.icon, c.largeIcon,
                                 QString::number(c.flags)};
        out += values.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    for (const StandinDatabase::Placement &p : db.placements()) {
        out += (p.place == Place::Toolbar ? "toolbar\t" : "menu\t") + QByteArray::number(p.view) + '\t'
            + p.name.toUtf8() + '\n';
    }
    return writeStdout(out) ? 0 : 1;
}

// Sends one control call to the running stand-in.
int control(const QString &member, const QVariantList &args)
{
    // A private connection, closed before the program ends, so that nothing
    // of it is left to tear down after the application object is gone.
    const QString connectionName = QStringLiteral("act-standin-control");
    QDBusMessage reply;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
        if (!bus.isConnected()) {
            const QString why = bus.lastError().message();
            QDBusConnection::disconnectFromBus(connectionName);
            return refuse(QStringLiteral("cannot reach the session bus: %1").arg(why));
        }
        QDBusMessage call = QDBusMessage::createMethodCall(protocol::Service, protocol::ControlPath,
                                                           protocol::ControlInterface, member);
        call.setArguments(args);
        reply = bus.call(call, QDBus::Block, protocol::CallTimeoutMs);
    }
    QDBusConnection::disconnectFromBus(connectionName);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return 0;
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return refuse(QStringLiteral("no stand-in ACT! runs on the session bus"));
    return refuse(reply.errorMessage());
}

int signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

int commandServe(int argc, char **argv, const WindowMaker &makeWindow)
{
    QString dbPath;
    StandinService::Options options;
    bool haveDb = false;
    bool withWindow = false;
    bool currentGiven = false;
    for (int i = 2; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--current" && i + 1 < argc) {
            const auto row = numberArgument(argv[++i], -1, std::numeric_limits<qint32>::max());
            if (!row)
                return usage();
            options.currentRow = qint32(*row);
            currentGiven = true;
        } else if (arg == "--write-delay" && i + 1 < argc) {
            const auto ms = numberArgument(argv[++i], 0, 600000);
            if (!ms)
                return usage();
            options.writeDelayMs = int(*ms);
        } else if (arg == "--max-details" && i + 1 < argc) {
            const auto n = numberArgument(argv[++i], 0, std::numeric_limits<qint32>::max());
            if (!n)
                return usage();
            options.maxDetails = *n;
        } else if (arg == "--refuse-link") {
            options.refuseLink = true;
        } else if (arg == "--read-only") {
            options.readOnly = true;
        } else if (arg == "--window") {
            withWindow = true;
        } else if (!arg.startsWith("--") && !haveDb) {
            dbPath = pathArgument(argv[i]);
            haveDb = true;
        } else {
            return usage();
        }
    }

    if (withWindow && !makeWindow)
        return refuse(QStringLiteral("this act-standin cannot show a window"));

    std::unique_ptr<StandinDatabase> db;
    // The record made current by --current is stored only once this
    // stand-in holds the bus name: one that is refused because another runs
    // leaves the database as it found it.
    StandinDatabase *storeCurrentIn = nullptr;
    if (haveDb) {
        db = std::make_unique<StandinDatabase>(dbPath);
        if (!currentGiven) {
            // The database keeps its current record: opening it again (as
            // the desktop does after a restart) carries on where it was.
            const qint32 kept = db->currentRow();
            options.currentRow = kept != -1 && db->rowExists(kept) ? kept : -1;
        } else {
            if (options.currentRow != -1 && !db->rowExists(options.currentRow))
                return refuse(QStringLiteral("%1: there is no record at row %2").arg(dbPath).arg(options.currentRow));
            if (!options.readOnly)
                storeCurrentIn = db.get();
        }
    } else if (currentGiven && options.currentRow != -1) {
        return refuse(QStringLiteral("--current needs a database"));
    }

    // SIGTERM and SIGINT end the stand-in cleanly, through the event loop.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return refuse(QStringLiteral("cannot set up signal handling"));
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    StandinService service(std::move(db), options, QDBusConnection::sessionBus());
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &service, [&service] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        service.closeAndQuit();
    });

    QString error;
    if (!service.start(&error))
        return refuse(error);
    if (storeCurrentIn) {
        const auto held = service.lock();
        storeCurrentIn->setCurrentRow(options.currentRow);
    }
    // Made after the service and so gone before it.
    std::unique_ptr<QObject> window;
    if (withWindow)
        window = makeWindow(service);
    return QCoreApplication::exec();
}

int dispatch(int argc, char **argv, const WindowMaker &makeWindow)
{
    if (argc < 2)
        return usage();
    const QByteArray command(argv[1]);
    if (argc == 2
        && (command == "--help" || command == "-h" || command == "-?" || command == "--help-all" || command == "--version"
            || command == "-v"))
        return helpOrVersion();
    if (command == "create" && argc == 3)
        return commandCreate(pathArgument(argv[2]));
    if (command == "add" && (argc == 3 || argc == 4))
        return commandAdd(pathArgument(argv[2]), argc == 4 ? argv[3] : nullptr);
    if (command == "details" && argc == 4)
        return commandDetails(pathArgument(argv[2]), argv[3]);
    if (command == "commands" && argc == 3)
        return commandCommands(pathArgument(argv[2]));
    if (command == "serve")
        return commandServe(argc, argv, makeWindow);
    if (command == "select" && argc == 3) {
        const auto row = numberArgument(argv[2], -1, std::numeric_limits<qint32>::max());
        if (!row)
            return usage();
        return control(QStringLiteral("Select"), {QVariant::fromValue<qint32>(qint32(*row))});
    }
    if (command == "close" && argc == 2)
        return control(QStringLiteral("Close"), {});
    return usage();
}

} // namespace

bool wantsWindow(int argc, char **argv)
{
    if (argc < 2 || QByteArray(argv[1]) != "serve")
        return false;
    for (int i = 2; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--window")
            return true;
        // The value of an option is never taken for one.
        if (arg == "--current" || arg == "--max-details" || arg == "--write-delay")
            ++i;
    }
    return false;
}

int runCommandLine(int argc, char **argv, const WindowMaker &makeWindow)
{
    try {
        return dispatch(argc, argv, makeWindow);
    } catch (const DatabaseError &error) {
        return refuse(error.message());
    }
}

} // namespace standin
