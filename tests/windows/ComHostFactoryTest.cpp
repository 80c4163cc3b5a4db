// The program's host interfaces (host/ActHost.h) over COM, as the program
// uses them, through host::HostFactory only, against the test server: the
// start-up chain, texts and by-reference values both ways, the auxiliary
// commands' arguments in their places, events with their arguments on this
// thread, and every failure with the core's number and description.

#include "host/ActHost.h"
#include "host/com/ComHostFactory.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"

#include <functional>
#include <memory>
#include <optional>

using host::EventArgument;
using host::Failure;
using host::HostFactory;
using host::com::ComHostFactory;
using testserver::Argument;
using testserver::Control;
using testserver::pumpUntil;

namespace {

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

bool contains(const std::u16string &text, const std::u16string &part) { return text.find(part) != std::u16string::npos; }

std::shared_ptr<host::SalesList> salesList(HostFactory &factory)
{
    return factory.createAppObject()->Views()->Create(1, u"CV")->Sales();
}

void checkAllReleased(Control &control)
{
    CHECK_EQ(control.liveObjects(), 0);
    CHECK_EQ(control.heldReferences(), 0);
    CHECK_EQ(control.sinks(), 0);
}

void checkCalls(Control &control, std::initializer_list<const wchar_t *> expected)
{
    const std::vector<std::wstring> calls = control.calls();
    CHECK_EQ(calls.size(), expected.size());
    std::size_t i = 0;
    for (const wchar_t *line : expected) {
        if (i < calls.size())
            CHECK_EQ(calls[i], std::wstring(line));
        ++i;
    }
}

// The program's start-up: the link test, the chain to the Sales/Opportunity
// list, the current row and its Details text, the database's name.
void startUpChain()
{
    Control control;
    {
        ComHostFactory com;
        HostFactory &factory = com;
        CHECK_EQ(factory.eventControl().Id1(0), 1);
        CHECK_EQ(factory.eventControl().Id3(), false);
        auto app = factory.createAppObject();
        app->OpenFile(u"");
        auto sales = app->Views()->Create(1, u"CV")->Sales();
        std::int32_t row = sales->GetCurrentRow();
        CHECK_EQ(row, 1);
        CHECK_EQ(sales->GetField(host::DetailsField, row), std::u16string(u"Call back in May"));
        CHECK_EQ(row, 1);
        CHECK_EQ(app->GetOpenDBName(), std::u16string(u"C:\\ACT\\Database\\Demo.dbf"));
        checkCalls(control, {L"ActEvent.Id1(VT_I4 0)", L"ActEvent.Id3()", L"ActApp.OpenFile(VT_BSTR \"\")",
                             L"ActApp.Views()", L"ActViews.Create(VT_I2 1, VT_BSTR \"CV\")", L"ContactView.Sales()",
                             L"SalesList.GetCurrentRow()", L"SalesList.GetField(VT_I2 36, VT_I4|VT_BYREF 1)",
                             L"ActApp.GetOpenDBName()"});
    }
    checkAllReleased(control);
}

// SetField sends the text unit for unit, and the host's values of the row
// and the text come back into the caller's variables.
void setFieldByReference()
{
    struct Row {
        const char *name;
        std::u16string text;
        std::optional<std::pair<std::int32_t, std::u16string>> hostWritesBack;
    };
    const Row rows[] = {
        {"plain", u"Call back in May [[C:\\Quotes\\Quote.txt]]", std::nullopt},
        {"empty", u"", std::nullopt},
        {"beyond Latin-1 and the BMP", u"D\u00e9j\u00e0 \u20ac \u4e2d \U0001F600", std::nullopt},
        {"NUL inside", std::u16string(u"before\0after", 12), std::nullopt},
        {"unpaired surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", std::nullopt},
        {"written back", u"as the program wrote it", std::make_pair(-3, std::u16string(u"kept \U0001F600 so"))},
    };
    Control control;
    {
        ComHostFactory com;
        auto sales = salesList(com);
        for (const Row &r : rows) {
            std::printf("  %s\n", r.name);
            if (r.hostWritesBack)
                control.writeBack(r.hostWritesBack->first, wide(r.hostWritesBack->second));
            std::int32_t row = 2;
            std::u16string text = r.text;
            CHECK_EQ(sales->SetField(host::DetailsField, row, text), 0);
            CHECK(control.details(2) == wide(r.text));
            CHECK_EQ(row, r.hostWritesBack ? r.hostWritesBack->first : 2);
            CHECK(text == (r.hostWritesBack ? r.hostWritesBack->second : r.text));
            std::int32_t readRow = 2;
            if (!r.hostWritesBack)
                CHECK(sales->GetField(host::DetailsField, readRow) == r.text);
        }
        control.clearCalls();
        std::int32_t row = 2;
        std::u16string text = u"new text";
        sales->SetField(host::DetailsField, row, text);
        checkCalls(control, {L"SalesList.SetField(VT_I2 36, VT_I4|VT_BYREF 2, VT_BSTR|VT_BYREF \"new text\")"});
    }
    checkAllReleased(control);
}

// Each of the eight texts of a registration reaches the host in its place,
// and the placement calls answer as the host does.
void auxiliaryCommands()
{
    Control control;
    {
        ComHostFactory com;
        auto aux = static_cast<HostFactory &>(com).createAuxCommands();
        CHECK_EQ(aux->AuxCommandExists(u"Pennaroc"), 0);
        CHECK_EQ(aux->AddAuxCommand(u"Pennaroc", u"C:\\P\\Pennaroc.EXE", u"C:\\P", u"Penn\u00e0roc",
                                    u"Click to launch", u"C:\\P\\Pennaroc.ico", u"C:\\P\\Pennaroc32.ico", 1),
                 0);
        CHECK_EQ(control.registration(L"Pennaroc"),
                 std::wstring(L"Pennaroc|C:\\P\\Pennaroc.EXE|C:\\P|Penn\u00e0roc|Click to launch|C:\\P\\Pennaroc.ico|"
                              L"C:\\P\\Pennaroc32.ico|1"));
        CHECK_EQ(aux->AuxCommandExists(u"Pennaroc"), 1);
        CHECK_EQ(aux->AddAuxCommandToToolbar(3, u"Pennaroc"), 0);
        CHECK_EQ(aux->AuxCommandExistsInToolbar(3, u"Pennaroc"), 1);
        CHECK_EQ(aux->AuxCommandExistsInToolsMenu(3, u"Pennaroc"), 0);
        CHECK_EQ(aux->AddAuxCommandToToolsMenu(4, u"Pennaroc"), 0);
        CHECK_EQ(aux->AuxCommandExistsInToolsMenu(4, u"Pennaroc"), 1);
        CHECK_EQ(aux->RemoveAuxCommandFromToolbar(3, u"Pennaroc"), 0);
        CHECK_EQ(aux->RemoveAuxCommandFromToolsMenu(4, u"Pennaroc"), 0);
        CHECK_EQ(aux->AuxCommandExistsInToolbar(3, u"Pennaroc"), 0);
        CHECK_EQ(aux->AuxCommandExistsInToolsMenu(4, u"Pennaroc"), 0);
    }
    checkAllReleased(control);
}

struct Received {
    std::int16_t id;
    std::vector<EventArgument> args;
    DWORD thread;
};

// Events reach the handler on this thread, through its message loop, with
// each kind of argument as its EventArgument alternative.
void events()
{
    struct Row {
        const char *name;
        std::function<void(Control &, HostFactory &)> raise;
        std::int16_t id;
        std::vector<EventArgument> args;
    };
    const Row rows[] = {
        {"current record changed", [](Control &c, HostFactory &) { c.setCurrentRow(3); }, 22, {std::int32_t(3)}},
        {"database closed", [](Control &, HostFactory &f) { f.createAppObject()->Command(host::CloseCommand); }, 10,
         {}},
        {"no argument", [](Control &c, HostFactory &) { c.raiseEvent(0); }, 0, {}},
        {"32-bit number", [](Control &c, HostFactory &) { c.raiseEvent(22, -2147483647 - 1); }, 22,
         {std::int32_t(-2147483647 - 1)}},
        {"text", [](Control &c, HostFactory &) { c.raiseEvent(5, Argument::text(L"D\u00e9j\u00e0 \U0001F600")); }, 5,
         {std::u16string(u"D\u00e9j\u00e0 \U0001F600")}},
        {"Boolean", [](Control &c, HostFactory &) { c.raiseEvent(7, Argument::boolean(true)); }, 7, {true}},
        {"double", [](Control &c, HostFactory &) { c.raiseEvent(9, Argument::int32(5), VT_R8); }, 9, {5.0}},
        {"16-bit number", [](Control &c, HostFactory &) { c.raiseEvent(11, Argument::int16(-7)); }, 11,
         {std::int32_t(-7)}},
    };
    Control control;
    {
        ComHostFactory com;
        HostFactory &factory = com;
        std::vector<Received> received;
        factory.eventControl().setHandler([&](std::int16_t id, const std::vector<EventArgument> &args) {
            received.push_back({id, args, GetCurrentThreadId()});
        });
        CHECK_EQ(control.sinks(), 1);
        for (const Row &r : rows) {
            std::printf("  %s\n", r.name);
            received.clear();
            r.raise(control, factory);
            CHECK(pumpUntil([&] { return !received.empty(); }, 5000));
            if (!CHECK_EQ(received.size(), std::size_t(1)))
                continue;
            CHECK_EQ(received[0].id, r.id);
            CHECK_EQ(received[0].thread, GetCurrentThreadId());
            CHECK_EQ(received[0].args.size(), r.args.size());
            CHECK(received[0].args == r.args);
        }
    }
    checkAllReleased(control);
}

// The handler ends the program's use of the host, the factory included, as
// the main window's unload does: later events go nowhere.
void handlerEndsTheFactory()
{
    Control control;
    std::unique_ptr<HostFactory> factory = std::make_unique<ComHostFactory>();
    int calls = 0;
    factory->eventControl().setHandler([&](std::int16_t, const std::vector<EventArgument> &) {
        ++calls;
        factory.reset();
    });
    control.raiseEvent(22, 4);
    control.raiseEvent(10);
    CHECK(pumpUntil([&] { return !factory; }, 5000));
    pumpUntil([] { return false; }, 500);
    CHECK_EQ(calls, 1);
    CHECK(pumpUntil([&] { return control.sinks() == 0; }, 5000));
}

// Each failure comes through as host::Failure with the core's number and
// description.
void failures()
{
    struct Row {
        const char *name;
        host::com::Host::Options options;
        std::function<void(Control &)> scene;
        std::function<void(HostFactory &)> call;
        std::int32_t number;
        std::u16string text;
    };
    host::com::Host::Options standard;
    host::com::Host::Options missing;
    missing.appObjectProgId = L"ACTOLE.NOSUCHOBJECT";
    missing.eventControlProgId = L"ACTEVENTLib.NoSuchControl";
    const Row rows[] = {
        {"application refused", standard, [](Control &c) { c.refuseCreation(L"ACTOLE.APPOBJECT"); },
         [](HostFactory &f) { f.createAppObject(); }, Failure::CannotCreateObject,
         u"\"ACTOLE.APPOBJECT\" cannot be created (ACT! did not make it: "},
        {"commands refused", standard, [](Control &c) { c.refuseCreation(L"ACTOLE.AUXCMDS"); },
         [](HostFactory &f) { f.createAuxCommands(); }, Failure::CannotCreateObject,
         u"\"ACTOLE.AUXCMDS\" cannot be created (ACT! did not make it: "},
        {"not registered", missing, [](Control &) {}, [](HostFactory &f) { f.createAppObject(); },
         Failure::CannotCreateObject, u"\"ACTOLE.NOSUCHOBJECT\" cannot be created (it is not registered"},
        {"no event control", missing, [](Control &) {}, [](HostFactory &f) { f.eventControl().Id2(); },
         Failure::CannotCreateObject, u"\"ACTEVENTLib.NoSuchControl\" cannot be created"},
        {"the host's error", standard,
         [](Control &c) { c.inject(L"ActApp.Views", testserver::Fail, L"Verrouill\u00e9 \U0001F512"); },
         [](HostFactory &f) { f.createAppObject()->Views(); }, Failure::AutomationError,
         u"Automation error (Views: Verrouill\u00e9 \U0001F512)"},
        {"the host's refusal", standard, [](Control &) {},
         [](HostFactory &f) {
             std::int32_t row = 99;
             salesList(f)->GetField(host::DetailsField, row);
         },
         Failure::AutomationError, u"Automation error (GetField: there is no record 99)"},
        {"too large for 16 bits", standard,
         [](Control &c) { c.inject(L"AuxCommands.AuxCommandExists", testserver::TooLarge); },
         [](HostFactory &f) { f.createAuxCommands()->AuxCommandExists(u"Pennaroc"); }, Failure::Overflow,
         u"Overflow"},
        {"wrong type", standard, [](Control &c) { c.inject(L"ActEvent.Id1", testserver::WrongType); },
         [](HostFactory &f) { f.eventControl().Id1(0); }, Failure::TypeMismatch, u"Type mismatch: Id1 answered VT_BSTR"},
    };
    for (const Row &r : rows) {
        std::printf("  %s\n", r.name);
        Control control;
        r.scene(control);
        ComHostFactory factory(r.options);
        CHECK_THROWS_AS(r.call(factory), Failure, [&](const Failure &e) {
            CHECK_EQ(e.number(), r.number);
            if (!CHECK(contains(e.description(), r.text)))
                std::printf("    description: %s\n", check::narrow(e.description()).c_str());
        });
    }
}

// The description is the core's, to the unit.
void descriptionAsTheCoreGivesIt()
{
    Control control;
    std::wstring core;
    {
        host::com::Host host;
        control.inject(L"SalesList.GetCurrentRow", testserver::Fail, L"x \u00e9 \U0001F600 y");
        try {
            host.createAppObject()->Views()->Create(1, L"CV")->Sales()->GetCurrentRow();
        } catch (const host::com::Error &e) {
            core = e.description();
        }
    }
    CHECK(!core.empty());
    ComHostFactory factory;
    control.inject(L"SalesList.GetCurrentRow", testserver::Fail, L"x \u00e9 \U0001F600 y");
    CHECK_THROWS_AS(salesList(factory)->GetCurrentRow(), Failure,
                    [&](const Failure &e) { CHECK_EQ(wide(e.description()), core); });
}

// A server killed in the middle of a call: 462 for that call and for the
// other objects of the dead server; new objects then come from a new one.
void serverKilled()
{
    ComHostFactory com;
    HostFactory &factory = com;
    auto sales = salesList(factory);
    auto aux = factory.createAuxCommands();
    std::int32_t pid;
    {
        Control control;
        pid = control.processId();
        control.inject(L"SalesList.SetField", testserver::Die);
    }
    std::int32_t row = 1;
    std::u16string text = u"x";
    CHECK_THROWS_AS(sales->SetField(host::DetailsField, row, text), Failure, [](const Failure &e) {
        CHECK_EQ(e.number(), Failure::ServerUnavailable);
        CHECK(contains(e.description(), u"The remote server machine does not exist or is unavailable (SetField: "));
        CHECK(contains(e.description(), u"whether the Details field was changed is not known"));
    });
    CHECK_THROWS_AS(sales->GetCurrentRow(), Failure,
                    [](const Failure &e) { CHECK_EQ(e.number(), Failure::ServerUnavailable); });
    CHECK_THROWS_AS(aux->AuxCommandExists(u"Pennaroc"), Failure,
                    [](const Failure &e) { CHECK_EQ(e.number(), Failure::ServerUnavailable); });
    sales.reset();
    aux.reset();
    Control control;
    CHECK(control.processId() != pid);
    CHECK_EQ(salesList(factory)->GetCurrentRow(), 1);
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {
                          {"startUpChain", startUpChain},
                          {"setFieldByReference", setFieldByReference},
                          {"auxiliaryCommands", auxiliaryCommands},
                          {"events", events},
                          {"handlerEndsTheFactory", handlerEndsTheFactory},
                          {"failures", failures},
                          {"descriptionAsTheCoreGivesIt", descriptionAsTheCoreGivesIt},
                          {"serverKilled", serverKilled},
                      });
}
