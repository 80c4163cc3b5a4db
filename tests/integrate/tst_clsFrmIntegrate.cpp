#include "host/Text.h"
#include "integrate/CommandRegistration.h"
#include "integrate/IntegrateTexts.h"
#include "integrate/clsFrmIntegrate.h"
#include "platform/ErrorTrap.h"
#include "platform/ProgramState.h"
#include "tests/support/Check.h"
#include "tests/support/FakeHost.h"
#include "tests/support/RecordingFace.h"
#include "tests/support/ScriptedPlatform.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using testsupport::FakeHost;
using testsupport::RecordingFace;
using testsupport::ScriptedPlatform;
using Lines = std::vector<std::u16string>;

namespace {

const std::u16string P = u"Pennaroc";
const std::u16string Create = u"CreateObject(ACTOLE.AUXCMDS)";
const std::u16string Exists = u"AuxCommands.AuxCommandExists(Pennaroc)";
const std::u16string Question = u"MsgBox(4,Pennaroc)";
const std::u16string OkBox = u"MsgBox(0,Pennaroc)";
const std::u16string MainUnload = u"Form1.Form_Unload";
const std::u16string Injected = u"Injected failure";

std::u16string aux(const std::u16string &member, int view)
{
    return u"AuxCommands." + member + u"(" + text::number(view) + u",Pennaroc)";
}
std::u16string inToolbar(int view) { return aux(u"AuxCommandExistsInToolbar", view); }
std::u16string inMenu(int view) { return aux(u"AuxCommandExistsInToolsMenu", view); }
std::u16string addTb(int view) { return aux(u"AddAuxCommandToToolbar", view); }
std::u16string remTb(int view) { return aux(u"RemoveAuxCommandFromToolbar", view); }
std::u16string addMenu(int view) { return aux(u"AddAuxCommandToToolsMenu", view); }
std::u16string remMenu(int view) { return aux(u"RemoveAuxCommandFromToolsMenu", view); }

// The registration as the dialog makes it from where the program lies: the
// program folder and executable the rig's desktop gives (see Rig).
Lines registration(const std::u16string &prefix)
{
    if constexpr (integrate::nativePathForm() == integrate::PathForm::Windows)
        return {P, u"C:\\Program Files\\Pennaroc\\Pennaroc.EXE", u"C:\\Program Files\\Pennaroc", P, prefix + P,
                u"C:\\Program Files\\Pennaroc\\Pennaroc.ico", u"C:\\Program Files\\Pennaroc\\Pennaroc32.ico", u"1"};
    else
        return {P, u"/opt/pennaroc/Pennaroc", u"/opt/pennaroc", P, prefix + P, u"/opt/pennaroc/Pennaroc.ico",
                u"/opt/pennaroc/Pennaroc32.ico", u"1"};
}
std::u16string reg(const std::u16string &prefix = u"Click to launch ")
{
    std::u16string call;
    for (const std::u16string &value : registration(prefix))
        call += (call.empty() ? u"AuxCommands.AddAuxCommand(" : u",") + value;
    return call + u")";
}

// A load that finds the command nowhere.
Lines plainLoad()
{
    Lines calls{Create};
    for (int v = 1; v <= 6; ++v)
        calls.push_back(inToolbar(v));
    for (int v = 1; v <= 6; ++v)
        calls.push_back(inMenu(v));
    return calls;
}
Lines operator+(Lines a, const Lines &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::u16string report(std::int32_t number, const std::u16string &description, const std::u16string &procedure,
                      int line, const std::u16string &contact)
{
    return u"Error " + text::number(number) + u": '" + description + u"'\rin frmIntegrate: Sub " + procedure
        + u" - Line # " + text::number(line) + u"\r\r" + contact;
}

std::string placeOf(const forms::Twips &t)
{
    return std::to_string(t.left) + "," + std::to_string(t.top) + " " + std::to_string(t.width) + "x"
        + std::to_string(t.height);
}

const Lines English = integrate::englishTexts();
const Lines French = integrate::frenchTexts();

constexpr forms::FormSpec OwnerLayout{"Form1", u"", 3000, 2000};

// The dialog as the main window makes it, over a scripted host and desktop
// that write into one journal; the main window's unload routine is
// recorded there too.
struct Rig {
    Lines journal;
    RecordingFace face;
    FakeHost host;
    ScriptedPlatform desktop;
    forms::Form owner{OwnerLayout, face};
    struct MainUnloadSeen {
        bool dialogVisible;
        bool restartAct;
        bool auxHeld;
    };
    std::vector<MainUnloadSeen> mainUnloads;
    bool mainUnloadFails = false;
    std::function<void()> duringMainUnload;
    std::unique_ptr<clsFrmIntegrate> dlg;

    explicit Rig(std::int16_t language = 0)
    {
        program::RestartAct = false;
        host.journal = &journal;
        desktop.journal = &journal;
        if constexpr (integrate::nativePathForm() == integrate::PathForm::Windows) {
            desktop.programFolder = u"C:\\Program Files\\Pennaroc";
            desktop.executableName = u"Pennaroc.exe";
        }
        dlg = std::make_unique<clsFrmIntegrate>(
            face, host, desktop,
            [this] {
                journal.push_back(MainUnload);
                mainUnloads.push_back({dlg->form().isVisible(), program::RestartAct, !dlg->AuxCommands().isNothing()});
                if (duringMainUnload)
                    duringMainUnload();
                if (mainUnloadFails)
                    throw host::Failure(440, Injected);
            },
            owner.handle());
        dlg->setLanguage(language);
        dlg->setAppName(P);
        dlg->setContactScreen(true);
        dlg->setIntegrateIcon(forms::Icon::Program);
    }
    ~Rig()
    {
        dlg.reset();
        program::RestartAct = false;
    }

    forms::Form &form() const { return dlg->form(); }
    void open() { form().show(); }
    void clickLabel(int i) const { dlg->lblScreen(i).userClick(); }
    void clickClose() const { form().control("cmdOK").userClick(); }
    // Answers Yes to the restart question, whenever it comes.
    void answerYes()
    {
        desktop.whileMsgBoxOpen = [this](const ScriptedPlatform::Message &m) {
            if (m.style == platform::vbYesNo)
                desktop.msgBoxAnswers.push_back(platform::vbYes);
        };
    }
    std::vector<ScriptedPlatform::Message> reports() const
    {
        std::vector<ScriptedPlatform::Message> found;
        for (const auto &m : desktop.messages)
            if (m.text.rfind(u"Error ", 0) == 0)
                found.push_back(m);
        return found;
    }
    Lines since(std::size_t from) const { return Lines(journal.begin() + std::ptrdiff_t(from), journal.end()); }
    // The window's life as the face saw it.
    Lines life() const { return testsupport::only(face.told, {u"show", u"modal", u"hide", u"close", u"stuck"}); }
};

// --- texts, layout and fitting -------------------------------------------------

// Every text of each language, where the dialog shows it, and the names the
// boxes give screen readers (the view, then the place).
void texts()
{
    const Lines none(17);
    const struct {
        const char *name;
        std::int16_t language;
        Lines expected;
        std::array<std::u16string, 2> places;
    } rows[] = {
        {"0 English",
         0,
         {u"Please contact support@veltrane.example with this error message.", u"Click to launch ",
          u"You need to re-start ACT! for the changes to take effect!", u"Do you want to re-start it now?",
          u"Can't add icon or menu item automatically. You will need to proceed manually.", u"Integrate with ACT!",
          u"Contacts", u"Contact List", u"Groups", u"Task List", u"Calendars", u"E-mail",
          u"Toolbar Button added to the following Views :", u"Menu Item added to the following Views :", u"&Close",
          u"&Cancel", u"You will need to re-start ACT! to see the changes."},
         {u", Toolbar Button", u", Tools Menu Item"}},
        {"1 French",
         1,
         {u"S.V.P. contactez support@veltrane.example avec ce message.", u"Cliquez pour lancer ",
          u"Vous devez redémarrer ACT! pour que les changements soient pris en compte!",
          u"Voulez-vous redémarrez ACT! maintenant?",
          u"Impossible d'ajouter l'icône ou l'entrée du menu. Vous devrez le faire manuellement.",
          u"Intégration à ACT!", u"Contacts", u"Liste des contacts", u"Groupes", u"Liste des tâches", u"Agendas",
          u"E-mail", u"Bouton ajouté à la barre d'outils des écrans suivants : ",
          u"Entrée ajoutée au menu Outils des écrans suivants :", u"&Fermer", u"&Annuler",
          u"Vous devrez redémarrer ACT! pour que les changements soient pris en compte."},
         {u", Bouton de la barre d'outils", u", Entrée du menu Outils"}},
        {"2 none", 2, none, {}},
        {"-1 none", -1, none, {}},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig(r.language);
        rig.open();
        const clsFrmIntegrate &d = *rig.dlg;
        CHECK_EQ(d.Language(), r.language);
        CHECK_EQ(d.Texts(), r.expected);
        CHECK_EQ(rig.form().Caption(), r.expected[5]);
        CHECK_EQ(d.Frame1(0).Caption(), r.expected[12]);
        CHECK_EQ(d.Frame1(1).Caption(), r.expected[13]);
        Lines names;
        for (int i = 0; i < 12; ++i) {
            CHECK_EQ(d.lblScreen(i).Caption(), r.expected[6 + i % 6]);
            CHECK_EQ(d.chkScreen(i).Caption(), std::u16string()); // the box shows no text of its own
            const std::u16string &view = r.expected[6 + i % 6];
            CHECK_EQ(d.chkScreen(i).accessibleName(), view.empty() ? view : view + r.places[i / 6]);
            names.push_back(d.chkScreen(i).accessibleName());
        }
        if (r.language == 0 || r.language == 1) {
            std::sort(names.begin(), names.end());
            CHECK(std::adjacent_find(names.begin(), names.end()) == names.end()); // twelve different names
        }
        CHECK_EQ(rig.form().control("cmdOK").Caption(), r.expected[14]);
        CHECK_EQ(rig.form().control("cmdCancel").Caption(), r.expected[15]);
        CHECK_EQ(rig.form().control("lblRestart").Caption(), r.expected[16]);
        CHECK(rig.form().icon() == forms::Icon::Program);
        CHECK(rig.desktop.messages.empty());
        CHECK_EQ(rig.face.mismatches(rig.form()), std::u16string());
    }
}

// The table: places in twips within each container, Tab order (the toolbar
// boxes left to right, the Tools-menu boxes back from the last, then Close
// and Cancel), the keys' buttons, and the labels that report clicks.
void layout()
{
    Rig rig;
    const forms::Form &form = rig.form();
    CHECK_EQ(form.width(), 7020);
    CHECK_EQ(form.height(), 3240);
    CHECK_EQ(form.design().flags, unsigned(forms::NoFormFlags)); // over its owner
    CHECK_EQ(rig.face.peerOf(form).ownerId(), std::string("Form1"));
    CHECK_EQ(form.controls().size(), std::size_t(29));
    const struct {
        forms::Twips box, label;
        int tab;
    } pairs[12] = {
        {{210, 345, 255, 255}, {495, 375, 1200, 270}, 0},  {{1815, 345, 255, 255}, {2100, 375, 1470, 270}, 1},
        {{3600, 315, 255, 255}, {3870, 345, 1005, 270}, 2}, {{210, 690, 255, 255}, {495, 720, 1320, 270}, 3},
        {{1815, 690, 255, 255}, {2100, 720, 1470, 270}, 4}, {{3600, 660, 255, 255}, {3870, 690, 1020, 270}, 5},
        {{210, 345, 220, 255}, {495, 375, 930, 270}, 11},   {{1815, 345, 255, 255}, {2100, 375, 1500, 270}, 10},
        {{3630, 345, 255, 255}, {3900, 375, 930, 270}, 9},  {{210, 690, 255, 255}, {495, 720, 1320, 270}, 8},
        {{1815, 690, 255, 255}, {2100, 720, 1515, 270}, 7}, {{3630, 690, 255, 255}, {3900, 720, 930, 270}, 6},
    };
    for (int i = 0; i < 12; ++i) {
        check::Row row("pair " + std::to_string(i));
        const forms::Control &box = rig.dlg->chkScreen(i);
        const forms::Control &label = rig.dlg->lblScreen(i);
        const std::string frame = "Frame1_" + std::to_string(i / 6);
        CHECK(box.kind() == forms::Kind::Check && label.kind() == forms::Kind::Label);
        CHECK_EQ(std::string(box.design().container), frame);
        CHECK_EQ(std::string(label.design().container), frame);
        CHECK_EQ(placeOf(box.place()), placeOf(pairs[i].box));
        CHECK_EQ(placeOf(label.place()), placeOf(pairs[i].label));
        CHECK_EQ(box.design().tabIndex, pairs[i].tab);
        CHECK_EQ(label.design().tabIndex, -1);
        CHECK_EQ(box.design().flags, unsigned(forms::Tristate));
        CHECK_EQ(label.design().flags, unsigned(forms::ClickReported));
    }
    const struct {
        const char *id;
        forms::Kind kind;
        forms::Twips place;
        int tab;
        unsigned flags;
    } others[] = {
        {"Frame1_0", forms::Kind::Frame, {315, 240, 5115, 1185}, -1, 0},
        {"Frame1_1", forms::Kind::Frame, {315, 1575, 5130, 1185}, -1, 0},
        {"lblRestart", forms::Kind::Label, {495, 2850, 5670, 315}, -1, 0},
        {"cmdOK", forms::Kind::Button, {5820, 360, 1000, 325}, 12, forms::Default},
        {"cmdCancel", forms::Kind::Button, {5820, 840, 1000, 325}, 13, forms::Cancel},
    };
    for (const auto &o : others) {
        check::Row row(o.id);
        const forms::Control *c = form.find(o.id);
        if (!CHECK(c))
            continue;
        CHECK(c->kind() == o.kind);
        CHECK(c->design().container.empty());
        CHECK_EQ(placeOf(c->place()), placeOf(o.place));
        CHECK_EQ(c->design().tabIndex, o.tab);
        CHECK_EQ(c->design().flags, o.flags);
    }
    for (const auto &c : form.controls())
        CHECK(c->design().font == forms::Font{});
}

// A face whose font needs half as much room again as the design's.
class WideControlPeer : public testsupport::RecordingControlPeer {
public:
    using RecordingControlPeer::RecordingControlPeer;
    int neededWidth() const override { return RecordingControlPeer::neededWidth() * 3 / 2; }
};
class WideFormPeer : public testsupport::RecordingFormPeer {
public:
    using RecordingFormPeer::RecordingFormPeer;
    std::unique_ptr<forms::ControlPeer> createControl(forms::Control &control) override
    {
        return std::make_unique<WideControlPeer>(*this, control);
    }
};
class WideFace : public RecordingFace {
public:
    std::unique_ptr<forms::FormPeer> createForm(forms::Form &form, platform::WindowHandle owner) override
    {
        return std::make_unique<WideFormPeer>(*this, form, owner);
    }
};

bool overlap(const forms::Twips &a, const forms::Twips &b)
{
    return a.left < b.right() && b.left < a.right() && a.top < b.top + b.height && b.top < a.top + a.height;
}

// Every text whole in its control, nothing overlapping, everything inside
// what holds it, each box before its label on its row; wider, never taller.
void checkFitted(clsFrmIntegrate &d)
{
    const forms::Form &form = d.form();
    const std::string outer = check::currentRow();
    for (const auto &c : form.controls()) {
        check::Row row(outer + ", " + std::string(c->design().id));
        if (c->kind() == forms::Kind::Label || c->kind() == forms::Kind::Frame)
            CHECK(c->place().width >= c->neededWidth());
        CHECK_EQ(c->place().top, c->design().place.top);
        CHECK_EQ(c->place().height, c->design().place.height);
        const forms::Control *parent = c->design().container.empty() ? nullptr : form.find(c->design().container);
        CHECK(c->place().right() <= (parent ? parent->place().width : form.width()));
        CHECK(c->place().top + c->place().height <= (parent ? parent->place().height : form.height()));
        for (const auto &other : form.controls()) {
            if (other.get() != c.get() && other->design().container == c->design().container
                && overlap(c->place(), other->place()))
                CHECK_EQ(std::string(other->design().id), std::string("nothing overlapping"));
        }
    }
    for (int i = 0; i < 12; ++i)
        CHECK(d.chkScreen(i).place().right() <= d.lblScreen(i).place().left);
    CHECK(form.width() >= 7020);
    CHECK_EQ(form.height(), 3240);
}

// Loading fits the dialog to its texts as the face measures them. In the
// recording face the English texts keep the design exactly; the French
// ones widen their labels, move the pairs after them, and widen the frames,
// move the buttons and widen the dialog by as much.
void textsFit()
{
    const std::map<std::string, forms::Twips> french{
        {"chkScreen_2", {3750, 315, 255, 255}},   {"lblScreen_1", {2100, 375, 1620, 270}},
        {"lblScreen_2", {4020, 345, 1005, 270}},  {"lblScreen_3", {495, 720, 1440, 270}},
        {"chkScreen_4", {1935, 690, 255, 255}},   {"lblScreen_4", {2220, 720, 1470, 270}},
        {"chkScreen_5", {3720, 660, 255, 255}},   {"lblScreen_5", {3990, 690, 1020, 270}},
        {"Frame1_0", {315, 240, 5340, 1185}},     {"lblScreen_7", {2100, 375, 1620, 270}},
        {"chkScreen_8", {3750, 345, 255, 255}},   {"lblScreen_8", {4020, 375, 930, 270}},
        {"lblScreen_9", {495, 720, 1440, 270}},   {"chkScreen_10", {1935, 690, 255, 255}},
        {"lblScreen_10", {2220, 720, 1515, 270}}, {"chkScreen_11", {3750, 690, 255, 255}},
        {"lblScreen_11", {4020, 720, 930, 270}},  {"Frame1_1", {315, 1575, 5250, 1185}},
        {"cmdOK", {6030, 360, 1000, 325}},        {"cmdCancel", {6030, 840, 1000, 325}},
        {"lblRestart", {495, 2850, 6750, 315}},
    };
    const struct {
        const char *name;
        std::int16_t language;
        bool wide;
    } rows[] = {
        {"English", 0, false},
        {"French", 1, false},
        {"English in a wider face", 0, true},
        {"French in a wider face", 1, true},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        std::unique_ptr<RecordingFace> face =
            r.wide ? std::unique_ptr<RecordingFace>(std::make_unique<WideFace>()) : std::make_unique<RecordingFace>();
        FakeHost host;
        ScriptedPlatform desktop;
        clsFrmIntegrate d(*face, host, desktop, {});
        d.setLanguage(r.language);
        d.setAppName(P);
        d.form().show();
        CHECK_EQ(d.lblScreen(7).Caption(), (r.language ? French : English)[7]);
        checkFitted(d);
        CHECK_EQ(face->mismatches(d.form()), std::u16string());
        if (r.wide) {
            CHECK(d.form().width() > 7020);
            continue;
        }
        for (const auto &c : d.form().controls()) {
            const std::string id(c->design().id);
            const auto changed = french.find(id);
            const forms::Twips expected = r.language == 1 && changed != french.end() ? changed->second
                                                                                     : c->design().place;
            CHECK_EQ(id + " " + placeOf(c->place()), id + " " + placeOf(expected));
        }
        CHECK_EQ(d.form().width(), r.language == 1 ? 7445 : 7020);
        if (r.language == 0) // nothing was ever moved
            CHECK_EQ(testsupport::only(face->told, {u"place", u"size"}), Lines{});
    }
}

// --- loading -----------------------------------------------------------------------

// Each view's property enables both of its boxes.
void enabledStates()
{
    const struct {
        const char *name;
        std::array<bool, 6> on;
    } rows[] = {
        {"as the main window opens it", {true, false, false, false, false, false}},
        {"all", {true, true, true, true, true, true}},
        {"none", {false, false, false, false, false, false}},
        {"groups and e-mail", {false, false, true, false, false, true}},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig;
        clsFrmIntegrate &d = *rig.dlg;
        d.setContactScreen(r.on[0]), d.setContactListScreen(r.on[1]), d.setGroupScreen(r.on[2]);
        d.setTaskListScreen(r.on[3]), d.setCalendarsScreen(r.on[4]), d.setEmailScreen(r.on[5]);
        CHECK_EQ((std::array<bool, 6>{d.ContactScreen(), d.ContactListScreen(), d.GroupScreen(), d.TaskListScreen(),
                                      d.CalendarsScreen(), d.EmailScreen()}) == r.on, true);
        rig.open();
        for (int i = 0; i < 12; ++i)
            CHECK_EQ(d.chkScreen(i).Enabled(), r.on[i % 6]);
        CHECK_EQ(d.AppName(), P);
        CHECK(d.IntegrateIcon() == forms::Icon::Program);
    }
}

// A box that ACT! reports present changes, and its click handling runs
// (registration test and add request); the others run nothing. What ACT!
// has is no change of the user's: Close then asks nothing.
void loadReadsBoxesFromHost()
{
    Rig rig;
    rig.host.registered = {P};
    rig.host.toolbar = {{1, P}, {6, P}};
    rig.host.toolsMenu = {{2, P}};
    rig.host.placeResult = 9; // the add requests of loading are refused
    rig.open();
    CHECK_EQ(rig.journal, (Lines{Create, inToolbar(1), Exists, addTb(1), inToolbar(2), inToolbar(3), inToolbar(4),
                                 inToolbar(5), inToolbar(6), Exists, addTb(6), inMenu(1), inMenu(2), Exists,
                                 addMenu(2), inMenu(3), inMenu(4), inMenu(5), inMenu(6)}));
    for (int i = 0; i < 12; ++i)
        CHECK_EQ(rig.dlg->chkScreenValue(i), std::int16_t(i == 0 || i == 5 || i == 7 ? 1 : 0));
    CHECK(!rig.dlg->chkScreen(5).Enabled()); // disabled, and still checked
    CHECK(!rig.dlg->ScreensChanged());
    CHECK_EQ(rig.dlg->LastAuxResult(), 9);
    CHECK(rig.form().icon() == forms::Icon::Program);

    const std::size_t mark = rig.journal.size();
    rig.clickClose();
    CHECK_EQ(rig.since(mark), Lines{});
    CHECK(rig.form().isUnloaded());
    CHECK(rig.dlg->AuxCommands().isNothing());
}

// A load that fails ends with one report, in the language's contact line,
// and leaves the rest undone: the captions stay the English design's and
// the icon is not set. Without ACT!'s object, a box change then fails in its
// click handling, which still counts the change.
void loadFailures()
{
    const struct {
        const char *name;
        bool reachesAct;
        std::optional<std::int64_t> answer;
        bool toolsMenuOverflows;
        std::u16string report;
    } rows[] = {
        {"ACT! out of reach", false, std::nullopt, false,
         report(429, u"ActiveX component can't create object", u"Form_Load", 13980, French[0])},
        {"toolbar answer beyond 16 bits", true, 70000, false, report(6, u"Overflow", u"Form_Load", 14260, French[0])},
        {"Tools-menu answer beyond 16 bits", true, std::nullopt, true,
         report(6, u"Overflow", u"Form_Load", 14340, French[0])},
        {"answer that is no box state", true, 3, false,
         report(380, u"Invalid property value", u"Form_Load", 14260, French[0])},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig(1);
        rig.host.canCreateObjects = r.reachesAct;
        rig.host.existsAnswer = r.answer;
        if (r.toolsMenuOverflows)
            rig.host.failCall(u"AuxCommands.AuxCommandExistsInToolsMenu", 1, host::Failure::overflow());
        rig.open();
        if (CHECK_EQ(rig.desktop.messages.size(), std::size_t(1))) {
            CHECK_EQ(rig.desktop.messages[0].text, r.report);
            CHECK_EQ(rig.desktop.messages[0].title, P);
            CHECK_EQ(rig.desktop.messages[0].style, 0);
        }
        CHECK_EQ(rig.form().Caption(), English[5]);
        CHECK_EQ(rig.dlg->Frame1(1).Caption(), English[13]);
        CHECK_EQ(rig.dlg->lblScreen(7).Caption(), English[7]);
        CHECK_EQ(rig.dlg->chkScreen(7).accessibleName(), English[7] + u", Tools Menu Item");
        CHECK_EQ(rig.form().control("cmdOK").Caption(), English[14]);
        CHECK(rig.form().icon() == forms::Icon::None);
        CHECK(rig.form().isVisible());
        if (r.reachesAct)
            continue;
        CHECK_EQ(rig.journal, (Lines{Create, OkBox}));
        for (int i = 0; i < 12; ++i) // as designed: enabled, unchecked
            CHECK(rig.dlg->chkScreen(i).Enabled() && rig.dlg->chkScreenValue(i) == 0);
        rig.clickLabel(4);
        CHECK_EQ(rig.dlg->chkScreenValue(4), std::int16_t(1));
        if (CHECK_EQ(rig.desktop.messages.size(), std::size_t(2)))
            CHECK_EQ(rig.desktop.messages[1].text, report(91, u"Object variable or With block variable not set",
                                                          u"chkScreen_Click", 15020, French[0]));
        CHECK(rig.dlg->ScreensChanged());
    }
}

// --- box changes -----------------------------------------------------------------------

// A label toggles its box, even when the box is disabled; greyed becomes
// checked.
void labelToggles()
{
    const struct {
        const char *name;
        int index;
        bool enabled;
        std::int16_t before, after;
        std::u16string request;
    } rows[] = {
        {"unchecked becomes checked", 0, true, 0, 1, addTb(1)},
        {"checked becomes unchecked", 6, true, 1, 0, remMenu(1)},
        {"greyed becomes checked", 0, true, 2, 1, addTb(1)},
        {"disabled view, unchecked", 3, false, 0, 1, addTb(4)},
        {"disabled view, checked", 11, false, 1, 0, remMenu(6)},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig;
        rig.host.registered = {P};
        rig.open();
        rig.dlg->setChkScreenValue(r.index, r.before);
        CHECK_EQ(rig.dlg->chkScreen(r.index).Enabled(), r.enabled);
        const std::size_t mark = rig.journal.size();
        rig.clickLabel(r.index);
        CHECK_EQ(rig.dlg->chkScreenValue(r.index), r.after);
        CHECK_EQ(rig.since(mark), (Lines{Exists, r.request}));
        CHECK(rig.dlg->ScreensChanged());
    }
}

// A click on a box toggles checked and unchecked, never through greyed, and
// each change is handled once; setting the state a box has runs nothing,
// a disabled box takes no click, and no state but 0, 1, 2 is taken.
void boxClicks()
{
    Rig rig;
    rig.host.registered = {P};
    rig.open();
    forms::Control &box = rig.dlg->chkScreen(0);
    box.userClick();
    CHECK_EQ(rig.dlg->chkScreenValue(0), std::int16_t(1));
    box.userClick();
    CHECK_EQ(rig.dlg->chkScreenValue(0), std::int16_t(0));
    rig.dlg->setChkScreenValue(0, 2);
    box.userClick();
    CHECK_EQ(rig.dlg->chkScreenValue(0), std::int16_t(1));
    box.userClick();
    CHECK_EQ(rig.dlg->chkScreenValue(0), std::int16_t(0));
    CHECK_EQ(rig.host.countOf(u"AuxCommands.AuxCommandExists"), 5);

    const std::size_t mark = rig.journal.size();
    rig.dlg->setChkScreenValue(0, 0);
    rig.dlg->chkScreen(1).userClick();
    CHECK_EQ(rig.dlg->chkScreenValue(1), std::int16_t(0));
    CHECK_FAILS(rig.dlg->setChkScreenValue(0, 3), 380);
    CHECK_FAILS(rig.dlg->setChkScreenValue(0, -1), 380);
    CHECK_EQ(rig.dlg->chkScreenValue(0), std::int16_t(0));
    CHECK_EQ(rig.since(mark), Lines{});
    CHECK_EQ(rig.face.mismatches(rig.form()), std::u16string());
}

// Each box's changes become its view's requests: boxes 0 to 5 the toolbar of
// views 1 to 6, boxes 6 to 11 the Tools menu of views 1 to 6; greyed counts
// as checked.
void boxRequests()
{
    for (int i = 0; i < 12; ++i) {
        check::Row row("box " + std::to_string(i));
        const int view = i < 6 ? i + 1 : i - 5;
        const std::u16string add = i < 6 ? addTb(view) : addMenu(view);
        const std::u16string remove = i < 6 ? remTb(view) : remMenu(view);
        Rig rig;
        rig.host.registered = {P};
        rig.open();
        const std::size_t mark = rig.journal.size();
        rig.dlg->setChkScreenValue(i, 1);
        rig.dlg->setChkScreenValue(i, 0);
        rig.dlg->setChkScreenValue(i, 2);
        CHECK_EQ(rig.since(mark), (Lines{Exists, add, Exists, remove, Exists, add}));
        CHECK_EQ(rig.dlg->LastAuxResult(), 0);
    }
}

// The command is registered, with its eight values, before it is placed or
// removed, whenever ACT! does not know it.
void registersBeforePlacing()
{
    Rig rig(1);
    rig.open();
    std::size_t mark = rig.journal.size();
    rig.clickLabel(0);
    CHECK_EQ(rig.since(mark), (Lines{Exists, reg(u"Cliquez pour lancer "), addTb(1)}));
    CHECK_EQ(rig.host.lastRegistration, registration(u"Cliquez pour lancer "));
    rig.host.registered.clear();
    mark = rig.journal.size();
    rig.clickLabel(0);
    CHECK_EQ(rig.since(mark), (Lines{Exists, reg(u"Cliquez pour lancer "), remTb(1)}));
    CHECK(rig.desktop.messages.empty());

    // A refused registration is told at once, in the language's words,
    // and the click goes on with its request.
    rig.host.registered.clear();
    rig.host.addAuxCommandResult = 5;
    mark = rig.journal.size();
    rig.clickLabel(6);
    CHECK_EQ(rig.since(mark), (Lines{Exists, reg(u"Cliquez pour lancer "), OkBox, addMenu(1)}));
    if (CHECK_EQ(rig.desktop.messages.size(), std::size_t(1)))
        CHECK_EQ(rig.desktop.messages[0].text, French[4]);

    Rig english;
    english.open();
    english.clickLabel(6);
    CHECK_EQ(english.host.lastRegistration, registration(u"Click to launch "));
}

// --- closing ---------------------------------------------------------------------------

// Close after the clicks: nothing to ask without a change; a refused request
// is told instead of the question; otherwise the restart question, after
// which the boxes are read again; Yes restarts ACT! through the main
// window, with the dialog hidden, before the dialog unloads.
void closeFlows()
{
    const std::u16string ask = English[2] + u"\r\n" + English[3];
    Lines reloadGone = plainLoad();
    reloadGone.insert(reloadGone.begin() + 2, {Exists, remTb(1)});
    const struct {
        const char *name;
        std::vector<int> labels;
        std::int32_t addResult, placeResult;
        int answer;
        bool hostChangesMeanwhile;
        Lines expected;
        Lines texts;
    } rows[] = {
        {"no change", {}, 0, 0, 0, false, {}, {}},
        {"answer No", {0}, 0, 0, platform::vbNo, false, Lines{Exists, reg(), addTb(1), Question} + plainLoad(), {ask}},
        {"answer Yes", {0}, 0, 0, platform::vbYes, false,
         Lines{Exists, reg(), addTb(1), Question} + plainLoad() + Lines{MainUnload}, {ask}},
        {"refused place request told at Close", {0}, 0, 3, 0, false, {Exists, reg(), addTb(1), OkBox}, {English[4]}},
        {"refused registration told at once, then the question", {0}, 5, 0, platform::vbNo, false,
         Lines{Exists, reg(), OkBox, addTb(1), Question} + plainLoad(), {English[4], ask}},
        {"check then uncheck", {0, 0}, 0, 0, platform::vbNo, false,
         Lines{Exists, reg(), addTb(1), Exists, remTb(1), Question} + plainLoad(), {ask}},
        {"ACT! changed while the question was open: the reload applies it", {0}, 0, 0, platform::vbNo, true,
         Lines{Exists, reg(), addTb(1), Question} + reloadGone, {ask}},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig;
        rig.host.addAuxCommandResult = r.addResult;
        rig.open();
        rig.host.placeResult = r.placeResult;
        const std::size_t mark = rig.journal.size();
        for (int index : r.labels)
            rig.clickLabel(index);
        if (r.answer)
            rig.desktop.msgBoxAnswers.push_back(r.answer);
        if (r.hostChangesMeanwhile)
            rig.desktop.whileMsgBoxOpen = [&rig](const ScriptedPlatform::Message &) { rig.host.toolbar.clear(); };
        rig.clickClose();

        CHECK_EQ(rig.since(mark), r.expected);
        Lines shown;
        for (const auto &m : rig.desktop.messages) {
            shown.push_back(m.text);
            CHECK_EQ(m.title, P);
            CHECK_EQ(m.style, m.text == ask ? int(platform::vbYesNo) : int(platform::vbOKOnly));
        }
        CHECK_EQ(shown, r.texts);
        CHECK(rig.dlg->AuxCommands().isNothing());
        const bool restart = r.answer == platform::vbYes;
        CHECK_EQ(program::RestartAct, restart);
        CHECK_EQ(rig.life(), (restart ? Lines{u"show frmIntegrate", u"hide frmIntegrate", u"close frmIntegrate"}
                                      : Lines{u"show frmIntegrate", u"close frmIntegrate"}));
        if (CHECK_EQ(rig.mainUnloads.size(), std::size_t(restart ? 1 : 0)) && restart) {
            CHECK(!rig.mainUnloads[0].dialogVisible); // hidden before the main window's routine
            CHECK(rig.mainUnloads[0].restartAct);
            CHECK(rig.mainUnloads[0].auxHeld); // and unloaded only after it
        }
        if (r.answer) {
            CHECK_EQ(int(rig.dlg->RestartAnswer()), r.answer);
            CHECK(!rig.dlg->ScreensChanged()); // the reload cleared it
        }
    }
}

// Close and Enter ask (the change is there); Cancel, Escape and the close
// box close without asking. The dialog loads once per opening and unloads
// once, releasing ACT!'s object.
void waysOfClosing()
{
    const struct {
        const char *name;
        void (*act)(clsFrmIntegrate &);
        bool asks;
    } rows[] = {
        {"Close", [](clsFrmIntegrate &d) { d.form().control("cmdOK").userClick(); }, true},
        {"Enter presses Close", [](clsFrmIntegrate &d) { d.form().userEnter(); }, true},
        {"Cancel", [](clsFrmIntegrate &d) { d.form().control("cmdCancel").userClick(); }, false},
        {"Escape presses Cancel", [](clsFrmIntegrate &d) { d.form().userEscape(); }, false},
        {"close box", [](clsFrmIntegrate &d) { d.form().userClose(); }, false},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig;
        rig.face.whileModalOf["frmIntegrate"] = [&](forms::Form &form) {
            CHECK_EQ(rig.host.countOf(u"CreateObject"), 1);
            CHECK(!rig.dlg->AuxCommands().isNothing());
            rig.clickLabel(6);
            CHECK(rig.host.toolsMenu.count({1, P}) == 1);
            r.act(*rig.dlg);
            CHECK(form.isUnloaded());
        };
        rig.dlg->showModal();
        CHECK_EQ(rig.desktop.messages.size(), std::size_t(r.asks ? 1 : 0));
        CHECK_EQ(rig.life(), (Lines{u"modal frmIntegrate", u"close frmIntegrate"}));
        CHECK(rig.dlg->AuxCommands().isNothing());
        CHECK(!program::RestartAct);
        CHECK(rig.mainUnloads.empty());
    }
}

// Yes from the modal show ends the show once the dialog unloads; the main
// window's routine may unload the dialog itself, and the restart path then
// stops cleanly, with no second unload and no report.
void restartPaths()
{
    for (const bool routineUnloads : {false, true}) {
        check::Row row(routineUnloads ? "the routine unloads the dialog" : "from the modal show");
        Rig rig;
        rig.desktop.msgBoxAnswers.push_back(platform::vbYes);
        if (routineUnloads)
            rig.duringMainUnload = [&rig] { rig.form().unload(); };
        rig.face.whileModalOf["frmIntegrate"] = [&rig](forms::Form &) {
            rig.clickLabel(0);
            rig.clickClose();
        };
        rig.dlg->showModal();
        CHECK(program::RestartAct);
        CHECK_EQ(rig.mainUnloads.size(), std::size_t(1));
        CHECK_EQ(rig.life(), (Lines{u"modal frmIntegrate", u"hide frmIntegrate", u"close frmIntegrate"}));
        CHECK_EQ(rig.desktop.messages.size(), std::size_t(1)); // the question only
        CHECK_EQ(rig.journal.back(), MainUnload);
        CHECK(rig.dlg->AuxCommands().isNothing());
    }
}

// --- failures --------------------------------------------------------------------------

// Each host call of each scenario fails in turn: one report, naming the
// trapped procedure and the statement, with AppName as title and the
// language's contact line; the caller goes on, and the dialog stays open
// (the restart path still closes it).
void faultSweep()
{
    // Where a failure of each member is reported.
    const std::map<std::u16string, std::pair<std::u16string, int>> trapOf{
        {u"CreateObject", {u"Form_Load", 13980}},
        {u"AuxCommands.AuxCommandExistsInToolbar", {u"Form_Load", 14260}},
        {u"AuxCommands.AuxCommandExistsInToolsMenu", {u"Form_Load", 14340}},
        {u"AuxCommands.AuxCommandExists", {u"chkScreen_Click", 15020}},
        {u"AuxCommands.AddAuxCommand", {u"CheckCommand", 15680}},
        {u"AuxCommands.RemoveAuxCommandFromToolbar", {u"chkScreen_Click", 15080}},
        {u"AuxCommands.AddAuxCommandToToolbar", {u"chkScreen_Click", 15120}},
        {u"AuxCommands.RemoveAuxCommandFromToolsMenu", {u"chkScreen_Click", 15200}},
        {u"AuxCommands.AddAuxCommandToToolsMenu", {u"chkScreen_Click", 15240}},
    };
    struct Scenario {
        const char *name;
        int clicks;
        void (*run)(Rig &);
    };
    const Scenario scenarios[] = {
        {"load finds the command placed, not registered", 0,
         [](Rig &rig) {
             rig.host.toolbar = rig.host.toolsMenu = {{1, P}};
             rig.open();
         }},
        {"check box 6, nothing registered", 1, [](Rig &rig) { rig.open(), rig.clickLabel(6); }},
        {"uncheck boxes 0 and 6", 2,
         [](Rig &rig) {
             rig.host.registered = {P};
             rig.host.toolbar = rig.host.toolsMenu = {{1, P}};
             rig.open(), rig.clickLabel(0), rig.clickLabel(6);
         }},
        {"a change, Close, Yes", 1,
         [](Rig &rig) {
             rig.answerYes();
             rig.open(), rig.clickLabel(0), rig.clickClose();
         }},
    };
    // The call made right after the report, where the caller goes on.
    const std::map<std::pair<int, std::u16string>, std::u16string> then{
        {{0, u"AuxCommands.AuxCommandExists#1"}, inToolbar(2)},
        {{0, u"AuxCommands.AddAuxCommand#1"}, addTb(1)},
        {{0, u"AuxCommands.AddAuxCommandToToolbar#1"}, inToolbar(2)},
        {{0, u"AuxCommands.AddAuxCommandToToolsMenu#1"}, inMenu(2)},
        {{1, u"AuxCommands.AddAuxCommand#1"}, addMenu(1)},
        {{2, u"AuxCommands.RemoveAuxCommandFromToolbar#1"}, Exists},
        {{3, u"CreateObject#2"}, MainUnload},
        {{3, u"AuxCommands.AuxCommandExistsInToolbar#7"}, MainUnload},
    };
    int swept = 0;
    for (int s = 0; s < 4; ++s) {
        const Scenario &scenario = scenarios[s];
        Rig clean;
        scenario.run(clean);
        CHECK(clean.reports().empty());
        std::map<std::u16string, int> seen;
        for (const std::u16string &member : clean.host.callNames()) {
            const int occurrence = ++seen[member];
            const std::u16string key = member + u"#" + text::number(occurrence);
            const auto language = std::int16_t(swept++ % 3);
            check::Row row(std::string(scenario.name) + ": " + text::utf8(key) + ", language "
                           + std::to_string(language));
            Rig rig(language);
            rig.host.failCall(member, occurrence);
            scenario.run(rig);

            const std::u16string contact = language == 0 ? English[0] : language == 1 ? French[0] : u"";
            const auto trap = trapOf.find(member);
            if (!CHECK(trap != trapOf.end()))
                continue;
            // A load that could not create ACT!'s object leaves every click
            // of the scenario to fail on it too.
            const bool noObject = member == u"CreateObject" && occurrence == 1;
            const std::vector<ScriptedPlatform::Message> reports = rig.reports();
            if (!CHECK_EQ(reports.size(), std::size_t(1 + (noObject ? scenario.clicks : 0))))
                continue;
            CHECK_EQ(reports[0].text, report(440, Injected, trap->second.first, trap->second.second, contact));
            for (std::size_t k = 1; k < reports.size(); ++k)
                CHECK_EQ(reports[k].text, report(91, u"Object variable or With block variable not set",
                                                 u"chkScreen_Click", 15020, contact));
            for (const auto &m : reports) {
                CHECK_EQ(m.title, P);
                CHECK_EQ(m.style, 0);
            }
            if (const auto next = then.find({s, key}); next != then.end()) {
                const auto box = std::find(rig.journal.begin(), rig.journal.end(), OkBox);
                CHECK(box != rig.journal.end() && box + 1 != rig.journal.end() && *(box + 1) == next->second);
            }
            CHECK_EQ(rig.form().isUnloaded(), s == 3);
            CHECK_EQ(rig.form().isVisible(), s != 3);
            CHECK_EQ(program::RestartAct, s == 3);
            CHECK_EQ(rig.mainUnloads.size(), std::size_t(s == 3 ? 1 : 0));
        }
    }
    CHECK(swept > 70);

    // The main window's routine fails: Message reports it, and the dialog
    // still closes.
    check::Row row("the main window's routine fails");
    Rig rig;
    rig.mainUnloadFails = true;
    scenarios[3].run(rig);
    if (CHECK_EQ(rig.reports().size(), std::size_t(1)))
        CHECK_EQ(rig.reports()[0].text, report(440, Injected, u"Message", 15540, English[0]));
    CHECK(program::RestartAct);
    CHECK_EQ(rig.life(), (Lines{u"show frmIntegrate", u"hide frmIntegrate", u"close frmIntegrate"}));
}

// Two failures in one click or Close. A failed registration is reported by
// CheckCommand, and the click goes on with its place request, whose own
// failure is a second report under the click's label. A report that fails
// while it is shown is not trapped again: it ends the procedure that called
// the reporting one.
void twoFailures()
{
    struct Seen {
        std::int32_t number;
        const char16_t *description, *procedure;
        int line;
    };
    const struct {
        const char *name;
        int box;
        std::int32_t addResult, placeResult;
        bool registrationFails, placeFails, boxFails, close;
        std::vector<Seen> reports;
        bool placed;  // the click sent its place request
        bool visible; // the dialog is still open at the end
    } rows[] = {
        {"failed registration, then a failed toolbar request", 0, 0, 0, true, true, false, false,
         {{440, u"Injected failure", u"CheckCommand", 15680}, {440, u"Second failure", u"chkScreen_Click", 15120}},
         true, true},
        {"failed registration, then a failed Tools-menu request", 11, 0, 0, true, true, false, false,
         {{440, u"Injected failure", u"CheckCommand", 15680}, {440, u"Second failure", u"chkScreen_Click", 15240}},
         true, true},
        {"failure message of a refused registration fails", 0, 5, 0, false, false, true, false,
         {{7, u"Out of memory", u"MessAddFailed", 15800}}, true, true},
        {"failure message at Close fails", 0, 0, 3, false, false, true, true,
         {{7, u"Out of memory", u"MessAddFailed", 15800}}, true, false},
        {"restart question fails", 0, 0, 0, false, false, true, true, {{7, u"Out of memory", u"Message", 15380}},
         true, false},
        {"report of a failed registration fails: the click's trap ends it", 0, 0, 0, true, false, true, false,
         {{440, u"Injected failure", u"CheckCommand", 15680}, {7, u"Out of memory", u"chkScreen_Click", 15020}},
         false, true},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig;
        rig.dlg->setEmailScreen(true);
        rig.open();
        rig.host.addAuxCommandResult = r.addResult;
        rig.host.placeResult = r.placeResult;
        if (r.registrationFails)
            rig.host.failCall(u"AuxCommands.AddAuxCommand");
        const std::u16string place = r.box < 6 ? addTb(r.box + 1) : addMenu(r.box - 5);
        if (r.placeFails)
            rig.host.duringCall = [&](const std::u16string &) {
                if (rig.host.calls.back() == place)
                    throw host::Failure(440, u"Second failure");
            };
        bool failed = !r.boxFails;
        rig.desktop.whileMsgBoxOpen = [&failed](const ScriptedPlatform::Message &) {
            if (!failed) {
                failed = true;
                throw host::Failure(7, u"Out of memory");
            }
        };
        const std::size_t mark = rig.journal.size();
        rig.clickLabel(r.box);
        if (r.placeFails)
            CHECK_EQ(rig.since(mark), (Lines{Exists, reg(), OkBox, place, OkBox}));
        if (r.close)
            rig.clickClose();
        CHECK(failed);
        if (CHECK_EQ(rig.reports().size(), r.reports.size())) {
            for (std::size_t i = 0; i < r.reports.size(); ++i) {
                const Seen &seen = r.reports[i];
                CHECK_EQ(rig.reports()[i].text,
                         report(seen.number, seen.description, seen.procedure, seen.line, English[0]));
                CHECK_EQ(rig.reports()[i].title, P);
            }
        }
        CHECK_EQ(rig.host.countOf(place.substr(0, place.find(u'('))), r.placed ? 1 : 0);
        CHECK_EQ(rig.dlg->chkScreenValue(r.box), std::int16_t(1)); // the user's state stays
        CHECK(rig.dlg->ScreensChanged()); // no reload cleared it
        CHECK_EQ(rig.form().isVisible(), r.visible);
        CHECK_EQ(rig.form().isUnloaded(), !r.visible);
        // A failed question is no answer: nothing reloads, ACT! stays.
        CHECK_EQ(rig.host.countOf(u"CreateObject"), 1);
        CHECK(!program::RestartAct);
        CHECK(rig.mainUnloads.empty());
    }
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"texts", texts},
                          {"layout", layout},
                          {"textsFit", textsFit},
                          {"enabledStates", enabledStates},
                          {"loadReadsBoxesFromHost", loadReadsBoxesFromHost},
                          {"loadFailures", loadFailures},
                          {"labelToggles", labelToggles},
                          {"boxClicks", boxClicks},
                          {"boxRequests", boxRequests},
                          {"registersBeforePlacing", registersBeforePlacing},
                          {"closeFlows", closeFlows},
                          {"waysOfClosing", waysOfClosing},
                          {"restartPaths", restartPaths},
                          {"faultSweep", faultSweep},
                          {"twoFailures", twoFailures},
                      });
}
