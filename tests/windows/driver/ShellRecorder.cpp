// Stands in for the programs the shell starts, in the test prefix, and
// writes each request to the shell log (ShellLog.h), so that a test can see
// what Pennaroc asked the shell to open.
//
//   ShellRecorder /Register        registers itself for the test's types:
//                                  documents ".pnrdoc", ACT! databases ".dbf",
//                                  and the URL types http, https and mailto
//   ShellRecorder TARGET           records TARGET (a document or a URL)
//   ShellRecorder /database PATH   records "database PATH" and opens the
//                                  database again in the test automation
//                                  server, as ACT! started on it would

#include "host/com/ComHost.h"
#include "tests/windows/driver/ShellLog.h"

#include <shellapi.h>

#include <string>

namespace {

bool setValue(HKEY root, const std::wstring &key, const wchar_t *name, const std::wstring &value)
{
    HKEY opened;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) != ERROR_SUCCESS)
        return false;
    const bool done = RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                     DWORD((value.size() + 1) * sizeof(wchar_t)))
                      == ERROR_SUCCESS;
    RegCloseKey(opened);
    return done;
}

int registerTypes()
{
    wchar_t path[32768];
    const std::wstring exe(path, GetModuleFileNameW(nullptr, path, 32768));
    const std::wstring document = L"\"" + exe + L"\" \"%1\"";
    const std::wstring database = L"\"" + exe + L"\" /database \"%1\"";
    bool done = setValue(HKEY_CLASSES_ROOT, L".pnrdoc", nullptr, L"PennarocTest.Document")
                && setValue(HKEY_CLASSES_ROOT, L"PennarocTest.Document\\shell\\open\\command", nullptr, document)
                && setValue(HKEY_CLASSES_ROOT, L".dbf", nullptr, L"PennarocTest.Database")
                && setValue(HKEY_CLASSES_ROOT, L"PennarocTest.Database\\shell\\open\\command", nullptr, database);
    for (const wchar_t *scheme : {L"http", L"https", L"mailto"}) {
        done = done && setValue(HKEY_CLASSES_ROOT, scheme, L"URL Protocol", L"")
               && setValue(HKEY_CLASSES_ROOT, std::wstring(scheme) + L"\\shell\\open\\command", nullptr, document);
    }
    return done ? 0 : 1;
}

// Opens the database again in the test server.
int openDatabase(const std::wstring &path)
{
    shelllog::append(L"database " + path);
    try {
        host::com::Host host;
        auto control = host.createObject(L"PennarocTest.Control");
        control->call(L"SetDatabaseOpen", {host::com::Argument::boolean(true)});
    } catch (const host::com::Error &) {
        return 2;
    }
    return 0;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc == 2 && _wcsicmp(argv[1], L"/Register") == 0)
        return registerTypes();
    if (argc == 3 && _wcsicmp(argv[1], L"/database") == 0)
        return openDatabase(argv[2]);
    std::wstring request;
    for (int i = 1; i < argc; ++i)
        request += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    return shelllog::append(request) ? 0 : 1;
}
