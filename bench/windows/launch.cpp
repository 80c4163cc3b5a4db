// Pennaroc.exe from start to its main window ready, against the test
// automation server (a record with an attachment), beside a bare Win32
// window program built the same way (launch_bare.cpp), taking turns in one
// run; and each program's size on disk and peak memory (largest working
// set). Ready: the program's window with its menu bar is shown and its
// thread waits for input.
//
//   bench_windows_launch [RUNS [PROGRAM]]   (10 runs by default; PROGRAM, a
//                                           program beside it measured in
//                                           Pennaroc.exe's place)
//
// Run it under Wine on a display (tools/bench-windows.sh does).

#include "tests/windows/TestServer.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring besideMe(const wchar_t *name)
{
    wchar_t path[32768];
    std::wstring self(path, GetModuleFileNameW(nullptr, path, 32768));
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findShown(HWND window, LPARAM data)
{
    auto *search = reinterpret_cast<Search *>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window) && GetMenu(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct Run {
    double readyMs = -1;
    double peakMiB = 0;
};

Run launch(const std::wstring &exe)
{
    Run run;
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return run;
    HWND window = nullptr;
    for (;;) {
        Search search{process.dwProcessId, nullptr};
        EnumWindows(findShown, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            window = search.found;
            WaitForInputIdle(process.hProcess, 10000);
            QueryPerformanceCounter(&now);
            run.readyMs = double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
            break;
        }
        QueryPerformanceCounter(&now);
        if (WaitForSingleObject(process.hProcess, 0) != WAIT_TIMEOUT || now.QuadPart - start.QuadPart > 30 * frequency.QuadPart)
            break;
        Sleep(1);
    }
    if (window) {
        Sleep(300);
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
            run.peakMiB = double(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double sizeMiB(const std::wstring &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return double((ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::wstring measured = L"Pennaroc.exe";
    if (argc > 2) {
        const std::string name(argv[2]);
        measured.assign(name.begin(), name.end());
    }
    struct Program {
        const char *label;
        std::wstring path;
        std::vector<double> readyMs;
        std::vector<double> peakMiB;
    };
    Program programs[] = {
        {"Pennaroc.exe", besideMe(measured.c_str()), {}, {}},
        {"same conversation, bare window", besideMe(L"bench_launch_conversation_win32.exe"), {}, {}},
        {"bare window", besideMe(L"bench_launch_bare_win32.exe"), {}, {}},
    };
    const testserver::EndServerAtExit endServer;
    {
        testserver::Control control;
        control.reset();
        control.setCurrentRow(2);
    }
    // One start of each first: Wine loads its own libraries, the server is up.
    for (Program &program : programs)
        launch(program.path);

    const int count = int(std::size(programs));
    for (int i = 0; i < runs; ++i) {
        // Taking turns, each one first in its turn.
        for (int k = 0; k < count; ++k) {
            Program &program = programs[(i + k) % count];
            const Run run = launch(program.path);
            if (run.readyMs < 0) {
                std::printf("%s never showed its window\n", program.label);
                return 1;
            }
            program.readyMs.push_back(run.readyMs);
            program.peakMiB.push_back(run.peakMiB);
        }
    }
    std::printf("start to main window ready, %d runs each, taking turns\n", runs);
    for (const Program &program : programs) {
        const auto [least, most] = std::minmax_element(program.readyMs.begin(), program.readyMs.end());
        std::printf("  %-32s median %7.1f ms  (min %.1f, max %.1f)\n", program.label, median(program.readyMs), *least,
                    *most);
    }
    const double pennaroc = median(programs[0].readyMs);
    const double conversation = median(programs[1].readyMs);
    const double bare = median(programs[2].readyMs);
    std::printf("  Pennaroc.exe / bare window                      %.2f  (goal <= 1.20)\n", pennaroc / bare);
    std::printf("  Pennaroc.exe / same conversation, bare window   %.2f\n", pennaroc / conversation);
    std::printf("  the conversation with ACT! alone                %.1f ms\n", conversation - bare);
    std::printf("peak memory (largest working set), median\n");
    for (const Program &program : programs)
        std::printf("  %-32s %.1f MiB\n", program.label, median(program.peakMiB));
    std::printf("size on disk\n");
    for (const Program &program : programs)
        std::printf("  %-32s %.2f MiB\n", program.label, sizeMiB(program.path));
    return 0;
}
