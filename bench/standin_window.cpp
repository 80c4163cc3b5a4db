// The stand-in's own window on a thousand and on a million records: the time
// from the start of the process to the window shown with its first rows
// painted; scrolling (page down again and again, the scroll bar dragged to
// far places, a jump to the end and back), each step measured up to its
// rows painted, with the longest one as the worst stall; how long a change
// of the current record by the service takes to show; and the peak and
// resident memory.
//
// Each size runs in a fresh process of its own (this program starts itself
// again), so that its memory figures are its own. The window is shown on the
// offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
// usage: bench_standin_window [runs]        (medians of runs, 3 by default)

#include "platform/qt/QtPlatformServices.h"
#include "standin/StandinDatabase.h"
#include "standin/StandinService.h"
#include "standin/StandinWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const char MeasureOption[] = "--measure-one";
const QByteArray Details = "Call back in May about the quote [[/home/user/Documents/offer 2026.pdf]]";

constexpr int MaxPageDowns = 1000;
constexpr int ScrollBarJumps = 200;

double ms(qint64 ns) { return double(ns) / 1e6; }

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Kibibytes of a "VmHWM:" or "VmRSS:" line of /proc/self/status.
double statusMiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

void fail(const char *what)
{
    std::fprintf(stderr, "bench_standin_window: %s\n", what);
    std::fflush(stderr);
    std::_Exit(1);
}

// One size, in this process: prints one line of name=value figures.
int measureOne(QElapsedTimer &sinceStart, int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString path = args.value(2);
    const qint64 records = args.value(3).toLongLong();

    // Read-only, on no bus: a change of the current record then costs the
    // window's part only, without a write to the disk.
    standin::StandinService::Options options;
    options.currentRow = 0;
    options.readOnly = true;
    standin::StandinService service(std::make_unique<standin::StandinDatabase>(path), options,
                                    QDBusConnection(QString()));
    platform::QtPlatformServices platform;
    QMap<QByteArray, double> figures;

    auto window = std::make_unique<standin::StandinWindow>(service, platform);
    figures.insert("built", ms(sinceStart.nsecsElapsed()));
    auto *view = window->findChild<QAbstractItemView *>(QStringLiteral("records"));
    if (!view)
        fail("the window has no record list");
    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);
    window->show();
    QElapsedTimer limit;
    limit.start();
    while (counter.paints == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (limit.elapsed() > 120000)
            fail("the record list was never painted");
    }
    figures.insert("painted", ms(sinceStart.nsecsElapsed()));

    QAbstractItemModel *model = view->model();
    if (model->rowCount() != records
        || model->index(0, 1).data().toString() != standin::StandinWindow::detailsLine(QString::fromUtf8(Details)))
        fail("the window does not show the records");

    // One step: the input, then everything it leads to, painted at once.
    QElapsedTimer clock;
    const auto step = [&](const auto &input) {
        clock.start();
        input();
        QCoreApplication::processEvents();
        view->viewport()->repaint();
        return ms(clock.nsecsElapsed());
    };
    const auto key = [view](int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, code, modifiers);
        QCoreApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, code, modifiers);
        QCoreApplication::sendEvent(view, &release);
    };
    const auto currentRecord = [view] { return view->currentIndex().siblingAtColumn(0).data().toLongLong(); };

    view->setFocus();
    std::vector<double> pageDowns;
    for (int i = 0; i < MaxPageDowns && currentRecord() < records - 1; ++i)
        pageDowns.push_back(step([&] { key(Qt::Key_PageDown); }));
    figures.insert("pagedown_median", median(pageDowns));
    figures.insert("pagedown_longest", *std::max_element(pageDowns.begin(), pageDowns.end()));
    figures.insert("pagedowns", double(pageDowns.size()));

    QScrollBar *bar = view->verticalScrollBar();
    QRandomGenerator random(42);
    std::vector<double> jumps;
    for (int i = 0; i < ScrollBarJumps; ++i) {
        const int to = bar->minimum() + int(random.bounded(qint64(bar->maximum()) - bar->minimum() + 1));
        jumps.push_back(step([&] { bar->setValue(to); }));
    }
    figures.insert("bar_median", median(jumps));
    figures.insert("bar_longest", *std::max_element(jumps.begin(), jumps.end()));

    figures.insert("end", step([&] { key(Qt::Key_End, Qt::ControlModifier); }));
    if (currentRecord() != records - 1)
        fail("Ctrl+End did not reach the last record");
    figures.insert("home", step([&] { key(Qt::Key_Home, Qt::ControlModifier); }));
    if (currentRecord() != 0)
        fail("Ctrl+Home did not reach the first record");

    const qint32 middle = qint32(records / 2);
    figures.insert("stall", std::max({figures.value("pagedown_longest"), figures.value("bar_longest"),
                                      figures.value("end"), figures.value("home")}));

    figures.insert("select", step([&] { service.select(middle); }));
    if (currentRecord() != middle || service.currentRow() != middle)
        fail("the record made current by the service is not shown as current");

    figures.insert("peak", statusMiB("VmHWM:"));
    figures.insert("resident", statusMiB("VmRSS:"));

    QByteArray line;
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        line += it.key() + '=' + QByteArray::number(it.value(), 'f', 3) + ' ';
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
    window.reset();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (argc > 1 && qstrcmp(argv[1], MeasureOption) == 0)
        return measureOne(sinceStart, argc, argv);

    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QTemporaryDir runtime;
    if (!env.contains(QStringLiteral("XDG_RUNTIME_DIR"))) {
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    }

    const std::vector<qint64> sizes{1000, 1000000};
    std::vector<QMap<QByteArray, double>> results;
    for (const qint64 records : sizes) {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("bench.db"));
        QElapsedTimer build;
        build.start();
        standin::StandinDatabase::create(db);
        standin::StandinDatabase(db).addRecords(records, Details);
        std::fprintf(stderr, "built %lld records in %lld ms\n", static_cast<long long>(records),
                     static_cast<long long>(build.elapsed()));

        QMap<QByteArray, std::vector<double>> all;
        for (int run = 0; run < runs; ++run) {
            QProcess one;
            one.setProcessEnvironment(env);
            one.start(QCoreApplication::applicationFilePath(),
                      {QString::fromLatin1(MeasureOption), db, QString::number(records)});
            const bool finished = one.waitForFinished(600000);
            // The offscreen platform's one remark on every window is noise.
            for (const QByteArray &line : one.readAllStandardError().split('\n')) {
                if (!line.isEmpty() && line != "This plugin does not support propagateSizeHints()")
                    std::fprintf(stderr, "%s\n", line.constData());
            }
            if (!finished || one.exitStatus() != QProcess::NormalExit || one.exitCode() != 0) {
                std::fprintf(stderr, "bench_standin_window: the measuring run failed\n");
                return 1;
            }
            for (const QByteArray &pair : one.readAllStandardOutput().trimmed().split(' ')) {
                const qsizetype eq = pair.indexOf('=');
                if (eq > 0)
                    all[pair.left(eq)].push_back(pair.mid(eq + 1).toDouble());
            }
        }
        QMap<QByteArray, double> medians;
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            medians.insert(it.key(), median(it.value()));
        results.push_back(medians);
    }

    const QMap<QByteArray, double> &small = results.at(0);
    const QMap<QByteArray, double> &big = results.at(1);
    std::printf("the stand-in's window, median of %d runs, each in a fresh process\n", runs);
    std::printf("%-44s %15s %14s %9s\n", "", "1000 records", "1000000 rec.", "1M / 1k");
    const auto row = [&](const char *label, const char *key, const char *unit) {
        const double a = small.value(key);
        const double b = big.value(key);
        std::printf("%-44s %11.2f %-3s %10.2f %-3s %8.2fx\n", label, a, unit, b, unit, a > 0 ? b / a : 0.0);
    };
    row("start to window built", "built", "ms");
    row("start to window shown, first rows painted", "painted", "ms");
    std::printf("page down (%.0f and %.0f steps):\n", small.value("pagedowns"), big.value("pagedowns"));
    row("  median step", "pagedown_median", "ms");
    row("  longest step", "pagedown_longest", "ms");
    std::printf("scroll bar to %d random places:\n", ScrollBarJumps);
    row("  median step", "bar_median", "ms");
    row("  longest step", "bar_longest", "ms");
    row("Ctrl+End to the last record", "end", "ms");
    row("Ctrl+Home back to the first", "home", "ms");
    row("longest stall while scrolling", "stall", "ms");
    row("current record set by the service, shown", "select", "ms");
    row("peak resident memory", "peak", "MiB");
    row("resident memory at the end", "resident", "MiB");
    std::fflush(stdout);
    return 0;
}
