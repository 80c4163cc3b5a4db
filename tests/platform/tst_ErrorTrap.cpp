#include "platform/ErrorTrap.h"
#include "tests/support/Check.h"
#include "tests/support/ScriptedPlatform.h"

#include <functional>
#include <optional>
#include <string>

using platform::ComposeErrorReport;
using platform::ErrorTrap;
using testsupport::ScriptedPlatform;

namespace {

const std::u16string Label = u"in Form1: Sub Form_Load - Line # ";
const std::u16string Contact = u"Please contact support@veltrane.example with this error message.";

std::u16string none()
{
    return {};
}

void compose()
{
    struct Row {
        const char *name;
        std::int32_t number;
        std::u16string description;
        std::u16string label;
        std::int32_t line;
        std::u16string contact;
        std::u16string expected;
    };
    const Row rows[] = {
        {"plain", 440, u"Automation error", Label, 11380, Contact,
         u"Error 440: 'Automation error'\rin Form1: Sub Form_Load - Line # 11380\r\r"
         u"Please contact support@veltrane.example with this error message."},
        {"empty description keeps both apostrophes", 91, u"", Label, 11240, Contact,
         u"Error 91: ''\rin Form1: Sub Form_Load - Line # 11240\r\r"
         u"Please contact support@veltrane.example with this error message."},
        {"negative number keeps its sign", -2147418113, u"Catastrophic failure", Label, 11000, Contact,
         u"Error -2147418113: 'Catastrophic failure'\rin Form1: Sub Form_Load - Line # 11000\r\r"
         u"Please contact support@veltrane.example with this error message."},
        {"empty contact line ends in two CRs", 429, u"x", u"in frmIntegrate: Sub Form_Load - Line # ", 13980, u"",
         u"Error 429: 'x'\rin frmIntegrate: Sub Form_Load - Line # 13980\r\r"},
        {"description kept unchanged, CR and quotes included", 6, u"a'b\r\nc", Label, 10900, Contact,
         u"Error 6: 'a'b\r\nc'\rin Form1: Sub Form_Load - Line # 10900\r\r"
         u"Please contact support@veltrane.example with this error message."},
        {"text beyond the first plane kept", 440, u"caf\u00e9 \U0001F4CE", u"L ", 0, u"\u00a9",
         u"Error 440: 'caf\u00e9 \U0001F4CE'\rL 0\r\r\u00a9"},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        const std::u16string text = ComposeErrorReport(row.number, row.description, row.label, row.line, row.contact);
        CHECK_EQ(text, row.expected);
        // The lines are joined with lone CRs: a line feed comes only from
        // the description.
        CHECK(text.find(u'\n') == std::u16string::npos || row.description.find(u'\n') != std::u16string::npos);
    }
}

void trapReportsCurrentLine()
{
    ScriptedPlatform desktop;
    ErrorTrap trap(desktop, u"in frmMain: Sub tmr1_Timer - Line # ", [] { return std::u16string(u"Pennaroc error"); },
                   [] { return std::u16string(u"contact"); });
    int reached = 0;
    const bool finished = trap.run([&] {
        trap.at(13260);
        reached = 1;
        trap.at(13280);
        throw host::Failure(6, u"Overflow");
    });
    CHECK(!finished);
    CHECK_EQ(reached, 1);
    CHECK_EQ(trap.line(), 13280);
    if (!CHECK_EQ(desktop.messages.size(), std::size_t(1)))
        return;
    CHECK_EQ(desktop.messages[0].text, u"Error 6: 'Overflow'\rin frmMain: Sub tmr1_Timer - Line # 13280\r\rcontact");
    CHECK_EQ(desktop.messages[0].style, 0);
    CHECK_EQ(desktop.messages[0].title, u"Pennaroc error");
}

void calleeFailureReportsCallerLine()
{
    ScriptedPlatform desktop;
    ErrorTrap trap(desktop, u"L ", none, none);
    auto untrappedCallee = [](int depth) {
        if (depth > 0)
            throw host::Failure(91, u"Object variable or With block variable not set");
    };
    trap.run([&] {
        trap.at(15680);
        untrappedCallee(0);
        trap.at(15700);
        untrappedCallee(1);
    });
    if (!CHECK_EQ(desktop.messages.size(), std::size_t(1)))
        return;
    CHECK_EQ(desktop.messages[0].text, u"Error 91: 'Object variable or With block variable not set'\rL 15700\r\r");
}

void failureBeforeFirstStatementReportsLineZero()
{
    ScriptedPlatform desktop;
    ErrorTrap trap(desktop, u"L ", none, none);
    trap.run([] { throw host::Failure(5, u"Invalid procedure call"); });
    if (CHECK_EQ(desktop.messages.size(), std::size_t(1)))
        CHECK_EQ(desktop.messages[0].text, u"Error 5: 'Invalid procedure call'\rL 0\r\r");
}

void trapReadsTitleAndContactWhenReporting()
{
    ScriptedPlatform desktop;
    std::u16string title = u"before";
    std::u16string contact;
    int titleReads = 0;
    ErrorTrap trap(
        desktop, u"L ",
        [&] {
            ++titleReads;
            return title;
        },
        [&] { return contact; });
    CHECK_EQ(titleReads, 0);
    trap.run([&] {
        trap.at(13960);
        contact = u"set later";
        title = u"after";
        trap.at(13980);
        throw host::Failure(429, u"x");
    });
    if (!CHECK_EQ(desktop.messages.size(), std::size_t(1)))
        return;
    CHECK_EQ(desktop.messages[0].text, u"Error 429: 'x'\rL 13980\r\rset later");
    CHECK_EQ(desktop.messages[0].title, u"after");
}

void failureWhileReportingIsNotTrappedAgain()
{
    ScriptedPlatform desktop;
    ErrorTrap trap(desktop, u"L ", none, []() -> std::u16string { throw host::Failure(7, u"Out of memory"); });
    std::optional<host::Failure> escaped =
        check::failureOf([&] { trap.run([] { throw host::Failure(440, u"first"); }); });
    if (CHECK(escaped))
        CHECK_EQ(escaped->number(), 7);
    CHECK(desktop.messages.empty());

    // A failure raised while the report's box is open escapes as well.
    ScriptedPlatform box;
    box.whileMsgBoxOpen = [](const ScriptedPlatform::Message &) { throw host::Failure(462, u"gone"); };
    ErrorTrap second(box, u"L ", none, none);
    escaped = check::failureOf([&] { second.run([] { throw host::Failure(440, u"first"); }); });
    if (CHECK(escaped))
        CHECK_EQ(escaped->number(), 462);
    CHECK_EQ(box.messages.size(), std::size_t(1));
}

void bodyWithoutFailureShowsNothing()
{
    ScriptedPlatform desktop;
    ErrorTrap trap(desktop, u"L ", none, none);
    CHECK(trap.run([&] { trap.at(20); }));
    CHECK(desktop.messages.empty());
}

// A trap that watches its window: what the procedure reached, whether it
// ran to its end, and what was reported, for each way the window can go.
void watchedWindow()
{
    struct Rig {
        ScriptedPlatform desktop;
        bool unloaded = false;
        int reached = 0;
        ErrorTrap trap{desktop, u"L ", none, none, [this] { return unloaded; }};
    };
    struct Row {
        const char *name;
        std::function<void(Rig &)> body;
        bool finished;
        int reached;
        std::optional<std::u16string> report;
    };
    const Row rows[] = {
        {"window stays: the procedure runs to its end",
         [](Rig &r) {
             r.trap.at(10);
             r.reached = 1;
             r.trap.at(20);
             r.reached = 2;
         },
         true, 2, std::nullopt},
        {"unloaded under a statement: the next statement does not run",
         [](Rig &r) {
             r.trap.at(10);
             r.reached = 1;
             r.unloaded = true;
             r.trap.at(20);
             r.reached = 2;
         },
         false, 1, std::nullopt},
        {"unloaded before the first statement",
         [](Rig &r) {
             r.unloaded = true;
             r.trap.at(10);
             r.reached = 1;
         },
         false, 0, std::nullopt},
        {"a failure after the unload is not reported",
         [](Rig &r) {
             r.trap.at(10);
             r.reached = 1;
             r.unloaded = true;
             throw host::Failure(91, u"Object variable or With block variable not set");
         },
         false, 1, std::nullopt},
        {"a failure while the window is there is reported",
         [](Rig &r) {
             r.trap.at(10);
             r.reached = 1;
             throw host::Failure(440, u"x");
         },
         false, 1, u"Error 440: 'x'\rL 10\r\r"},
        {"a callee's check stops the procedure too",
         [](Rig &r) {
             r.trap.at(10);
             r.unloaded = true;
             r.trap.checkLoaded();
             r.reached = 1;
         },
         false, 0, std::nullopt},
        {"the last statement unloads: the procedure still ends normally",
         [](Rig &r) {
             r.trap.at(10);
             r.unloaded = true;
             r.reached = 1;
         },
         true, 1, std::nullopt},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig;
        const bool finished = rig.trap.run([&] { row.body(rig); });
        CHECK_EQ(finished, row.finished);
        CHECK_EQ(rig.reached, row.reached);
        if (row.report) {
            if (CHECK_EQ(rig.desktop.messages.size(), std::size_t(1)))
                CHECK_EQ(rig.desktop.messages[0].text, *row.report);
        } else {
            CHECK(rig.desktop.messages.empty());
        }
    }
}

void nestedTrapsStopTogether()
{
    // A trapped procedure calls another: the window unloads in the inner
    // one, which stops; the outer one stops at its next statement.
    ScriptedPlatform desktop;
    bool unloaded = false;
    const auto watch = [&] { return unloaded; };
    ErrorTrap outer(desktop, u"outer ", none, none, watch);
    std::u16string trail;
    const bool finished = outer.run([&] {
        outer.at(100);
        ErrorTrap inner(desktop, u"inner ", none, none, watch);
        const bool innerFinished = inner.run([&] {
            inner.at(200);
            unloaded = true;
            inner.at(210);
            trail += u"inner after;";
        });
        trail += innerFinished ? u"inner finished;" : u"inner stopped;";
        outer.at(110);
        trail += u"outer after;";
    });
    CHECK(!finished);
    CHECK_EQ(trail, u"inner stopped;");
    CHECK(desktop.messages.empty());
}

void unwatchedTrapIgnoresWindows()
{
    // Without a window to watch, at() never stops the procedure.
    ScriptedPlatform desktop;
    ErrorTrap trap(desktop, u"L ", none, none);
    int reached = 0;
    CHECK(trap.run([&] {
        trap.at(10);
        reached = 1;
        trap.checkLoaded();
        trap.at(20);
        reached = 2;
    }));
    CHECK_EQ(reached, 2);
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"compose", compose},
                          {"trapReportsCurrentLine", trapReportsCurrentLine},
                          {"calleeFailureReportsCallerLine", calleeFailureReportsCallerLine},
                          {"failureBeforeFirstStatementReportsLineZero", failureBeforeFirstStatementReportsLineZero},
                          {"trapReadsTitleAndContactWhenReporting", trapReadsTitleAndContactWhenReporting},
                          {"failureWhileReportingIsNotTrappedAgain", failureWhileReportingIsNotTrappedAgain},
                          {"bodyWithoutFailureShowsNothing", bodyWithoutFailureShowsNothing},
                          {"watchedWindow", watchedWindow},
                          {"nestedTrapsStopTogether", nestedTrapsStopTogether},
                          {"unwatchedTrapIgnoresWindows", unwatchedTrapIgnoresWindows},
                      });
}
