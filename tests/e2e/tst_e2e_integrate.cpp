#include "tests/e2e/DesktopSession.h"

#include <QElapsedTimer>
#include <QUrl>
#include <QtTest>

// The integration dialog of the real program against the real stand-in:
// registering and placing the command, and the ACT! restart.
class TestE2eIntegrate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void placeRemoveReopenAndRestart();

private:
    // Opens Options > Integrate with ACT!... and returns the dialog's id.
    QString openIntegrateDialog();
    // The placement lines of `act-standin commands`.
    QStringList placements();
    QStringList registrations();

    std::unique_ptr<e2e::DesktopSession> session;
    QString mainWindow;
};

// chkScreen(0), the Contacts toolbar box: frame at (315, 240) twips, the
// box at (210, 345) inside it, 255 x 255; its middle in pixels.
static constexpr int ContactsToolbarX = (315 + 210 + 127) / 15;
static constexpr int ContactsToolbarY = (240 + 345 + 127) / 15;

void TestE2eIntegrate::init()
{
    session = std::make_unique<e2e::DesktopSession>();
    if (!session->problem().isEmpty())
        QSKIP(qPrintable(session->problem()));
    QVERIFY(session->createDatabase({QStringLiteral("Call back in May")}));
    QVERIFY(session->startStandin({QStringLiteral("--current"), QStringLiteral("0")}));
    session->startPennaroc();
    mainWindow = session->waitForWindow(QStringLiteral("^Pennaroc$"));
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");
}

void TestE2eIntegrate::cleanup()
{
    session.reset();
}

QString TestE2eIntegrate::openIntegrateDialog()
{
    // Alt alone moves to the menu bar, whose first menu is Options; its
    // items: the location dialog, a separator, the integration dialog.
    if (!session->keys(mainWindow, {QStringLiteral("alt"), QStringLiteral("Down"), QStringLiteral("Down"),
                                    QStringLiteral("Return")}))
        return {};
    return session->waitForWindow(QStringLiteral("^Integrate with ACT!$"));
}

QStringList TestE2eIntegrate::placements()
{
    const QString out =
        QString::fromUtf8(session->standin({QStringLiteral("commands"), session->databasePath()}));
    QStringList lines;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QStringLiteral("toolbar\t")) || line.startsWith(QStringLiteral("menu\t")))
            lines << line;
    }
    return lines;
}

QStringList TestE2eIntegrate::registrations()
{
    const QString out =
        QString::fromUtf8(session->standin({QStringLiteral("commands"), session->databasePath()}));
    QStringList lines;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QStringLiteral("toolbar\t")) && !line.startsWith(QStringLiteral("menu\t")))
            lines << line;
    }
    return lines;
}

void TestE2eIntegrate::placeRemoveReopenAndRestart()
{
    // Checking the Contacts toolbar box registers the command and places it.
    QString dialog = openIntegrateDialog();
    QVERIFY2(!dialog.isEmpty(), "the integration dialog did not appear");
    QVERIFY(session->click(dialog, ContactsToolbarX, ContactsToolbarY));
    QTRY_COMPARE_WITH_TIMEOUT(placements(), QStringList{QStringLiteral("toolbar\t1\tPennaroc")}, 10000);
    const QString bin = session->binDir();
    const QStringList values{QStringLiteral("Pennaroc"),
                             bin + QStringLiteral("/Pennaroc"),
                             bin,
                             QStringLiteral("Pennaroc"),
                             QStringLiteral("Click to launch Pennaroc"),
                             bin + QStringLiteral("/Pennaroc.ico"),
                             bin + QStringLiteral("/Pennaroc32.ico"),
                             QStringLiteral("1")};
    QCOMPARE(registrations(), QStringList{values.join(QLatin1Char('\t'))});
    // The registration names files that exist.
    for (int i : {1, 2, 5, 6})
        QVERIFY2(QFileInfo::exists(values[i]), qPrintable(values[i]));

    // Unchecking removes it.
    QVERIFY(session->click(dialog, ContactsToolbarX, ContactsToolbarY));
    QTRY_COMPARE_WITH_TIMEOUT(placements(), QStringList{}, 10000);
    // Check it again, then leave with Cancel: nothing is asked, the change stays.
    QVERIFY(session->click(dialog, ContactsToolbarX, ContactsToolbarY));
    QTRY_COMPARE_WITH_TIMEOUT(placements(), QStringList{QStringLiteral("toolbar\t1\tPennaroc")}, 10000);
    QVERIFY(session->keys(dialog, {QStringLiteral("Escape")}));
    QVERIFY(session->windowGone(QStringLiteral("^Integrate with ACT!$")));
    QCOMPARE(placements(), QStringList{QStringLiteral("toolbar\t1\tPennaroc")});

    // Reopened, the box shows what the stand-in has: it is checked, so a
    // click unchecks it and the placement goes.
    dialog = openIntegrateDialog();
    QVERIFY2(!dialog.isEmpty(), "the integration dialog did not reappear");
    QVERIFY(session->click(dialog, ContactsToolbarX, ContactsToolbarY));
    QTRY_COMPARE_WITH_TIMEOUT(placements(), QStringList{}, 10000);
    QVERIFY(session->click(dialog, ContactsToolbarX, ContactsToolbarY));
    QTRY_COMPARE_WITH_TIMEOUT(placements(), QStringList{QStringLiteral("toolbar\t1\tPennaroc")}, 10000);

    // Close asks the restart question; Yes restarts ACT!.
    const QStringList before = session->windows(QStringLiteral("^Pennaroc$"));
    QVERIFY(session->keys(dialog, {QStringLiteral("Return")}));
    const QString question = session->waitForNewWindow(QStringLiteral("^Pennaroc$"), before);
    QVERIFY2(!question.isEmpty(), "the restart question did not appear");
    QElapsedTimer sinceYes;
    QVERIFY(session->keys(question, {QStringLiteral("Return")})); // Yes is the default button
    sinceYes.start();

    // The stand-in received command 150 and ended; the desktop was asked to
    // open its database file; Pennaroc ends about two seconds later.
    QCOMPARE(session->waitForStandinEnd(10000), 0);
    QCOMPARE(session->waitForPennarocEnd(10000), 0);
    const qint64 elapsed = sinceYes.elapsed();
    QVERIFY2(elapsed >= 1500 && elapsed < 6000, qPrintable(QString::number(elapsed)));
    const QStringList opened = session->xdgOpenCalls();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(QUrl(opened[0]).toLocalFile(), session->databasePath());
    // The placement survived the stand-in's end.
    QCOMPARE(placements(), QStringList{QStringLiteral("toolbar\t1\tPennaroc")});
}

QTEST_GUILESS_MAIN(TestE2eIntegrate)
#include "tst_e2e_integrate.moc"
