// ./run --windows: the demo's ACT! and the installed Pennaroc. Fills the test
// automation server with a few Sales/Opportunity records, one of them with
// an attachment (a quote in the public documents) and current, starts the
// installed Pennaroc.exe on it and waits for its main window. The server
// keeps its records only while it runs, so this stays until the demo ends:
//
//   PennarocDemoSetup                  until Pennaroc is closed
//   PennarocDemoSetup --end-when FILE  until FILE exists; then ACT! closes
//                                      its database, and Pennaroc ends with it
//
// Prints one line once the main window is shown. Status 0, or 1 with the
// reason when a step failed.

#include "tests/windows/TestServer.h"
#include "tests/windows/installer/Installed.h"

#include <cstdio>
#include <string>

namespace {

const std::wstring Quote = L"C:\\users\\Public\\Documents\\Quote.txt";

bool writeQuote()
{
    CreateDirectoryW(L"C:\\users\\Public\\Documents", nullptr);
    const std::string text = "Quotation for 40 licences, valid until the end of the month.\r\n";
    HANDLE file = CreateFileW(Quote.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(file);
    return ok;
}

int fail(const char *why)
{
    std::printf("pennaroc-demo: %s\n", why);
    std::fflush(stdout);
    return 1;
}

int demo(const std::wstring &endWhen)
{
    const auto folder = installed::entryText(L"InstallLocation");
    if (!folder)
        return fail("Pennaroc is not installed in this prefix");
    if (!writeQuote())
        return fail("cannot write the demo's quote");

    testserver::Control act;
    act.reset();
    act.addRecord(L"Call back in May");
    const std::int32_t current = act.addRecord(L"Quote sent on Monday [[" + Quote + L"]]");
    act.addRecord(L"");
    act.addRecord(L"Meeting notes: ask about the second site");
    act.setCurrentRow(current);

    installed::Process pennaroc(L"\"" + *folder + L"\\Pennaroc.exe\"");
    if (!pennaroc.started())
        return fail("Pennaroc.exe did not start");
    if (!installed::waitForMainWindow(pennaroc, 60000))
        return fail("Pennaroc's main window did not appear");
    std::printf("pennaroc-demo: Pennaroc's main window is shown\n");
    std::fflush(stdout);

    if (endWhen.empty()) {
        WaitForSingleObject(pennaroc.handle(), INFINITE);
        return 0;
    }
    while (GetFileAttributesW(endWhen.c_str()) == INVALID_FILE_ATTRIBUTES && pennaroc.running())
        Sleep(100);
    // What ACT! does when it closes its database.
    act.raiseEvent(10);
    if (pennaroc.exitStatus(30000) != 0)
        return fail("Pennaroc did not end when ACT! closed its database");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    std::wstring endWhen;
    if (argc == 3 && std::wstring(argv[1]) == L"--end-when")
        endWhen = argv[2];
    else if (argc != 1)
        return fail("usage: PennarocDemoSetup [--end-when FILE]");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 1;
    try {
        // The server goes when the demo does.
        const testserver::EndServerAtExit endServer;
        status = demo(endWhen);
    } catch (const std::exception &error) {
        status = fail(error.what());
    }
    return status;
}
