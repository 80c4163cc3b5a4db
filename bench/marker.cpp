// Marker rules on a large Details text: reading the marker, stripping it and
// writing a new one, against a plain scan of the same text for the marker's
// "[[" and the "]]" after it. Prints the medians and their ratio.
//
// usage: bench_marker [MiB] [rounds]

#include "app/AttachmentMarker.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::int64_t median(std::vector<std::int64_t> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Keeps the optimiser from dropping a result.
volatile std::size_t sink = 0;

using Clock = std::chrono::steady_clock;

std::int64_t nanosecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char *argv[])
{
    const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const int rounds = argc > 2 ? std::max(3, std::atoi(argv[2])) : 51;

    // Ordinary note text with the marker near the end, as the program
    // writes it, so that the search runs through nearly the whole text; a
    // harder text in which every line holds a single bracket of each kind;
    // the same with a stray "[[" typed on its first line, so that the
    // reading looks back from the closing for the last "[["; and the worst
    // case for that look back, a stray "[[" at the top, single brackets on
    // every line and the marker's own "[[" right after it.
    const std::u16string marker = u" [[/home/user/Documents/Quotes/Quote 2026.odt]]";
    const std::u16string path = u"/home/user/Documents/Quotes/Quote 2027.odt";
    const std::size_t chars = std::size_t(mib) * 1024 * 1024 / 2; // UTF-16: two bytes a character
    const std::u16string plain = u"Call back in May about the quote; ask for the signed copy.\r\n";
    const std::u16string brackets = u"Call back [May] about the quote [ask] for the signed copy.\r\n";
    struct Kind {
        const char *name;
        std::u16string first; // the first line
        std::u16string line;  // every other line
        std::u16string last;  // the end, marker included
    };
    const Kind kinds[] = {
        {"plain notes", u"", plain, u"Last words." + marker},
        {"a bracket on every line", u"", brackets, u"Last words." + marker},
        {"a stray [[ on the first line", u"Price [[ to confirm\r\n", brackets, u"Last words." + marker},
        {"a stray [[ and the whole text inside the marker", u"Price [[ to confirm [[/home/", brackets,
         u"x.odt]]"},
    };
    for (const Kind &kind : kinds) {
        std::u16string text;
        text.reserve(chars);
        text += kind.first;
        while (text.size() + kind.line.size() + kind.last.size() < chars)
            text += kind.line;
        text += kind.last;
        const std::u16string_view view(text);

        std::vector<std::int64_t> scan, rules;
        for (int round = 0; round < rounds; ++round) {
            Clock::time_point start = Clock::now();
            const std::size_t opening = view.find(u"[[");
            sink = opening + view.find(u"]]", opening == std::u16string_view::npos ? 0 : opening + 2);
            scan.push_back(nanosecondsSince(start));

            start = Clock::now();
            const app::AttachmentMarker found = app::ReadAttachment(text);
            const std::u16string stripped = app::StripAttachment(text, found.MarkerStart, found.MarkerEnd);
            const std::u16string written = app::ComposeAttachment(stripped, path);
            sink = written.size() + (found.hasAttachment ? 1 : 0);
            rules.push_back(nanosecondsSince(start));
            const std::u16string ending = path + u"]]";
            if (!found.hasAttachment || found.path.find(u"[[") != std::u16string::npos || found.path.size() < 4
                || written.size() < ending.size()
                || written.compare(written.size() - ending.size(), ending.size(), ending) != 0) {
                std::fprintf(stderr, "bench_marker: the rules did not find the marker\n");
                return 1;
            }
        }
        const std::int64_t scanNs = median(scan);
        const std::int64_t rulesNs = median(rules);
        std::printf("%s: %llu characters (%d MiB), %d rounds\n", kind.name,
                    static_cast<unsigned long long>(text.size()), mib, rounds);
        std::printf("  plain scan (find of \"[[\", then \"]]\"): median %.1f us\n", double(scanNs) / 1000.0);
        std::printf("  read + strip + write:                 median %.1f us\n", double(rulesNs) / 1000.0);
        std::printf("  ratio: %.2fx (target 10x or less)\n",
                    double(rulesNs) / double(std::max<std::int64_t>(scanNs, 1)));
    }
    return 0;
}
