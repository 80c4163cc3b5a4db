// Every failure of a COM call mapped to the program's numbers and texts:
// objects that cannot be made (429), the host's own errors (440, with its
// description), numbers that do not fit (6), answers of the wrong type (13),
// and a host that dies in the middle of a call or hangs (462, within the
// call's time limit).

#include "host/com/ComHost.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"

#include <functional>

using host::com::Error;
using host::com::Host;
using testserver::Control;

namespace {

std::unique_ptr<host::com::SalesList> salesList(Host &host)
{
    return host.createAppObject()->Views()->Create(1, L"CV")->Sales();
}

bool contains(const std::wstring &text, const std::wstring &part) { return text.find(part) != std::wstring::npos; }

#define CHECK_ERROR(statement, expectedNumber, expectedText)                                                         \
    CHECK_THROWS_AS(statement, Error, [&](const Error &e) {                                                          \
        CHECK_EQ(e.number(), expectedNumber);                                                                        \
        if (!CHECK(contains(e.description(), expectedText)))                                                         \
            std::printf("    description: %s\n", check::narrow(e.description()).c_str());                            \
    })

void notRegistered()
{
    struct Row {
        const char *name;
        std::function<void(Host &)> create;
    };
    Host::Options options;
    options.appObjectProgId = L"ACTOLE.NOSUCHOBJECT";
    options.auxCommandsProgId = L"ACTOLE.NOSUCHAUX";
    Host host(options);
    CHECK_ERROR(host.createAppObject(), 429,
                L"ActiveX component can't create object: the ACT! automation object \"ACTOLE.NOSUCHOBJECT\" cannot be "
                L"created (it is not registered");
    CHECK_ERROR(host.createAuxCommands(), 429, L"\"ACTOLE.NOSUCHAUX\" cannot be created (it is not registered");
}

// A host that refuses to make the object.
void refused()
{
    const wchar_t *progIds[] = {L"ACTOLE.APPOBJECT", L"ACTOLE.AUXCMDS"};
    for (const wchar_t *progId : progIds) {
        std::printf("  %s\n", check::narrow(progId).c_str());
        Control control;
        control.refuseCreation(progId);
        Host host;
        const std::wstring expected = L"\"" + std::wstring(progId) + L"\" cannot be created (ACT! did not make it: ";
        if (std::wstring(progId) == L"ACTOLE.APPOBJECT")
            CHECK_ERROR(host.createAppObject(), 429, expected);
        else
            CHECK_ERROR(host.createAuxCommands(), 429, expected);
    }
}

// No event control: no link, and no acknowledgement.
void noEventControl()
{
    Host::Options options;
    options.eventControlProgId = L"ACTEVENTLib.NoSuchControl";
    Host host(options);
    CHECK_EQ(host.eventControl().Id1(0), 0);
    CHECK_EQ(host.eventControl().Id3(), false);
    CHECK_ERROR(host.eventControl().Id2(), 429, L"\"ACTEVENTLib.NoSuchControl\" cannot be created");
}

// The host's error, with its own description, for each kind of call.
void automationErrors()
{
    struct Row {
        const wchar_t *member; // as the server names it
        const wchar_t *label;  // as the failure names it
        std::function<void(Host &)> call;
    };
    const Row rows[] = {
        {L"ActApp.OpenFile", L"OpenFile", [](Host &h) { h.createAppObject()->OpenFile(L""); }},
        {L"ActApp.Views", L"Views", [](Host &h) { h.createAppObject()->Views(); }},
        {L"ActViews.Create", L"Create", [](Host &h) { h.createAppObject()->Views()->Create(1, L"CV"); }},
        {L"ContactView.Sales", L"Sales", [](Host &h) { h.createAppObject()->Views()->Create(1, L"CV")->Sales(); }},
        {L"SalesList.GetCurrentRow", L"GetCurrentRow", [](Host &h) { salesList(h)->GetCurrentRow(); }},
        {L"SalesList.GetField", L"GetField",
         [](Host &h) {
             std::int32_t row = 1;
             salesList(h)->GetField(36, row);
         }},
        {L"SalesList.SetField", L"SetField",
         [](Host &h) {
             std::int32_t row = 1;
             std::wstring text = L"x";
             salesList(h)->SetField(36, row, text);
         }},
        {L"ActApp.GetOpenDBName", L"GetOpenDBName", [](Host &h) { h.createAppObject()->GetOpenDBName(); }},
        {L"ActApp.Command", L"Command", [](Host &h) { h.createAppObject()->Command(150); }},
        {L"AuxCommands.AuxCommandExistsInToolbar", L"AuxCommandExistsInToolbar",
         [](Host &h) { h.createAuxCommands()->AuxCommandExistsInToolbar(1, L"Pennaroc"); }},
        {L"AuxCommands.AuxCommandExists", L"AuxCommandExists",
         [](Host &h) { h.createAuxCommands()->AuxCommandExists(L"Pennaroc"); }},
        {L"AuxCommands.AddAuxCommand", L"AddAuxCommand",
         [](Host &h) { h.createAuxCommands()->AddAuxCommand(L"a", L"b", L"c", L"d", L"e", L"f", L"g", 1); }},
        {L"AuxCommands.RemoveAuxCommandFromToolsMenu", L"RemoveAuxCommandFromToolsMenu",
         [](Host &h) { h.createAuxCommands()->RemoveAuxCommandFromToolsMenu(6, L"Pennaroc"); }},
        {L"ActEvent.Id1", L"Id1", [](Host &h) { h.eventControl().Id1(0); }},
        {L"ActEvent.Id2", L"Id2", [](Host &h) { h.eventControl().Id2(); }},
        {L"ActEvent.Id3", L"Id3", [](Host &h) { h.eventControl().Id3(); }},
    };
    Control control;
    for (const Row &r : rows) {
        std::printf("  %s\n", check::narrow(r.member).c_str());
        control.inject(r.member, testserver::Fail, L"The record is locked by another user.");
        Host host;
        CHECK_ERROR(r.call(host), 440,
                    L"Automation error (" + std::wstring(r.label) + L": The record is locked by another user.)");
    }
    // The host's own refusals come through the same way.
    Host host;
    std::int32_t row = 99;
    CHECK_ERROR(salesList(host)->GetField(36, row), 440, L"Automation error (GetField: there is no record 99)");
    CHECK_ERROR(salesList(host)->GetField(37, row), 440, L"Automation error (GetField: field 37 is not served)");
    CHECK_ERROR(host.createAppObject()->Command(151), 440, L"Automation error (Command: command 151 is not known)");
    CHECK_ERROR(host.createAppObject()->Views()->Create(7, L"CV"), 440,
                L"Automation error (Create: there is no view of type 7)");
}

// An answer too large for its width overflows; the same answer where the
// program takes 32 bits does not.
void overflowAndTypes()
{
    Control control;
    Host host;
    auto aux = host.createAuxCommands();
    const wchar_t *sixteen[] = {L"AuxCommandExistsInToolbar", L"AuxCommandExistsInToolsMenu", L"AuxCommandExists"};
    for (const wchar_t *member : sixteen) {
        std::printf("  %s\n", check::narrow(member).c_str());
        control.inject(std::wstring(L"AuxCommands.") + member, testserver::TooLarge);
        const std::wstring m = member;
        if (m == L"AuxCommandExists")
            CHECK_ERROR(aux->AuxCommandExists(L"Pennaroc"), 6, L"Overflow");
        else if (m == L"AuxCommandExistsInToolbar")
            CHECK_ERROR(aux->AuxCommandExistsInToolbar(1, L"Pennaroc"), 6, L"Overflow");
        else
            CHECK_ERROR(aux->AuxCommandExistsInToolsMenu(1, L"Pennaroc"), 6, L"Overflow");
    }
    control.inject(L"AuxCommands.AddAuxCommandToToolbar", testserver::TooLarge);
    CHECK_EQ(aux->AddAuxCommandToToolbar(1, L"Pennaroc"), 70000);
    auto sales = salesList(host);
    control.inject(L"SalesList.GetCurrentRow", testserver::TooLarge);
    CHECK_EQ(sales->GetCurrentRow(), 70000);
    control.inject(L"SalesList.GetCurrentRow", testserver::WrongType);
    CHECK_ERROR(sales->GetCurrentRow(), 13, L"Type mismatch: GetCurrentRow answered VT_BSTR where a number was expected");
    control.inject(L"ActEvent.Id1", testserver::WrongType);
    CHECK_ERROR(host.eventControl().Id1(0), 13, L"Type mismatch: Id1 answered VT_BSTR");
}

// The server dies in the middle of a call: 462 at once, for that call and
// every later one; a write says its outcome is not known. A new server then
// serves new objects.
void hostDiesMidCall()
{
    struct Row {
        const char *name;
        const wchar_t *member;
        bool writes;
    };
    const Row rows[] = {{"read", L"SalesList.GetField", false}, {"write", L"SalesList.SetField", true}};
    for (const Row &r : rows) {
        std::printf("  %s\n", r.name);
        std::int32_t pid;
        Host host;
        auto sales = salesList(host);
        auto aux = host.createAuxCommands();
        {
            Control control;
            pid = control.processId();
            control.inject(r.member, testserver::Die);
        }
        const ULONGLONG start = GetTickCount64();
        std::int32_t row = 1;
        std::wstring text = L"x";
        if (r.writes)
            CHECK_ERROR(sales->SetField(36, row, text), 462,
                        L"The remote server machine does not exist or is unavailable (SetField: ");
        else
            CHECK_ERROR(sales->GetField(36, row), 462,
                        L"The remote server machine does not exist or is unavailable (GetField: ");
        if (r.writes) {
            CHECK_THROWS_AS(sales->SetField(36, row, text), Error, [](const Error &) {});
        }
        CHECK_ERROR(sales->GetCurrentRow(), 462, L"(GetCurrentRow: ");
        CHECK_ERROR(aux->AuxCommandExists(L"Pennaroc"), 462, L"(AuxCommandExists: ");
        CHECK(GetTickCount64() - start < host.callTimeoutMs());
        // The objects of the dead host go without a hang.
        sales.reset();
        aux.reset();
        CHECK(GetTickCount64() - start < 2 * host.callTimeoutMs());
        Control control;
        CHECK(control.processId() != pid);
        std::int32_t current = salesList(host)->GetCurrentRow();
        CHECK_EQ(current, 1);
    }
}

// The write's failure says that its outcome is not known.
void deathDuringWriteIsReported()
{
    Host host;
    auto sales = salesList(host);
    {
        Control control;
        control.inject(L"SalesList.SetField", testserver::Die);
    }
    std::int32_t row = 1;
    std::wstring text = L"x";
    CHECK_THROWS_AS(sales->SetField(36, row, text), Error, [](const Error &e) {
        CHECK_EQ(e.number(), 462);
        CHECK(contains(e.description(), L"ACT! went away without answering, so whether the Details field was "
                                        L"changed is not known"));
    });
    CHECK_THROWS_AS(sales->GetCurrentRow(), Error,
                    [](const Error &e) { CHECK(!contains(e.description(), L"is not known")); });
}

// A hung host costs one time limit and 462, for reads and writes, with the
// event control too; the program's other objects still work once it is
// released, and the late answer changes nothing the caller holds.
void hostHangs()
{
    struct Row {
        const char *name;
        const wchar_t *member;
        std::function<void(Host &, host::com::SalesList &)> call;
        const wchar_t *expected;
    };
    const Row rows[] = {
        {"read", L"SalesList.GetCurrentRow", [](Host &, host::com::SalesList &s) { s.GetCurrentRow(); },
         L"(GetCurrentRow: ACT! did not answer within 1500 ms)"},
        {"write", L"SalesList.SetField",
         [](Host &, host::com::SalesList &s) {
             std::int32_t row = 1;
             std::wstring text = L"late";
             s.SetField(36, row, text);
         },
         L"(SetField: ACT! did not answer within 1500 ms, so whether the Details field was changed is not known)"},
        {"event control", L"ActEvent.Id1", [](Host &h, host::com::SalesList &) { h.eventControl().Id1(0); },
         L"(Id1: ACT! did not answer within 1500 ms)"},
    };
    for (const Row &r : rows) {
        std::printf("  %s\n", r.name);
        Host host;
        auto sales = salesList(host);
        host.eventControl().Id3();
        host.setCallTimeoutMs(1500);
        Control control;
        control.inject(r.member, testserver::Hang);
        const ULONGLONG start = GetTickCount64();
        CHECK_ERROR(r.call(host, *sales), 462, r.expected);
        const ULONGLONG took = GetTickCount64() - start;
        CHECK(took >= 1400);
        CHECK(took < 3000);
        // The host answers other calls meanwhile.
        CHECK_EQ(sales->GetCurrentRow(), 1);
        control.quit();
    }
}

// The time limit the program runs with.
void defaultTimeLimit()
{
    Host host;
    CHECK_EQ(host.callTimeoutMs(), 5000UL);
    auto aux = host.createAuxCommands();
    Control control;
    control.inject(L"AuxCommands.AddAuxCommandToToolbar", testserver::Hang);
    const ULONGLONG start = GetTickCount64();
    CHECK_ERROR(aux->AddAuxCommandToToolbar(1, L"Pennaroc"), 462,
                L"(AddAuxCommandToToolbar: ACT! did not answer within 5 s, so whether the command was given its place on "
                L"the toolbar is not known)");
    const ULONGLONG took = GetTickCount64() - start;
    CHECK(took >= 4900);
    CHECK(took < 6500);
    control.quit();
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {
                          {"notRegistered", notRegistered},
                          {"refused", refused},
                          {"noEventControl", noEventControl},
                          {"automationErrors", automationErrors},
                          {"overflowAndTypes", overflowAndTypes},
                          {"hostDiesMidCall", hostDiesMidCall},
                          {"deathDuringWriteIsReported", deathDuringWriteIsReported},
                          {"hostHangs", hostHangs},
                          {"defaultTimeLimit", defaultTimeLimit},
                      });
}
