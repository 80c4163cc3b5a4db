#include "app/AttachmentMarker.h"

#include <QtTest>

using app::ComposeAttachment;
using app::ReadAttachment;
using app::StripAttachment;

class TestAttachmentMarker : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void positions_data();
    void positions();
    void stripIgnoresPositionsThatAreNoMarker_data();
    void stripIgnoresPositionsThatAreNoMarker();
    void pathFitsMarker_data();
    void pathFitsMarker();
    void trimSpacesOnlyTrimsSpaces_data();
    void trimSpacesOnlyTrimsSpaces();
};

namespace {
const QString Chosen = QStringLiteral("C:\\Docs\\Quote.doc");
}

// Each row: a field text, what reading it finds, what stripping leaves and
// what writing the chosen file gives.
void TestAttachmentMarker::roundTrip_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("has");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stripped");
    QTest::addColumn<QString>("after");

    // The format's example table.
    QTest::newRow("empty") << "" << false << "" << "" << " [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("plain text") << "Call back in May" << false << "" << "Call back in May"
                                << "Call back in May [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("marker at the end") << "Call back in May [[C:\\Old.txt]]" << true << "C:\\Old.txt"
                                       << "Call back in May" << "Call back in May [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("marker at the start") << "[[C:\\Old.txt]] Call back" << true << "C:\\Old.txt" << "Call back"
                                         << "Call back [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("two markers, only the first counts")
        << "a [[x]] b [[y]]" << true << "x" << "a  b [[y]]" << "a  b [[y]] [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("no closing marker") << "note [[C:\\Old.txt" << false << "" << "note [[C:\\Old.txt"
                                       << "note [[C:\\Old.txt [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("empty path is an attachment") << "[[]]" << true << "" << "" << " [[C:\\Docs\\Quote.doc]]";

    // The edge cases.
    QTest::newRow("marker between words keeps both spaces")
        << "before [[p]] after" << true << "p" << "before  after" << "before  after [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("only spaces: no attachment, spaces kept") << "   " << false << "" << "   "
                                                             << "    [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("closing marker alone is text") << "a ]] b" << false << "" << "a ]] b"
                                                  << "a ]] b [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("closing before opening is text") << "]] x [[" << false << "" << "]] x [["
                                                    << "]] x [[ [[C:\\Docs\\Quote.doc]]";
    // A "[[" that the user typed stays the user's text: the marker opens at
    // the last "[[" before its closing.
    QTest::newRow("stray opening before a marker stays text")
        << "see [[ typo then [[C:\\a.txt]]" << true << "C:\\a.txt" << "see [[ typo then"
        << "see [[ typo then [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("stray opening, marker between words")
        << "Price [[ to confirm with the client [[/x/real.txt]] end" << true << "/x/real.txt"
        << "Price [[ to confirm with the client  end"
        << "Price [[ to confirm with the client  end [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("several stray openings") << "a [[ b [[ c [[p]]" << true << "p" << "a [[ b [[ c"
                                            << "a [[ b [[ c [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("stray opening touching a word") << "[[a[[b]]" << true << "b" << "[[a"
                                                   << "[[a [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("stray run of three, then a marker") << "x [[[ y [[p]]" << true << "p" << "x [[[ y"
                                                       << "x [[[ y [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("stray opening, then a path beginning with [")
        << "x [[ y [[[p]]" << true << "[p" << "x [[ y" << "x [[ y [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("a lone [ between the markers is path")
        << "x [[ y [[a[b]]" << true << "a[b" << "x [[ y" << "x [[ y [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("stray opening after the marker is text")
        << "x [[p]] y [[ z" << true << "p" << "x  y [[ z" << "x  y [[ z [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("path holding ]] is cut at it") << "x [[C:\\a]]b.txt]]" << true << "C:\\a" << "x b.txt]]"
                                                   << "x b.txt]] [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("path ending in ] loses it to the closing marker")
        << "x [[/tmp/a]]]" << true << "/tmp/a" << "x ]" << "x ] [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("text after the marker moves before the new one")
        << "[[C:\\Old.txt]] typed later" << true << "C:\\Old.txt" << "typed later"
        << "typed later [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("path keeps its own spaces") << "x [[ /tmp/a b ]]" << true << " /tmp/a b " << "x"
                                               << "x [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("only spaces are trimmed, not tabs or line breaks")
        << "\t note\r\n [[p]] \t" << true << "p" << "\t note\r\n  \t" << "\t note\r\n  \t [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("triple bracket opens at the first two") << "[[[p]]" << true << "[p" << ""
                                                            << " [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("closing marker overlaps the opening one") << "[[]" << false << "" << "[[]"
                                                             << "[[] [[C:\\Docs\\Quote.doc]]";
    QTest::newRow("characters beyond the basic plane")
        << QStringLiteral("n\u00e9 \U0001F600 [[/home/\u00e9\U0001F4CE.txt]]") << true
        << QStringLiteral("/home/\u00e9\U0001F4CE.txt") << QStringLiteral("n\u00e9 \U0001F600")
        << QStringLiteral("n\u00e9 \U0001F600 [[C:\\Docs\\Quote.doc]]");
}

void TestAttachmentMarker::roundTrip()
{
    QFETCH(QString, before);
    QFETCH(bool, has);
    QFETCH(QString, path);
    QFETCH(QString, stripped);
    QFETCH(QString, after);

    const app::AttachmentMarker marker = ReadAttachment(before);
    QCOMPARE(marker.hasAttachment, has);
    QCOMPARE(marker.path, path);
    const QString strippedText = StripAttachment(before, marker.MarkerStart, marker.MarkerEnd);
    QCOMPARE(strippedText, stripped);
    QCOMPARE(ComposeAttachment(strippedText, Chosen), after);
}

// The positions themselves, as the main window keeps them.
void TestAttachmentMarker::positions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    QTest::newRow("empty text, nothing computed") << "" << 0 << 0;
    QTest::newRow("spaces around a closing marker are not blank") << "  ]] " << 0 << 3;
    QTest::newRow("blank") << "    " << 0 << 0;
    QTest::newRow("marker at the start") << "[[a]]" << 1 << 4;
    QTest::newRow("marker after text") << "ab [[c]]" << 4 << 7;
    QTest::newRow("empty path") << "[[]]" << 1 << 3;
    QTest::newRow("closing marker without opening one") << "x ]]" << 0 << 3;
    QTest::newRow("opening marker without closing one") << "x [[y" << 3 << 0;
    QTest::newRow("closing found only after the opening") << "]] [[a]]" << 4 << 7;
    QTest::newRow("supplementary characters count as two") << QStringLiteral("\U0001F600[[a]]") << 3 << 6;
    QTest::newRow("stray opening: the last one before the closing") << "x [[ y [[z]]" << 8 << 11;
    QTest::newRow("run of three opens at its first two") << "x [[ [[[z]]" << 6 << 10;
    QTest::newRow("stray opening without any closing") << "x [[ y [[z" << 3 << 0;
}

void TestAttachmentMarker::positions()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, end);
    const app::AttachmentMarker marker = ReadAttachment(text);
    QCOMPARE(marker.MarkerStart, start);
    QCOMPARE(marker.MarkerEnd, end);
    QCOMPARE(marker.hasAttachment, start > 0 && end > 0);
}

void TestAttachmentMarker::stripIgnoresPositionsThatAreNoMarker_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    const QString text = QStringLiteral("  a [[b]] c  ");
    QTest::newRow("no opening marker") << 0 << 8;
    QTest::newRow("no closing marker") << 5 << 0;
    QTest::newRow("closing not after opening + 1") << 5 << 6;
    QTest::newRow("closing before opening") << 5 << 2;
    QTest::newRow("negative positions") << -3 << -1;
    QTest::newRow("opening past the end") << 40 << 50;
}

void TestAttachmentMarker::stripIgnoresPositionsThatAreNoMarker()
{
    QFETCH(int, start);
    QFETCH(int, end);
    const QString text = QStringLiteral("  a [[b]] c  ");
    QCOMPARE(StripAttachment(text, start, end), text);
    // With the real positions the same text is stripped and trimmed.
    QCOMPARE(StripAttachment(text, 5, 8), QStringLiteral("a  c"));
}

// Which chosen paths can be written so that they read back whole.
void TestAttachmentMarker::pathFitsMarker_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("fits");
    QTest::newRow("plain") << "/home/u/Quote.odt" << true;
    QTest::newRow("a lone bracket of each kind") << "/home/u/a[1]b.txt" << true;
    QTest::newRow("begins with [") << "[draft] quote.txt" << true;
    QTest::newRow("ends with [") << "/home/u/a[" << true;
    QTest::newRow("] at the start") << "]x" << true;
    QTest::newRow("spaces, line breaks and marks")
        << QStringLiteral(" /home/u/n\u00e9e\r\nz \U0001F4CE \"q\" ") << true;
    QTest::newRow("holds ]]") << "/home/u/report]]final.txt" << false;
    QTest::newRow("holds [[") << "/home/u/[[old/a.txt" << false;
    QTest::newRow("holds [[[") << "/home/u/a[[[b.txt" << false;
    QTest::newRow("ends with ]") << "/home/u/scan[2]" << false;
    QTest::newRow("ends with ]]") << "/home/u/scan[[2]]" << false;
}

void TestAttachmentMarker::pathFitsMarker()
{
    QFETCH(QString, path);
    QFETCH(bool, fits);
    QCOMPARE(app::PathFitsMarker(path), fits);
    // Whatever the user's text before it, a fitting path reads back whole.
    for (const QString &before : {QString(), QStringLiteral("Price [[ to confirm"), QStringLiteral("a ]] b [[ c")}) {
        const app::AttachmentMarker marker = ReadAttachment(ComposeAttachment(before, path));
        QCOMPARE(marker.hasAttachment, true);
        QCOMPARE(marker.path == path, fits);
    }
}

void TestAttachmentMarker::trimSpacesOnlyTrimsSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("spaces") << "   " << "";
    QTest::newRow("both ends") << "  a b  " << "a b";
    QTest::newRow("tab stays") << "\ta\t" << "\ta\t";
    QTest::newRow("line breaks stay") << " \r\na\n " << "\r\na\n";
    QTest::newRow("no-break space stays") << QStringLiteral("\u00a0a ") << QStringLiteral("\u00a0a");
}

void TestAttachmentMarker::trimSpacesOnlyTrimsSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(app::trimSpaces(text), trimmed);
}

QTEST_APPLESS_MAIN(TestAttachmentMarker)
#include "tst_AttachmentMarker.moc"
