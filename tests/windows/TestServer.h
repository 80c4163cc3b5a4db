#pragma once

// The tests' side of the test automation server (server/ActTestServer.cpp):
// its control object, reached through a Host of its own, so that a call the
// Host under test leaves hanging does not hold the control up.

#include "host/com/ComHost.h"
#include "tests/windows/Check.h"

#include <string>
#include <vector>

namespace testserver {

inline constexpr const wchar_t *ControlProgId = L"PennarocTest.Control";

// Refuse: a command answers the result code 1 (not done) and does nothing.
enum Fault : short { Fail = 1, Hang = 2, Die = 3, TooLarge = 4, WrongType = 5, Refuse = 6 };

using host::com::Argument;

class Control {
public:
    // The counts of objects and references start from what the server holds
    // now: a test program that ended without releasing its own (one that
    // crashed) leaves them to the server for good.
    Control() : control_(firstObject(host_))
    {
        control_->call(L"Reset");
        liveBefore_ = control_->call(L"LiveObjects").toInt32();
        heldBefore_ = control_->call(L"HeldReferences").toInt32();
        sinksBefore_ = control_->call(L"Sinks").toInt32();
    }

    void reset() { control_->call(L"Reset"); }
    std::int32_t addRecord(const std::wstring &text)
    {
        return control_->call(L"AddRecord", {Argument::text(text)}).toInt32();
    }
    void setCurrentRow(std::int32_t row) { control_->call(L"SetCurrentRow", {Argument::int32(row)}); }
    std::wstring details(std::int32_t row) { return control_->call(L"Details", {Argument::int32(row)}).toText(); }
    void setDatabaseOpen(bool open) { control_->call(L"SetDatabaseOpen", {Argument::boolean(open)}); }
    void refuseLink(bool refuse) { control_->call(L"RefuseLink", {Argument::boolean(refuse)}); }
    // The next call of member ("Object.Member") fails as fault says.
    void inject(const std::wstring &member, Fault fault, const std::wstring &description = {})
    {
        control_->call(L"Inject", {Argument::text(member), Argument::int16(fault), Argument::text(description)});
    }
    void refuseCreation(const std::wstring &progId) { control_->call(L"RefuseCreation", {Argument::text(progId)}); }
    void writeBack(std::int32_t row, const std::wstring &text)
    {
        control_->call(L"WriteBack", {Argument::int32(row), Argument::text(text)});
    }
    void raiseEvent(std::int16_t id) { control_->call(L"RaiseEvent", {Argument::int16(id)}); }
    void raiseEvent(std::int16_t id, std::int32_t argument)
    {
        control_->call(L"RaiseEvent", {Argument::int16(id), Argument::int32(argument)});
    }
    // An event with one argument of another type: a text, a Boolean, or
    // (with type, a VARTYPE) the argument changed to that type by the server.
    void raiseEvent(std::int16_t id, const Argument &argument)
    {
        control_->call(L"RaiseEvent", {Argument::int16(id), argument});
    }
    void raiseEvent(std::int16_t id, const Argument &argument, VARTYPE type)
    {
        control_->call(L"RaiseEvent", {Argument::int16(id), argument, Argument::int16(static_cast<std::int16_t>(type))});
    }
    // The calls the host objects received, one line each.
    std::vector<std::wstring> calls()
    {
        const std::wstring all = control_->call(L"Calls").toText();
        std::vector<std::wstring> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = all.find(L'\n', start)) != std::wstring::npos; start = end + 1)
            lines.push_back(all.substr(start, end - start));
        return lines;
    }
    void clearCalls() { control_->call(L"ClearCalls"); }
    // Host objects alive, references held on them, and event sinks
    // connected, since this control was made.
    std::int32_t liveObjects() { return control_->call(L"LiveObjects").toInt32() - liveBefore_; }
    std::int32_t heldReferences() { return control_->call(L"HeldReferences").toInt32() - heldBefore_; }
    std::int32_t sinks() { return control_->call(L"Sinks").toInt32() - sinksBefore_; }
    std::wstring registration(const std::wstring &name)
    {
        return control_->call(L"Registration", {Argument::text(name)}).toText();
    }
    std::int32_t processId() { return control_->call(L"ProcessId").toInt32(); }
    // Ends the server, also one with a call hanging, and waits until it is
    // gone, so that the next object comes from a new server.
    void quit()
    {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId()));
        try {
            control_->call(L"Quit");
        } catch (const host::com::Error &) {
            // It may go before it answers.
        }
        if (process) {
            CHECK(WaitForSingleObject(process, 10000) == WAIT_OBJECT_0);
            CloseHandle(process);
        }
    }

private:
    // Wine gives a server it starts only a few seconds to register its
    // classes, and then answers "class not registered" (429); the first
    // start of the server in a new prefix, on a busy machine, can take
    // longer. The control waits for it.
    static std::unique_ptr<host::com::Dispatch> firstObject(host::com::Host &host)
    {
        for (int attempt = 1;; ++attempt) {
            try {
                return host.createObject(ControlProgId);
            } catch (const host::com::Error &error) {
                if (error.number() != 429 || attempt == 10)
                    throw;
                Sleep(1000);
            }
        }
    }

    host::com::Host host_;
    std::unique_ptr<host::com::Dispatch> control_;
    std::int32_t liveBefore_ = 0;
    std::int32_t heldBefore_ = 0;
    std::int32_t sinksBefore_ = 0;
};

// Ends the test server when the test program ends. COM starts the server
// from the program that first asks for one of its objects, and under Wine
// the server then holds that program's output open, for which CTest waits:
// each COM test program therefore ends its server, and the next starts its
// own.
struct EndServerAtExit {
    EndServerAtExit() = default;
    EndServerAtExit(const EndServerAtExit &) = delete;
    EndServerAtExit &operator=(const EndServerAtExit &) = delete;
    ~EndServerAtExit()
    {
        try {
            Control().quit();
        } catch (const host::com::Error &) {
            // No server to end.
        }
    }
};

// Runs the thread's message loop until done() or timeoutMs passed; true when
// done() came true.
template <class Done>
bool pumpUntil(Done done, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

} // namespace testserver
