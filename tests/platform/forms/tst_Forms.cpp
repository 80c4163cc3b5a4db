// The forms layer's rules, through the model, with the recording face
// standing in for the window system.

#include "platform/ErrorTrap.h"
#include "platform/forms/Form.h"
#include "tests/support/Check.h"
#include "tests/support/FakeHost.h"
#include "tests/support/RecordingFace.h"
#include "tests/support/ScriptedPlatform.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace forms;
using testsupport::only;
using testsupport::RecordingFace;
using Lines = std::vector<std::u16string>;
using Names = std::vector<std::string>;

namespace {

// A window with one control of each kind, two option groups in frames and
// one option on the window itself.
constexpr ControlSpec TestControls[] = {
    {Kind::Frame, "fraA", -1, "fraA", {}, u"&Action:", {210, 225, 3600, 1755}, 0},
    {Kind::Option, "optA", 0, "optA0", "fraA", u"&One", {255, 375, 2055, 375}, 1},
    {Kind::Option, "optA", 1, "optA1", "fraA", u"T&wo", {255, 750, 2055, 375}, 2},
    {Kind::Option, "optA", 2, "optA2", "fraA", u"Three", {255, 1125, 2055, 375}, 3},
    {Kind::Frame, "fraB", -1, "fraB", {}, u"Other", {210, 2100, 3600, 1000}, 4},
    {Kind::Option, "optB", 0, "optB0", "fraB", u"Four", {255, 300, 2055, 375}, 5},
    {Kind::Option, "optB", 1, "optB1", "fraB", u"Five", {255, 600, 2055, 375}, 6},
    {Kind::Option, "optC", -1, "optC", {}, u"Alone", {4000, 3200, 1500, 375}, 7},
    {Kind::Check, "chk", 0, "chk0", {}, u"&Greyable", {4000, 225, 1500, 255}, 8, Tristate},
    {Kind::Check, "chk", 1, "chk1", {}, u"Plain", {4000, 525, 1500, 255}, 9},
    {Kind::Label, "lblReported", -1, "lblReported", {}, u"Contacts", {4300, 825, 1500, 255}, -1, ClickReported},
    {Kind::Label, "lblPlain", -1, "lblPlain", {}, u"Just text", {4000, 1125, 1500, 255}, -1},
    {Kind::Label, "lblBig", -1, "lblBig", {}, u"Title", {4000, 1425, 1500, 360}, -1, NoFlags, {13.5, true, false}},
    {Kind::Link, "lblLink", -1, "lblLink", {}, u"www.example.org", {4000, 1825, 1500, 255}, 10, NoFlags,
     {8.25, false, true}},
    {Kind::TextBox, "txtName", -1, "txtName", {}, u"", {4000, 2125, 1500, 300}, 11},
    {Kind::Button, "cmdOK", -1, "cmdOK", {}, u"&OK", {4000, 2500, 1000, 325}, 12, Default},
    {Kind::Button, "cmdCancel", -1, "cmdCancel", {}, u"Cancel", {5000, 2500, 1000, 325}, 13, Cancel},
    {Kind::Button, "cmdOff", -1, "cmdOff", {}, u"Off", {4000, 2850, 1000, 325}, 14, Disabled},
    {Kind::Button, "cmdHidden", -1, "cmdHidden", {}, u"Hidden", {5000, 2850, 1000, 325}, 15, Hidden},
    {Kind::Line, "Line1", -1, "Line1", {}, u"", {0, 3150, 6000, 0}, -1},
    {Kind::Menu, "mnuFile", -1, "mnuFile", {}, u"&File", {}, -1},
    {Kind::MenuItem, "mnuOpen", -1, "mnuOpen", "mnuFile", u"&Open", {}, -1},
    {Kind::Separator, "mnuBar", -1, "mnuBar", "mnuFile", u"-", {}, -1},
    {Kind::Timer, "tmr1", -1, "tmr1", {}, u"", {}, -1},
};
constexpr FormSpec TestForm{"frmTest", u"Test", 6000, 3600, NoFormFlags, {}, "cmdOK", Icon::None, TestControls};

// A window without a default or cancel button.
constexpr ControlSpec BareControls[] = {
    {Kind::Button, "cmdGo", -1, "cmdGo", {}, u"&Go", {100, 100, 1000, 325}, 0},
    {Kind::Timer, "tmr1", -1, "tmr1", {}, u"", {}, -1},
};
constexpr FormSpec BareForm{"frmBare", u"Bare", 3000, 1000, NoFormFlags, {}, {}, Icon::None, BareControls};

constexpr FormSpec MainForm{"frmMain", u"Main", 3000, 1000, MainWindow, {}, {}, Icon::Program, BareControls};
constexpr FormSpec DialogForm{"frmDialog", u"Dialog", 3000, 1000, NoFormFlags, {}, {}, Icon::None, BareControls};
constexpr FormSpec InnerForm{"frmInner", u"Inner", 3000, 1000, NoFormFlags, {}, {}, Icon::None, BareControls};

// What happened to a click, as "id" or, for options and check boxes,
// "id=value" with the value the handler saw.
std::string clickText(const Control &c)
{
    std::string text(c.design().id);
    if (c.kind() == Kind::Option || c.kind() == Kind::Check)
        text += "=" + std::to_string(c.Value());
    return text;
}

// The control with the window system's name id; throws for none.
Control &byId(const Form &form, std::string_view id)
{
    Control *found = form.find(id);
    if (!found)
        throw std::out_of_range("no control " + std::string(id));
    return *found;
}

// One window on the recording face, with every event counted.
struct Rig {
    RecordingFace face;
    Form form;
    Names clicks;
    Names ticks;
    int loads = 0;
    int unloads = 0;

    explicit Rig(const FormSpec &design = TestForm, platform::WindowHandle owner = nullptr) : form(design, face, owner)
    {
        for (const auto &c : form.controls()) {
            Control *control = c.get();
            control->Click = [this, control] { clicks.push_back(clickText(*control)); };
            control->Timer = [this, control] { ticks.push_back(std::string(control->design().id)); };
        }
        form.Load = [this] { ++loads; };
        form.Unload = [this] { ++unloads; };
    }
    Control &c(std::string_view id) const { return byId(form, id); }
    testsupport::RecordingControlPeer &peer(std::string_view id) const { return face.peerOf(c(id)); }
    testsupport::RecordingFormPeer &window() const { return face.peerOf(form); }
    // The lines told since the face's journal had from lines.
    Lines toldSince(std::size_t from) const { return Lines(face.told.begin() + std::ptrdiff_t(from), face.told.end()); }
};

// ---------------------------------------------------------------------------

// A value set by the program, or a user's click (UserClick): the value
// afterwards, the Click events raised, the failure. Setting raises Click
// only on a change; a user's click on a check box only toggles it, even a
// greyed one.
constexpr int UserClick = 100;

void valueChanges()
{
    struct Row { const char *name, *id; std::int16_t from; int set; std::int16_t value; Names clicks;
                 std::int32_t failure = 0; };
    const Row rows[] = {
        {"option selected", "optA0", 0, 1, 1, {"optA0=1"}},
        {"option selected again", "optA0", 1, 1, 1, {}},
        {"option cleared by the program: no click", "optA0", 1, 0, 0, {}},
        {"option cleared again", "optA0", 0, 0, 0, {}},
        {"check box checked", "chk0", 0, 1, 1, {"chk0=1"}},
        {"check box greyed", "chk0", 1, 2, 2, {"chk0=2"}},
        {"check box cleared from greyed", "chk0", 2, 0, 0, {"chk0=0"}},
        {"check box greyed from unchecked", "chk0", 0, 2, 2, {"chk0=2"}},
        {"check box left greyed", "chk0", 2, 2, 2, {}},
        {"check box left checked", "chk0", 1, 1, 1, {}},
        {"check box left unchecked", "chk0", 0, 0, 0, {}},
        {"two-state box greyed by the program", "chk1", 0, 2, 2, {"chk1=2"}},
        {"option 2 refused", "optA0", 1, 2, 1, {}, 380},
        {"option -1 refused", "optA0", 0, -1, 0, {}, 380},
        {"check box 3 refused", "chk0", 1, 3, 1, {}, 380},
        {"check box -1 refused", "chk0", 2, -1, 2, {}, 380},
        {"user: unchecked becomes checked", "chk0", 0, UserClick, 1, {"chk0=1"}},
        {"user: checked becomes unchecked", "chk0", 1, UserClick, 0, {"chk0=0"}},
        {"user: greyed becomes checked", "chk0", 2, UserClick, 1, {"chk0=1"}},
        {"user: a two-state box greyed by the program becomes checked", "chk1", 2, UserClick, 1, {"chk1=1"}},
        {"user: two-state box unchecked becomes checked", "chk1", 0, UserClick, 1, {"chk1=1"}},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig;
        rig.form.show();
        Control &c = rig.c(row.id);
        c.setValue(row.from);
        rig.clicks.clear();
        rig.peer(row.id).told.clear();
        const auto failure = check::failureOf([&] {
            if (row.set == UserClick)
                c.userClick();
            else
                c.setValue(std::int16_t(row.set));
        });
        if (row.failure && CHECK(failure)) {
            CHECK_EQ(failure->number(), row.failure);
            CHECK_EQ(failure->description(), u"Invalid property value");
        }
        CHECK(row.failure || !failure);
        CHECK_EQ(c.Value(), row.value);
        CHECK_EQ(rig.clicks, row.clicks);
        // The face hears of a change once, and of nothing else.
        CHECK_EQ(rig.peer(row.id).told, row.from != row.value ? Lines{u"value frmTest." + text::fromUtf8(row.id) + u" "
                                                                      + text::number(row.value)}
                                                              : Lines{});
        CHECK_EQ(rig.face.mismatches(rig.form), u"");
    }
}

void optionGroups()
{
    Rig rig;
    rig.form.show();
    rig.c("optA0").setValue(1);
    rig.c("optB0").setValue(1);
    rig.c("optC").setValue(1);
    rig.clicks.clear();
    const std::size_t before = rig.face.told.size();

    // Selecting one clears the others of its frame, quietly; other frames
    // and the window's own options keep theirs.
    rig.c("optA2").setValue(1);
    CHECK_EQ(rig.clicks, (Names{"optA2=1"}));
    const char *ids[] = {"optA0", "optA1", "optA2", "optB0", "optB1", "optC"};
    const std::int16_t values[] = {0, 0, 1, 1, 0, 1};
    for (int i = 0; i < 6; ++i) {
        check::Row scope(ids[i]);
        CHECK_EQ(rig.c(ids[i]).Value(), values[i]);
    }
    CHECK_EQ(rig.toldSince(before), (Lines{u"value frmTest.optA0 0", u"value frmTest.optA2 1"}));

    // A user's click selects within the group the same way.
    rig.clicks.clear();
    rig.c("optB1").userClick();
    CHECK_EQ(rig.clicks, (Names{"optB1=1"}));
    CHECK_EQ(rig.c("optB0").Value(), 0);
    CHECK_EQ(rig.c("optA2").Value(), 1);
    CHECK_EQ(rig.c("optC").Value(), 1);

    // A group may have none selected.
    rig.c("optA2").setValue(0);
    for (const char *id : {"optA0", "optA1", "optA2"}) {
        check::Row scope(id);
        CHECK_EQ(rig.c(id).Value(), 0);
    }
    CHECK_EQ(rig.face.mismatches(rig.form), u"");
}

// A disabled or hidden control takes no click from the user, nor does any
// once its window has gone; a label that reports clicks answers every one
// while its window is there.
void userClicks()
{
    enum State { Usable, Disabled, Hidden, DisabledAndHidden, Unloaded };
    struct Row { const char *id; State state; Names clicks; };
    const Row rows[] = {
        {"cmdOK", Usable, {"cmdOK"}},       {"cmdOK", Disabled, {}},       {"cmdOK", Hidden, {}},
        {"cmdOK", Unloaded, {}},            {"optA1", Usable, {"optA1=1"}}, {"optA1", Disabled, {}},
        {"optA1", Hidden, {}},              {"chk0", Usable, {"chk0=1"}},   {"chk0", Disabled, {}},
        {"chk0", DisabledAndHidden, {}},    {"lblLink", Usable, {"lblLink"}}, {"lblLink", Disabled, {}},
        {"lblLink", Hidden, {}},            {"mnuOpen", Usable, {"mnuOpen"}}, {"mnuOpen", Disabled, {}},
        {"mnuOpen", Hidden, {}},            {"lblPlain", Usable, {}},       {"txtName", Usable, {}},
        {"fraA", Usable, {}},               {"cmdOff", Usable /* disabled by its table */, {}},
        {"cmdHidden", Usable /* hidden by its table */, {}},
        {"lblReported", Usable, {"lblReported"}}, {"lblReported", Disabled, {"lblReported"}},
        {"lblReported", DisabledAndHidden, {"lblReported"}}, {"lblReported", Unloaded, {}},
    };
    const char *stateNames[] = {"usable", "disabled", "hidden", "disabled and hidden", "unloaded"};
    for (const Row &row : rows) {
        check::Row scope(std::string(row.id) + " " + stateNames[row.state]);
        Rig rig;
        rig.form.show();
        Control &c = rig.c(row.id);
        c.setEnabled(row.state == Disabled || row.state == DisabledAndHidden ? false : c.Enabled());
        c.setVisible(row.state == Hidden || row.state == DisabledAndHidden ? false : c.Visible());
        if (row.state == Unloaded)
            rig.form.unload();
        const std::int16_t value = c.Value();
        c.userClick();
        CHECK_EQ(rig.clicks, row.clicks);
        if (row.clicks.empty())
            CHECK_EQ(c.Value(), value);
    }
}

void enterAndEscape()
{
    enum Key { Enter, Escape };
    struct Row { const char *name; const FormSpec &design; std::function<void(Rig &)> setUp; Key key; Names clicks;
                 bool unloaded; int closeBoxes; };
    const auto nothing = [](Rig &) {};
    const Row rows[] = {
        {"Enter presses the default button", TestForm, nothing, Enter, {"cmdOK"}, false, 0},
        {"Enter with the default button disabled", TestForm, [](Rig &r) { r.c("cmdOK").setEnabled(false); }, Enter,
         {}, false, 0},
        {"Enter with the default button hidden", TestForm, [](Rig &r) { r.c("cmdOK").setVisible(false); }, Enter, {},
         false, 0},
        {"Enter without a default button", BareForm, nothing, Enter, {}, false, 0},
        {"Escape presses the cancel button", TestForm, nothing, Escape, {"cmdCancel"}, false, 0},
        {"Escape with the cancel button disabled", TestForm, [](Rig &r) { r.c("cmdCancel").setEnabled(false); },
         Escape, {}, false, 0},
        {"Escape without a cancel button acts as the close box", BareForm, nothing, Escape, {}, false, 1},
        {"Escape without a cancel button or close box handler unloads", BareForm,
         [](Rig &r) { r.form.CloseBox = nullptr; }, Escape, {}, true, 0},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig(row.design);
        int closeBoxes = 0;
        rig.form.CloseBox = [&closeBoxes] { ++closeBoxes; };
        rig.form.show();
        row.setUp(rig);
        if (row.key == Enter)
            rig.form.userEnter();
        else
            rig.form.userEscape();
        CHECK_EQ(rig.clicks, row.clicks);
        CHECK_EQ(rig.form.isUnloaded(), row.unloaded);
        CHECK_EQ(rig.unloads, row.unloaded ? 1 : 0);
        CHECK_EQ(closeBoxes, row.closeBoxes);
    }
}

void loadRunsOnce()
{
    Rig rig;
    bool visibleDuringLoad = true;
    std::size_t toldAtLoad = 0;
    rig.form.Load = [&] {
        ++rig.loads;
        visibleDuringLoad = rig.form.isVisible();
        toldAtLoad = rig.face.told.size();
    };
    CHECK(!rig.form.isLoaded());
    rig.form.show();
    // Load runs before the window is shown.
    CHECK(!visibleDuringLoad);
    CHECK_EQ(toldAtLoad, std::size_t(1)); // "create" only
    rig.form.load();
    rig.form.hide();
    rig.form.show();
    CHECK_EQ(rig.loads, 1);
    CHECK(rig.form.isLoaded());
    CHECK_EQ(only(rig.face.told, {u"show", u"hide", u"modal", u"close"}),
             (Lines{u"show frmTest", u"hide frmTest", u"show frmTest"}));
}

void loadThatUnloadsShowsNothing()
{
    for (const bool modal : {false, true}) {
        check::Row scope(modal ? "modal" : "modeless");
        Rig rig;
        rig.form.Load = [&] {
            ++rig.loads;
            rig.form.unload();
        };
        if (modal)
            rig.form.showModal();
        else
            rig.form.show();
        CHECK_EQ(rig.loads, 1);
        CHECK_EQ(rig.unloads, 1);
        CHECK(!rig.form.isVisible());
        CHECK_EQ(only(rig.face.told, {u"show", u"modal", u"hide", u"close"}), Lines{u"close frmTest"});
    }
}

void unloadRunsOnceAndStopsEverything()
{
    struct Row { const char *name; std::function<void(Rig &)> secondGo; };
    const Row rows[] = {
        {"unload again", [](Rig &r) { r.form.unload(); }},
        {"close box after unload", [](Rig &r) { r.form.userClose(); }},
        {"Escape after unload", [](Rig &r) { r.form.userEscape(); }},
        {"Enter after unload", [](Rig &r) { r.form.userEnter(); }},
        {"hide after unload", [](Rig &r) { r.form.hide(); }},
        // An unloaded window does not load or show again.
        {"load after unload", [](Rig &r) { r.form.load(); }},
        {"show after unload", [](Rig &r) { r.form.show(); }},
        {"modal show after unload", [](Rig &r) { r.form.showModal(); }},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig;
        Control &timer = rig.c("tmr1");
        timer.setInterval(1000);
        rig.form.show();
        CHECK(rig.peer("tmr1").running);

        rig.form.unload();
        CHECK(rig.form.isUnloaded());
        CHECK(!rig.form.isLoaded());
        CHECK(!rig.form.isVisible());
        CHECK(rig.form.unloadedTest()());
        CHECK(rig.window().closed);
        CHECK(!rig.peer("tmr1").running);
        CHECK_EQ(rig.face.tickAll(), 0);
        timer.tick();
        CHECK(rig.ticks.empty());

        const std::size_t before = rig.face.told.size();
        row.secondGo(rig);
        CHECK_EQ(rig.loads, 1);
        CHECK(!rig.form.isLoaded());
        CHECK_EQ(rig.unloads, 1);
        CHECK(rig.clicks.empty());
        CHECK_EQ(rig.toldSince(before), Lines{});
        CHECK_EQ(only(rig.face.told, {u"close"}), Lines{u"close frmTest"});
        CHECK_EQ(rig.face.mismatches(rig.form), u"");
    }

    // A window never loaded closes without its Unload event.
    Rig never;
    never.form.unload();
    CHECK_EQ(never.unloads, 0);
    CHECK_EQ(never.loads, 0);
    CHECK(never.window().closed);
    CHECK(never.form.isUnloaded());
}

void modalShowEndsAsTheWindowGoes()
{
    // whileModal: null when the user just closes the window.
    struct Row { const char *name; std::function<void(Rig &)> setUp; std::function<void(Form &)> whileModal;
                 Lines shown; bool unloaded; };
    const Row rows[] = {
        {"a button unloads it",
         [](Rig &r) { r.c("cmdOK").Click = [&r] { r.form.unload(); }; },
         [](Form &f) { f.control("cmdOK").userClick(); }, Lines{u"modal frmTest", u"close frmTest"}, true},
        {"a procedure hides it", nullptr, [](Form &f) { f.hide(); }, Lines{u"modal frmTest", u"hide frmTest"}, false},
        {"the close box unloads it", nullptr, nullptr, Lines{u"modal frmTest", u"close frmTest"}, true},
        {"the close box handler hides it", [](Rig &r) { r.form.CloseBox = [&r] { r.form.hide(); }; }, nullptr,
         Lines{u"modal frmTest", u"hide frmTest"}, false},
        {"a window that will not close", [](Rig &r) { r.form.CloseBox = [] {}; }, nullptr,
         Lines{u"modal frmTest", u"stuck frmTest"}, false},
        {"quit ends the show", nullptr, [](Form &f) { f.face().quit(3); }, Lines{u"modal frmTest", u"quit 3"}, false},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig;
        if (row.setUp)
            row.setUp(rig);
        Names stack;
        rig.face.whileModal = [&](Form &f) {
            stack = rig.face.modalStack();
            CHECK(&f == &rig.form);
            CHECK(f.isVisible());
            if (row.whileModal)
                row.whileModal(f);
        };
        rig.form.showModal();
        CHECK_EQ(stack, Names{"frmTest"});
        CHECK(rig.face.modalStack().empty());
        CHECK_EQ(only(rig.face.told, {u"show", u"modal", u"hide", u"close", u"stuck", u"quit"}), row.shown);
        CHECK_EQ(rig.form.isUnloaded(), row.unloaded);
        CHECK_EQ(rig.unloads, row.unloaded ? 1 : 0);
        CHECK_EQ(rig.loads, 1);
        CHECK(!rig.form.isVisible());
        CHECK_EQ(rig.face.mismatches(rig.form), u"");
    }
}

void modalWindowsOverTheirOwners()
{
    RecordingFace face;
    Form main(MainForm, face);
    main.show();
    int mainTicks = 0;
    main.control("tmr1").Timer = [&] { ++mainTicks; };
    main.control("tmr1").setInterval(1000);

    Names seen;
    face.whileModalOf["frmDialog"] = [&](Form &dialog) {
        const testsupport::RecordingFormPeer &peer = face.peerOf(dialog);
        CHECK(face.formOf(peer.owner()) == &main);
        CHECK_EQ(peer.ownerId(), "frmMain");
        CHECK_EQ(face.openIds(), (Names{"frmMain", "frmDialog"}));
        // Timers tick on under a modal window.
        CHECK_EQ(face.tick("frmMain.tmr1"), 1);
        // A second modal window over the first.
        Form inner(InnerForm, face, dialog.handle());
        face.modalQueue.push_back([&](Form &f) {
            seen = face.modalStack();
            CHECK(&f == &inner);
            f.unload();
        });
        inner.showModal();
        CHECK(inner.isUnloaded());
        CHECK_EQ(face.modalStack(), Names{"frmDialog"});
    };
    Form dialog(DialogForm, face, main.handle());
    dialog.showModal();

    CHECK_EQ(seen, (Names{"frmDialog", "frmInner"}));
    CHECK_EQ(mainTicks, 1);
    CHECK(dialog.isUnloaded());
    CHECK_EQ(face.openIds(), Names{"frmMain"});
    CHECK(face.formOf(main.handle()) == &main);
    CHECK(face.formOf(nullptr) == nullptr);
    CHECK(main.handle() != dialog.handle());
    CHECK(face.modalQueue.empty());
    CHECK_EQ(only(face.told, {u"create", u"show", u"modal", u"close"}),
             (Lines{u"create frmMain", u"show frmMain", u"create frmDialog over frmMain", u"modal frmDialog",
                    u"create frmInner over frmDialog", u"modal frmInner", u"close frmInner", u"close frmDialog"}));
}

void runEndsWithQuit()
{
    RecordingFace face;
    CHECK_EQ(face.run(), 0);
    face.whileRunning = [&] { face.quit(3); };
    CHECK_EQ(face.run(), 3);
    CHECK_EQ(face.told, (Lines{u"run", u"run", u"quit 3"}));
}

void timerTicksOnlyWhileRunning()
{
    struct Row { const char *name; bool load; bool enabled; int interval; bool unload; bool ticks; };
    const Row rows[] = {
        {"loaded, enabled, with an interval", true, true, 1000, false, true},
        {"disabled", true, false, 1000, false, false},
        {"interval 0", true, true, 0, false, false},
        {"negative interval counts as 0", true, true, -5, false, false},
        {"not loaded yet", false, true, 1000, false, false},
        {"unloaded", true, true, 1000, true, false},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig(BareForm);
        Control &timer = rig.c("tmr1");
        timer.setEnabled(row.enabled);
        timer.setInterval(row.interval);
        if (row.load)
            rig.form.show();
        if (row.unload)
            rig.form.unload();
        timer.tick();
        CHECK_EQ(rig.ticks.size(), std::size_t(row.ticks ? 1 : 0));
        // The face runs the timer exactly when it may tick.
        CHECK_EQ(rig.peer("tmr1").running, row.ticks);
        CHECK_EQ(rig.face.runningTimers().size(), std::size_t(row.ticks ? 1 : 0));
    }

    // A timer armed before its window loads starts with the window; one
    // armed by Load starts at once.
    for (const bool inLoad : {false, true}) {
        check::Row scope(inLoad ? "armed by Load" : "armed before loading");
        Rig early(BareForm);
        Control &timer = early.c("tmr1");
        if (inLoad)
            early.form.Load = [&timer] { timer.setInterval(1000); };
        else
            timer.setInterval(1000);
        CHECK(!early.peer("tmr1").running);
        early.form.show();
        CHECK(early.peer("tmr1").running);
        CHECK_EQ(early.face.tickAll(), 1);
        CHECK_EQ(early.ticks.size(), std::size_t(1));
        CHECK_EQ(early.face.mismatches(early.form), u"");
    }

    // Stopping and starting again.
    Rig rig(BareForm);
    rig.form.show();
    Control &timer = rig.c("tmr1");
    timer.setInterval(1000);
    CHECK_EQ(rig.face.tickAll(), 1);
    timer.setEnabled(false);
    CHECK_EQ(rig.face.tickAll(), 0);
    timer.setEnabled(true);
    timer.setInterval(0);
    CHECK_EQ(rig.face.tickAll(), 0);
    timer.setInterval(500);
    CHECK_EQ(rig.face.tick("tmr1"), 1);
    CHECK_EQ(rig.ticks, (Names{"tmr1", "tmr1"}));
    CHECK_EQ(rig.face.mismatches(rig.form), u"");
}

void handlerUnloadingItsWindowStopsItsProcedure()
{
    // What the host does during its one call: raise the notification whose
    // handler unloads the window, and/or fail; reached: the statements run
    // after the host call.
    struct Row { const char *name; bool notify, fail; int reached; bool reported; };
    const Row rows[] = {
        {"the window unloads during a host call", true, false, 0, false},
        {"the host call fails after the window unloaded", true, true, 0, false},
        {"the host call fails, the window stays", false, true, 0, true},
        {"nothing happens", false, false, 2, false},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig;
        testsupport::FakeHost actHost;
        testsupport::ScriptedPlatform desktop;
        actHost.setHandler([&](std::int16_t, const std::vector<host::EventArgument> &) { rig.form.unload(); });
        if (row.notify)
            actHost.duringCall = [&](const std::u16string &) { actHost.raiseEvent(host::ActEvent::DatabaseClosed); };
        if (row.fail)
            actHost.failCall(u"ActEvent1.Id1");
        int reached = 0;
        bool finished = false;
        rig.c("cmdOK").Click = [&] {
            platform::ErrorTrap trap(
                desktop, u"in frmTest: Sub cmdOK_Click - Line # ", [] { return std::u16string(u"T"); },
                [] { return std::u16string(u"C"); }, rig.form.unloadedTest());
            finished = trap.run([&] {
                trap.at(10);
                actHost.Id1(0);
                trap.at(20);
                ++reached;
                trap.at(30);
                ++reached;
            });
        };
        rig.form.show();
        rig.c("cmdOK").userClick();
        CHECK_EQ(reached, row.reached);
        CHECK_EQ(finished, row.reached == 2);
        CHECK_EQ(rig.form.isUnloaded(), row.notify);
        CHECK_EQ(rig.unloads, row.notify ? 1 : 0);
        if (row.reported) {
            if (CHECK_EQ(desktop.messages.size(), std::size_t(1)))
                CHECK_EQ(desktop.messages[0].text,
                         u"Error 440: 'Injected failure'\rin frmTest: Sub cmdOK_Click - Line # 10\r\rC");
        } else {
            CHECK(desktop.messages.empty());
        }
    }

    // The test outlives its window: once the form is gone, a trap that
    // watches it stops at its first statement.
    std::function<bool()> gone;
    {
        Rig rig;
        rig.form.show();
        gone = rig.form.unloadedTest();
        CHECK(!gone());
    }
    CHECK(gone());
    testsupport::ScriptedPlatform desktop;
    platform::ErrorTrap late(desktop, u"L ", [] { return std::u16string(); }, [] { return std::u16string(); }, gone);
    int reached = 0;
    CHECK(!late.run([&] {
        late.at(10);
        ++reached;
    }));
    CHECK_EQ(reached, 0);
}

void faceToldEachChangeOnce()
{
    struct Row { const char *name; std::function<void(Form &)> change; Lines told; };
    const Row rows[] = {
        {"caption", [](Form &f) { byId(f, "cmdOK").setCaption(u"Close"); }, {u"caption frmTest.cmdOK Close"}},
        {"caption unchanged", [](Form &f) { byId(f, "cmdOK").setCaption(u"&OK"); }, {}},
        {"caption emptied", [](Form &f) { byId(f, "lblPlain").setCaption(u""); }, {u"caption frmTest.lblPlain "}},
        {"disabled", [](Form &f) { byId(f, "optA1").setEnabled(false); }, {u"enabled frmTest.optA1 0"}},
        {"enabled unchanged", [](Form &f) { byId(f, "optA1").setEnabled(true); }, {}},
        {"enabled from the table's disabled", [](Form &f) { byId(f, "cmdOff").setEnabled(true); },
         {u"enabled frmTest.cmdOff 1"}},
        {"hidden", [](Form &f) { byId(f, "chk1").setVisible(false); }, {u"visible frmTest.chk1 0"}},
        {"visible unchanged", [](Form &f) { byId(f, "chk1").setVisible(true); }, {}},
        {"text", [](Form &f) { byId(f, "txtName").setText(u"C:\\A b\r\n"); }, {u"text frmTest.txtName C:\\A b\r\n"}},
        {"text unchanged", [](Form &f) { byId(f, "txtName").setText(u""); }, {}},
        {"place", [](Form &f) { byId(f, "lblLink").setPlace({1, 2, 3, 4}); }, {u"place frmTest.lblLink 1,2 3x4"}},
        {"place unchanged", [](Form &f) { byId(f, "lblLink").setPlace({4000, 1825, 1500, 255}); }, {}},
        {"accessible name", [](Form &f) { byId(f, "lblLink").setAccessibleName(u"Web site"); },
         {u"accessible frmTest.lblLink Web site"}},
        {"accessible name unchanged", [](Form &f) { byId(f, "lblLink").setAccessibleName(u""); }, {}},
        {"timer armed", [](Form &f) { byId(f, "tmr1").setInterval(1000); }, {u"timer frmTest.tmr1 1000 on"}},
        {"timer interval unchanged", [](Form &f) { byId(f, "tmr1").setInterval(0); }, {}},
        {"window caption", [](Form &f) { f.setCaption(u"Integrate with ACT!"); },
         {u"caption frmTest Integrate with ACT!"}},
        {"window caption unchanged", [](Form &f) { f.setCaption(u"Test"); }, {}},
        {"window size", [](Form &f) { f.setClientSize(7020, 3240); }, {u"size frmTest 7020x3240"}},
        {"window height only", [](Form &f) { f.setClientSize(6000, 3240); }, {u"size frmTest 6000x3240"}},
        {"window size unchanged", [](Form &f) { f.setClientSize(6000, 3600); }, {}},
        {"window icon", [](Form &f) { f.setIcon(Icon::Program); }, {u"icon frmTest program"}},
        {"window icon unchanged", [](Form &f) { f.setIcon(Icon::None); }, {}},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig;
        rig.form.show();
        const std::size_t before = rig.face.told.size();
        // Told once, though the program sets the same value twice.
        row.change(rig.form);
        row.change(rig.form);
        CHECK_EQ(rig.toldSince(before), row.told);
        CHECK_EQ(rig.face.mismatches(rig.form), u"");
    }
}

void typedTextReachesTheModelOnly()
{
    Rig rig;
    rig.form.show();
    const std::size_t before = rig.face.told.size();
    rig.face.typeText(rig.c("txtName"), u"/home/u/Docs");
    CHECK_EQ(rig.c("txtName").Text(), u"/home/u/Docs");
    // The face shows what was typed already; it is not told it back.
    CHECK_EQ(rig.toldSince(before), Lines{});
    CHECK_EQ(rig.face.mismatches(rig.form), u"");
    // Setting what was typed tells nothing either.
    rig.c("txtName").setText(u"/home/u/Docs");
    CHECK_EQ(rig.toldSince(before), Lines{});
}

void controlLookup()
{
    struct Row { const char *name; int index; const char *id; }; // id null: no such control
    const Row rows[] = {
        {"optA", 0, "optA0"},   {"optA", 2, "optA2"}, {"cmdOK", -1, "cmdOK"}, {"optA", -1, nullptr},
        {"optA", 3, nullptr},   {"cmdOK", 0, nullptr}, {"nothing", -1, nullptr}, {"", -1, nullptr},
        {"OPTA", 0, nullptr},
    };
    Rig rig;
    for (const Row &row : rows) {
        check::Row scope(std::string(row.name) + "(" + std::to_string(row.index) + ")");
        bool threw = false;
        Control *found = nullptr;
        try {
            found = &rig.form.control(row.name, row.index);
        } catch (const std::out_of_range &) {
            threw = true;
        }
        CHECK_EQ(threw, row.id == nullptr);
        if (row.id && found)
            CHECK_EQ(found->design().id, std::string_view(row.id));
    }
    CHECK(rig.form.find("optA0") == &rig.form.control("optA", 0));
    CHECK(rig.form.find("optA") == nullptr);
}

void neededWidthFollowsTheCaption()
{
    // The recording face measures 90 twips a character at 8.25 points; see
    // RecordingFace.h.
    struct Row { const char *name; const char *id; std::u16string caption; int width; };
    const Row rows[] = {
        {"plain", "lblPlain", u"Close", 450},
        {"mnemonic marker not counted", "lblPlain", u"&OK", 180},
        {"doubled ampersand shows one", "lblPlain", u"A&&B", 270},
        {"empty", "lblPlain", u"", 0},
        {"beyond the first plane: two units", "lblPlain", u"\U0001F4CE", 180},
        {"bold 13.5 points", "lblBig", u"Pennaroc", 1296},
        {"frame borders", "fraA", u"&Action:", 930},
    };
    for (const Row &row : rows) {
        check::Row scope(row.name);
        Rig rig;
        rig.c(row.id).setCaption(row.caption);
        CHECK_EQ(rig.c(row.id).neededWidth(), row.width);
    }
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"valueChanges", valueChanges},
                          {"optionGroups", optionGroups},
                          {"userClicks", userClicks},
                          {"enterAndEscape", enterAndEscape},
                          {"loadRunsOnce", loadRunsOnce},
                          {"loadThatUnloadsShowsNothing", loadThatUnloadsShowsNothing},
                          {"unloadRunsOnceAndStopsEverything", unloadRunsOnceAndStopsEverything},
                          {"modalShowEndsAsTheWindowGoes", modalShowEndsAsTheWindowGoes},
                          {"modalWindowsOverTheirOwners", modalWindowsOverTheirOwners},
                          {"runEndsWithQuit", runEndsWithQuit},
                          {"timerTicksOnlyWhileRunning", timerTicksOnlyWhileRunning},
                          {"handlerUnloadingItsWindowStopsItsProcedure", handlerUnloadingItsWindowStopsItsProcedure},
                          {"faceToldEachChangeOnce", faceToldEachChangeOnce},
                          {"typedTextReachesTheModelOnly", typedTextReachesTheModelOnly},
                          {"controlLookup", controlLookup},
                          {"neededWidthFollowsTheCaption", neededWidthFollowsTheCaption},
                      });
}
