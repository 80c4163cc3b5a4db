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
    // writes it, so that the search runs through nearly the whole text; and
    // a harder text in which every line holds a single bracket of each kind.
    const QString marker = QStringLiteral(" [[/home/user/Documents/Quotes/Quote 2026.odt]]");
    const QString path = QStringLiteral("/home/user/Documents/Quotes/Quote 2027.odt");
    const qsizetype chars = qsizetype(mib) * 1024 * 1024 / 2; // UTF-16: two bytes a character
    const QString lines[] = {QStringLiteral("Call back in May about the quote; ask for the signed copy.\r\n"),
                             QStringLiteral("Call back [May] about the quote [ask] for the signed copy.\r\n")};
    const char *const names[] = {"plain notes", "a bracket on every line"};
    for (int kind = 0; kind < 2; ++kind) {
        QString text;
        text.reserve(chars);
        while (text.size() + lines[kind].size() + marker.size() < chars)
            text += lines[kind];
        text += QStringLiteral("Last words.") + marker;

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
            if (!found.hasAttachment || !written.endsWith(path + QStringLiteral("]]"))) {
                std::fprintf(stderr, "bench_marker: the rules did not find the marker\n");
                return 1;
            }
        }
        const qint64 scanNs = median(scan);
        const qint64 rulesNs = median(rules);
        std::printf("%s: %lld characters (%d MiB), %d rounds\n", names[kind], static_cast<long long>(text.size()),
                    mib, rounds);
        std::printf("  plain scan (indexOf of an absent character): median %.1f us\n", scanNs / 1000.0);
        std::printf("  read + strip + write:                        median %.1f us\n", rulesNs / 1000.0);
        std::printf("  ratio: %.2fx (target 10x or less)\n", double(rulesNs) / double(std::max<qint64>(scanNs, 1)));
    }
    return 0;
}
