// Marker rules on a large Details text: reading the marker, stripping it and
// writing a new one, against a plain scan of the same text for a character
// it does not hold. Prints the medians and their ratio.
//
// usage: bench_marker [MiB] [rounds]

#include "app/AttachmentMarker.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

qint64 median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Keeps the optimiser from dropping a result.
volatile qsizetype sink = 0;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int mib = argc > 1 ? std::max(1, atoi(argv[1])) : 1;
    const int rounds = argc > 2 ? std::max(3, atoi(argv[2])) : 51;

    // Ordinary note text with the marker near the end, as the program
    // writes it, so that the search runs through nearly the whole text; a
    // harder text in which every line holds a single bracket of each kind;
    // the same with a stray "[[" typed on its first line, so that the
    // reading looks back from the closing for the last "[["; and the worst
    // case for that look back, a stray "[[" at the top, single brackets on
    // every line and the marker's own "[[" right after it.
    const QString marker = QStringLiteral(" [[/home/user/Documents/Quotes/Quote 2026.odt]]");
    const QString path = QStringLiteral("/home/user/Documents/Quotes/Quote 2027.odt");
    const qsizetype chars = qsizetype(mib) * 1024 * 1024 / 2; // UTF-16: two bytes a character
    const QString plain = QStringLiteral("Call back in May about the quote; ask for the signed copy.\r\n");
    const QString brackets = QStringLiteral("Call back [May] about the quote [ask] for the signed copy.\r\n");
    struct Kind {
        const char *name;
        QString first; // the first line
        QString line;  // every other line
        QString last;  // the end, marker included
    };
    const Kind kinds[] = {
        {"plain notes", QString(), plain, QStringLiteral("Last words.") + marker},
        {"a bracket on every line", QString(), brackets, QStringLiteral("Last words.") + marker},
        {"a stray [[ on the first line", QStringLiteral("Price [[ to confirm\r\n"), brackets,
         QStringLiteral("Last words.") + marker},
        {"a stray [[ and the whole text inside the marker", QStringLiteral("Price [[ to confirm [[/home/"), brackets,
         QStringLiteral("x.odt]]")},
    };
    for (const Kind &kind : kinds) {
        QString text;
        text.reserve(chars);
        text += kind.first;
        while (text.size() + kind.line.size() + kind.last.size() < chars)
            text += kind.line;
        text += kind.last;

        std::vector<qint64> scan, rules;
        QElapsedTimer clock;
        for (int round = 0; round < rounds; ++round) {
            clock.start();
            sink = text.indexOf(QChar(u'\x01'));
            scan.push_back(clock.nsecsElapsed());

            clock.start();
            const app::AttachmentMarker found = app::ReadAttachment(text);
            const QString stripped = app::StripAttachment(text, found.MarkerStart, found.MarkerEnd);
            const QString written = app::ComposeAttachment(stripped, path);
            sink = written.size() + (found.hasAttachment ? 1 : 0);
            rules.push_back(clock.nsecsElapsed());
            if (!found.hasAttachment || found.path.contains(QStringLiteral("[[")) || found.path.size() < 4
                || !written.endsWith(path + QStringLiteral("]]"))) {
                std::fprintf(stderr, "bench_marker: the rules did not find the marker\n");
                return 1;
            }
        }
        const qint64 scanNs = median(scan);
        const qint64 rulesNs = median(rules);
        std::printf("%s: %lld characters (%d MiB), %d rounds\n", kind.name, static_cast<long long>(text.size()),
                    mib, rounds);
        std::printf("  plain scan (indexOf of an absent character): median %.1f us\n", scanNs / 1000.0);
        std::printf("  read + strip + write:                        median %.1f us\n", rulesNs / 1000.0);
        std::printf("  ratio: %.2fx (target 10x or less)\n", double(rulesNs) / double(std::max<qint64>(scanNs, 1)));
    }
    return 0;
}
