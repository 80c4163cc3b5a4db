// Every operation of the host's automation surface through real COM calls to
// the test server, with the VARIANT type of each argument as the server
// received it, the by-reference write-back, and every reference released.

#include "host/com/ComHost.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"

using host::com::Host;
using testserver::Control;

namespace {

// Nothing of the host's objects is left once the program let go of them.
void checkAllReleased(Control &control)
{
    CHECK_EQ(control.liveObjects(), 0);
    CHECK_EQ(control.heldReferences(), 0);
    CHECK_EQ(control.sinks(), 0);
}

std::vector<std::wstring> lines(std::initializer_list<const wchar_t *> items)
{
    return std::vector<std::wstring>(items.begin(), items.end());
}

void checkCalls(Control &control, const std::vector<std::wstring> &expected)
{
    const std::vector<std::wstring> calls = control.calls();
    CHECK_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size() && i < expected.size(); ++i)
        CHECK_EQ(calls[i], expected[i]);
}

// Start-up: the link test, then the chain to the Sales/Opportunity list, the
// current row and its Details text.
void startUpChain()
{
    Control control;
    {
        Host host;
        CHECK_EQ(host.eventControl().Id1(0), 1);
        auto app = host.createAppObject();
        app->OpenFile(L"");
        auto views = app->Views();
        auto view = views->Create(1, L"CV");
        auto sales = view->Sales();
        std::int32_t row = sales->GetCurrentRow();
        CHECK_EQ(row, 1);
        CHECK_EQ(sales->GetField(36, row), std::wstring(L"Call back in May"));
        CHECK_EQ(row, 1);
        checkCalls(control, lines({L"ActEvent.Id1(VT_I4 0)", L"ActApp.OpenFile(VT_BSTR \"\")", L"ActApp.Views()",
                                   L"ActViews.Create(VT_I2 1, VT_BSTR \"CV\")", L"ContactView.Sales()",
                                   L"SalesList.GetCurrentRow()", L"SalesList.GetField(VT_I2 36, VT_I4|VT_BYREF 1)"}));
    }
    checkAllReleased(control);
}

// Id1 and Id3 as the host's state gives them.
void linkTest()
{
    struct Row {
        const char *name;
        bool open;
        bool refused;
        std::int32_t id1;
        bool id3;
    };
    const Row rows[] = {
        {"open database", true, false, 1, false},
        {"no open database", false, false, 0, false},
        {"link refused", true, true, 0, true},
    };
    Control control;
    for (const Row &r : rows) {
        std::printf("  %s\n", r.name);
        control.setDatabaseOpen(r.open);
        control.refuseLink(r.refused);
        Host host;
        CHECK_EQ(host.eventControl().Id1(0), r.id1);
        CHECK_EQ(host.eventControl().Id3(), r.id3);
        host.eventControl().Id2();
    }
    const std::vector<std::wstring> calls = control.calls();
    CHECK_EQ(calls.size(), std::size_t(9));
    if (calls.size() == 9) {
        CHECK_EQ(calls[0], std::wstring(L"ActEvent.Id1(VT_I4 0)"));
        CHECK_EQ(calls[1], std::wstring(L"ActEvent.Id3()"));
        CHECK_EQ(calls[2], std::wstring(L"ActEvent.Id2()"));
    }
    checkAllReleased(control);
}

// SetField writes the text as given, whatever it holds.
void setFieldTexts()
{
    struct Row {
        const char *name;
        std::wstring text;
    };
    const Row rows[] = {
        {"plain", L"Call back in May [[C:\\Quotes\\Quote.txt]]"},
        {"empty", L""},
        {"line breaks and tab", L"first\r\nsecond\rthird\n\tend"},
        {"beyond Latin-1 and the BMP", L"D\u00e9j\u00e0 \u20ac \u4e2d \U0001F600"},
        {"NUL inside", std::wstring(L"before\0after", 12)},
        {"long", std::wstring(70000, L'x')},
    };
    Control control;
    {
        Host host;
        auto app = host.createAppObject();
        auto sales = app->Views()->Create(1, L"CV")->Sales();
        for (const Row &r : rows) {
            std::printf("  %s\n", r.name);
            std::int32_t row = 2;
            std::wstring text = r.text;
            CHECK_EQ(sales->SetField(36, row, text), 0);
            CHECK_EQ(row, 2);
            CHECK(text == r.text);
            CHECK(control.details(2) == r.text);
            std::int32_t readRow = 2;
            CHECK(sales->GetField(36, readRow) == r.text);
        }
        control.clearCalls();
        std::int32_t row = 2;
        std::wstring text = L"new text";
        sales->SetField(36, row, text);
        checkCalls(control, lines({L"SalesList.SetField(VT_I2 36, VT_I4|VT_BYREF 2, VT_BSTR|VT_BYREF \"new text\")"}));
    }
    checkAllReleased(control);
}

// The host's values of by-reference arguments reach the caller's variables.
void byReferenceWriteBack()
{
    Control control;
    {
        Host host;
        auto sales = host.createAppObject()->Views()->Create(1, L"CV")->Sales();

        control.writeBack(7, L"unused");
        std::int32_t row = 1;
        CHECK_EQ(sales->GetField(36, row), std::wstring(L"Call back in May"));
        CHECK_EQ(row, 7);

        control.writeBack(-3, L"as the host keeps it");
        row = 2;
        std::wstring text = L"as the program wrote it";
        CHECK_EQ(sales->SetField(36, row, text), 0);
        CHECK_EQ(row, -3);
        CHECK_EQ(text, std::wstring(L"as the host keeps it"));
        CHECK_EQ(control.details(2), std::wstring(L"as the program wrote it"));
    }
    checkAllReleased(control);
}

// The current row as the host has it, also none, and large rows.
void currentRow()
{
    struct Row {
        const char *name;
        std::int32_t row;
    };
    const Row rows[] = {{"none", -1}, {"first", 1}, {"beyond 16 bits", 1000000}, {"largest", 2147483647}};
    Control control;
    {
        Host host;
        auto sales = host.createAppObject()->Views()->Create(1, L"CV")->Sales();
        for (const Row &r : rows) {
            std::printf("  %s\n", r.name);
            control.setCurrentRow(r.row);
            CHECK_EQ(sales->GetCurrentRow(), r.row);
        }
    }
    checkAllReleased(control);
}

// The database name, and command 150, after which the host has none open.
void databaseAndClose()
{
    Control control;
    {
        Host host;
        auto app = host.createAppObject();
        CHECK_EQ(app->GetOpenDBName(), std::wstring(L"C:\\ACT\\Database\\Demo.dbf"));
        app->Command(150);
        CHECK_EQ(app->GetOpenDBName(), std::wstring());
        checkCalls(control,
                   lines({L"ActApp.GetOpenDBName()", L"ActApp.Command(VT_I2 150)", L"ActApp.GetOpenDBName()"}));
    }
    checkAllReleased(control);
}

// Each view number reaches the host as VT_I2 before the name, and every
// placement call does what it says.
void auxiliaryCommands()
{
    const std::wstring name = L"Pennaroc";
    Control control;
    {
        Host host;
        auto aux = host.createAuxCommands();
        CHECK_EQ(aux->AuxCommandExists(name), 0);
        CHECK_EQ(aux->AddAuxCommandToToolbar(1, name), 2); // the host's code for "not registered" comes through
        CHECK_EQ(aux->AddAuxCommand(name, L"C:\\Program Files\\Pennaroc\\Pennaroc.EXE", L"C:\\Program Files\\Pennaroc",
                                    name, L"Click to launch Pennaroc", L"C:\\Program Files\\Pennaroc\\Pennaroc.ico",
                                    L"C:\\Program Files\\Pennaroc\\Pennaroc32.ico", 1),
                 0);
        CHECK_EQ(aux->AuxCommandExists(name), 1);
        CHECK_EQ(control.registration(name),
                 std::wstring(L"Pennaroc|C:\\Program Files\\Pennaroc\\Pennaroc.EXE|C:\\Program Files\\Pennaroc|Pennaroc|"
                              L"Click to launch Pennaroc|C:\\Program Files\\Pennaroc\\Pennaroc.ico|"
                              L"C:\\Program Files\\Pennaroc\\Pennaroc32.ico|1"));
        for (std::int16_t view = 1; view <= 6; ++view) {
            std::printf("  view %d\n", view);
            CHECK_EQ(aux->AuxCommandExistsInToolbar(view, name), 0);
            CHECK_EQ(aux->AuxCommandExistsInToolsMenu(view, name), 0);
            CHECK_EQ(aux->AddAuxCommandToToolbar(view, name), 0);
            CHECK_EQ(aux->AuxCommandExistsInToolbar(view, name), 1);
            CHECK_EQ(aux->AuxCommandExistsInToolsMenu(view, name), 0);
            CHECK_EQ(aux->AddAuxCommandToToolsMenu(view, name), 0);
            CHECK_EQ(aux->AuxCommandExistsInToolsMenu(view, name), 1);
            CHECK_EQ(aux->RemoveAuxCommandFromToolbar(view, name), 0);
            CHECK_EQ(aux->AuxCommandExistsInToolbar(view, name), 0);
            CHECK_EQ(aux->RemoveAuxCommandFromToolsMenu(view, name), 0);
            CHECK_EQ(aux->AuxCommandExistsInToolsMenu(view, name), 0);
        }
        control.clearCalls();
        aux->AuxCommandExistsInToolbar(4, name);
        aux->AuxCommandExistsInToolsMenu(5, name);
        aux->AuxCommandExists(name);
        aux->AddAuxCommand(L"N", L"E", L"F", L"C", L"T", L"I", L"L", 1);
        aux->AddAuxCommandToToolbar(2, name);
        aux->RemoveAuxCommandFromToolbar(3, name);
        aux->AddAuxCommandToToolsMenu(6, name);
        aux->RemoveAuxCommandFromToolsMenu(1, name);
        checkCalls(control,
                   lines({L"AuxCommands.AuxCommandExistsInToolbar(VT_I2 4, VT_BSTR \"Pennaroc\")",
                          L"AuxCommands.AuxCommandExistsInToolsMenu(VT_I2 5, VT_BSTR \"Pennaroc\")",
                          L"AuxCommands.AuxCommandExists(VT_BSTR \"Pennaroc\")",
                          L"AuxCommands.AddAuxCommand(VT_BSTR \"N\", VT_BSTR \"E\", VT_BSTR \"F\", VT_BSTR \"C\", "
                          L"VT_BSTR \"T\", VT_BSTR \"I\", VT_BSTR \"L\", VT_I2 1)",
                          L"AuxCommands.AddAuxCommandToToolbar(VT_I2 2, VT_BSTR \"Pennaroc\")",
                          L"AuxCommands.RemoveAuxCommandFromToolbar(VT_I2 3, VT_BSTR \"Pennaroc\")",
                          L"AuxCommands.AddAuxCommandToToolsMenu(VT_I2 6, VT_BSTR \"Pennaroc\")",
                          L"AuxCommands.RemoveAuxCommandFromToolsMenu(VT_I2 1, VT_BSTR \"Pennaroc\")"}));
    }
    checkAllReleased(control);
}

// Objects kept for a whole run (the program keeps four) and made again and
// again leave nothing behind once released, in any order.
void referencesReleased()
{
    Control control;
    {
        Host host;
        auto app = host.createAppObject();
        auto views = app->Views();
        for (int i = 0; i < 20; ++i) {
            auto view = views->Create(static_cast<std::int16_t>(1 + i % 6), L"CV");
            auto sales = view->Sales();
            views.reset(); // the view outlives the collection it came from
            views = app->Views();
            std::int32_t row = 1;
            sales->GetField(36, row);
        }
        auto aux = host.createAuxCommands();
        aux->AuxCommandExists(L"Pennaroc");
        CHECK(control.liveObjects() >= 3);
        app.reset();
        CHECK(control.liveObjects() >= 2);
    }
    checkAllReleased(control);
    CHECK_EQ(Host::liveEventSinks(), 0L);
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {
                          {"startUpChain", startUpChain},
                          {"linkTest", linkTest},
                          {"setFieldTexts", setFieldTexts},
                          {"byReferenceWriteBack", byReferenceWriteBack},
                          {"currentRow", currentRow},
                          {"databaseAndClose", databaseAndClose},
                          {"auxiliaryCommands", auxiliaryCommands},
                          {"referencesReleased", referencesReleased},
                      });
}
