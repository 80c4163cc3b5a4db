// Latency of GetField and SetField through the D-Bus client against a real
// act-standin, beside a bare bus round trip (Peer.Ping) to the same service,
// at a thousand and at a million records, and beside the same writes made
// straight into the database with no bus (Write; Set/(P+W) is SetField
// against a Ping and a Write together), and beside a Ping followed by such a
// write, each time (Ping+Write: a durable write coming at the pace at which
// bus calls bring them, which on some disks costs more than one of a run of
// writes back to back; Set/(PW) is SetField against it, the two made by
// turns); then GetField and SetField of a 10 MiB Details text,
// end to end.
//
// Run under a session bus:  dbus-run-session -- build/bin/bench_hostcalls [calls]

#include "host/dbus/BusProtocol.h"
#include "host/dbus/DBusHost.h"
#include "standin/StandinDatabase.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace protocol = host::dbus::protocol;

namespace {

struct Figures {
    double median = 0;
    double p99 = 0;
};

// Runs call `count` times; the time of each, in units of `unitNs`
// nanoseconds, shortest first.
std::vector<double> sortedTimes(int count, double unitNs, const std::function<void(int)> &call)
{
    std::vector<double> times;
    times.reserve(size_t(count));
    QElapsedTimer clock;
    for (int i = 0; i < count; ++i) {
        clock.start();
        call(i);
        times.push_back(double(clock.nsecsElapsed()) / unitNs);
    }
    std::sort(times.begin(), times.end());
    return times;
}

// The median and the 99th percentile of times sorted shortest first.
Figures figuresOf(const std::vector<double> &sorted)
{
    return {sorted[sorted.size() / 2], sorted[std::min(sorted.size() - 1, size_t(double(sorted.size()) * 0.99))]};
}

// The warm-up calls' numbers follow the measured ones', so that no measured
// call repeats one of them.
constexpr int WarmUp = 50;

// Runs call `count` times after a short warm-up; microseconds per call.
Figures measure(int count, const std::function<void(int)> &call)
{
    for (int i = count; i < count + WarmUp; ++i)
        call(i);
    return figuresOf(sortedTimes(count, 1e3, call));
}

// Runs first and second `count` times each, after a short warm-up, in
// blocks of a hundred calls by turns, so that both meet the disk in the same
// moods (its speed drifts over seconds) while each call follows one of its
// own kind, as in a run of it alone: this disk syncs a write sooner the
// sooner it follows the one before. Microseconds per call of each.
std::pair<Figures, Figures> measureByTurns(int count, const std::function<void(int)> &first,
                                           const std::function<void(int)> &second)
{
    constexpr int Block = 100;
    for (int i = count; i < count + WarmUp; ++i) {
        first(i);
        second(i);
    }
    std::vector<double> times[2];
    const std::function<void(int)> *calls[2] = {&first, &second};
    QElapsedTimer clock;
    for (int from = 0; from < count; from += Block)
        for (int which = 0; which < 2; ++which)
            for (int i = from; i < std::min(count, from + Block); ++i) {
                clock.start();
                (*calls[which])(i);
                times[which].push_back(double(clock.nsecsElapsed()) / 1e3);
            }
    for (auto &t : times)
        std::sort(t.begin(), t.end());
    return {figuresOf(times[0]), figuresOf(times[1])};
}

bool waitForService(bool present)
{
    QElapsedTimer clock;
    clock.start();
    while (QDBusConnection::sessionBus().interface()->isServiceRegistered(protocol::Service).value() != present) {
        if (clock.elapsed() > 10000)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// Serves db with the stand-in at path standin, current record 0.
bool startServing(QProcess &serve, const QString &standin, const QString &db)
{
    serve.setProcessChannelMode(QProcess::ForwardedChannels);
    serve.start(standin, {QStringLiteral("serve"), db, QStringLiteral("--current"), QStringLiteral("0")});
    if (serve.waitForStarted() && waitForService(true))
        return true;
    std::fprintf(stderr, "bench_hostcalls: act-standin did not start\n");
    return false;
}

// The Sales/Opportunity list of the open database, reached as the program
// reaches it.
std::shared_ptr<host::SalesList> salesListOf(host::dbus::DBusHostFactory &host)
{
    auto app = host.createAppObject();
    app->OpenFile({});
    return app->Views()->Create(1, u"CV")->Sales();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(100, QByteArray(argv[1]).toInt()) : 5000;
    const QString standin = QCoreApplication::applicationDirPath() + QStringLiteral("/act-standin");
    if (!QDBusConnection::sessionBus().isConnected()) {
        std::fprintf(stderr, "bench_hostcalls: no session bus (run it under dbus-run-session)\n");
        return 1;
    }
    if (!waitForService(false)) {
        std::fprintf(stderr, "bench_hostcalls: another stand-in already runs on this bus\n");
        return 1;
    }

    std::printf("%d calls each; microseconds per call\n", calls);
    std::printf("%-10s %-10s %10s %10s\n", "records", "call", "median", "p99");
    for (const qint64 records : {qint64(1000), qint64(1000000)}) {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("bench.db"));
        QElapsedTimer build;
        build.start();
        standin::StandinDatabase::create(db);
        {
            standin::StandinDatabase filler(db);
            filler.addRecords(records, "Call back in May [[/home/user/Documents/offer 2026.pdf]]");
        }
        std::fprintf(stderr, "built %lld records in %lld ms\n", records, build.elapsed());
        // The writes made in this process go to a copy: two connections
        // writing one database by turns would each find the other's change
        // and drop their caches, which neither does alone.
        const QString copy = dir.filePath(QStringLiteral("direct.db"));
        if (!QFile::copy(db, copy)) {
            std::fprintf(stderr, "bench_hostcalls: cannot copy the database\n");
            return 1;
        }

        QProcess serve;
        if (!startServing(serve, standin, db))
            return 1;
        host::dbus::DBusHostFactory host;
        const auto sales = salesListOf(host);
        QRandomGenerator random(42);
        std::vector<qint32> rows(size_t(calls) + WarmUp);
        for (qint32 &r : rows)
            r = qint32(random.bounded(records));

        QDBusMessage ping = QDBusMessage::createMethodCall(protocol::Service, protocol::SalesPath,
                                                          QStringLiteral("org.freedesktop.DBus.Peer"),
                                                          QStringLiteral("Ping"));
        const auto pingOnce = [](const QDBusMessage &message) {
            const QDBusMessage reply =
                QDBusConnection::sessionBus().call(message, QDBus::Block, protocol::CallTimeoutMs);
            if (reply.type() != QDBusMessage::ReplyMessage)
                throw host::Failure(462, host::dbus::toU16(reply.errorMessage()));
        };
        const Figures p = measure(calls, [&](int) { pingOnce(ping); });
        const Figures g = measure(calls, [&](int i) {
            qint32 row = rows[size_t(i)];
            sales->GetField(host::DetailsField, row);
        });
        // Each run writes texts of its own: a text that is already there
        // costs the stand-in no write.
        const auto setField = [&](int i, const char *month) {
            qint32 row = rows[size_t(i)];
            std::u16string text =
                host::dbus::toU16(QStringLiteral("Call back in %1 [[/home/user/Documents/offer %2.pdf]]")
                                      .arg(QLatin1String(month))
                                      .arg(i));
            if (sales->SetField(host::DetailsField, row, text) != 0)
                throw host::Failure(440, u"SetField refused");
        };
        const Figures s = measure(calls, [&](int i) { setField(i, "June"); });
        // The yardstick for what SetField costs beyond its round trip and its
        // write: a Ping to the same stand-in, then the same write made in this
        // process (into the copy), committed and on the disk, each time; by turns with
        // SetField, since this disk's speed drifts from second to second.
        standin::StandinDatabase direct(copy);
        const auto write = [&](int i, const char *month) {
            const QByteArray text = QStringLiteral("Call back in %1 [[/home/user/Documents/offer %2.pdf]]")
                                        .arg(QLatin1String(month))
                                        .arg(i)
                                        .toUtf8();
            if (!direct.setDetails(rows[size_t(i)], text))
                throw host::Failure(440, u"the write found no record");
        };
        const auto [sTurns, pw] = measureByTurns(calls, [&](int i) { setField(i, "September"); }, [&](int i) {
            pingOnce(ping);
            write(i, "August");
        });
        std::printf("%-10lld %-10s %10.1f %10.1f\n", records, "Ping", p.median, p.p99);
        std::printf("%-10lld %-10s %10.1f %10.1f\n", records, "GetField", g.median, g.p99);
        std::printf("%-10lld %-10s %10.1f %10.1f\n", records, "SetField", s.median, s.p99);
        std::printf("%-10lld %-10s %9.1fx %9.1fx\n", records, "Get/Ping", g.median / p.median, g.p99 / p.p99);
        std::printf("%-10lld %-10s %9.1fx %9.1fx\n", records, "Set/Ping", s.median / p.median, s.p99 / p.p99);
        std::fflush(stdout);

        serve.terminate();
        serve.waitForFinished(10000);
        waitForService(false);

        // The yardstick for SetField's own work: the same writes, straight
        // into the database in this process, each one committed and on the
        // disk (as the stand-in commits it), with no bus in between.
        const Figures w = measure(calls, [&](int i) { write(i, "July"); });
        std::printf("%-10lld %-10s %10.1f %10.1f\n", records, "Write", w.median, w.p99);
        std::printf("%-10lld %-10s %9.1fx %9.1fx\n", records, "Set/(P+W)", s.median / (p.median + w.median),
                    s.p99 / (p.p99 + w.p99));
        std::printf("%-10lld %-10s %10.1f %10.1f\n", records, "Ping+Write", pw.median, pw.p99);
        std::printf("%-10lld %-10s %9.1fx %9.1fx\n", records, "Set/(PW)", sTurns.median / pw.median,
                    sTurns.p99 / pw.p99);
        std::fflush(stdout);
    }

    // A big text: one record whose Details hold 10 MiB (ASCII, so as many
    // characters as bytes, with a line break every 100 characters).
    {
        constexpr qsizetype BigBytes = 10 * 1024 * 1024;
        constexpr int BigCalls = 15;
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("big.db"));
        QByteArray big;
        big.reserve(BigBytes);
        while (big.size() < BigBytes)
            big += QByteArray(99, 'x') + '\n';
        big.truncate(BigBytes);
        standin::StandinDatabase::create(db);
        {
            standin::StandinDatabase filler(db);
            filler.addRecord(big);
        }
        QProcess serve;
        if (!startServing(serve, standin, db))
            return 1;
        host::dbus::DBusHostFactory host;
        const auto sales = salesListOf(host);
        const std::u16string bigText(big.cbegin(), big.cend()); // ASCII: one unit per byte
        const auto many = [&](const std::function<void(int)> &call) {
            const std::vector<double> ms = sortedTimes(BigCalls, 1e6, call);
            return Figures{ms[ms.size() / 2], ms.back()};
        };
        const Figures g = many([&](int) {
            qint32 row = 0;
            if (sales->GetField(host::DetailsField, row).size() != bigText.size())
                throw host::Failure(440, u"GetField lost part of the text");
        });
        const Figures s = many([&](int i) {
            qint32 row = 0;
            std::u16string text = bigText;
            text[0] = char16_t(u'a' + i % 26);
            if (sales->SetField(host::DetailsField, row, text) != 0)
                throw host::Failure(440, u"SetField refused");
        });
        std::printf("\n%d calls each of a 10 MiB text; milliseconds per call\n", BigCalls);
        std::printf("%-10s %-10s %10s %10s\n", "text", "call", "median", "max");
        std::printf("%-10s %-10s %10.1f %10.1f\n", "10 MiB", "GetField", g.median, g.p99);
        std::printf("%-10s %-10s %10.1f %10.1f\n", "10 MiB", "SetField", s.median, s.p99);
        std::fflush(stdout);
        serve.terminate();
        serve.waitForFinished(10000);
        waitForService(false);
    }
    return 0;
}
