#pragma once

// The log of what the shell was asked to open: ShellRecorder.exe appends a
// line per request, the driver reads them. UTF-8, one request a line, in the
// prefix's folder for temporary files.

#include <windows.h>

#include <string>
#include <vector>

namespace shelllog {

inline std::wstring path()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"Pennaroc shell requests.txt";
}

inline std::string toUtf8(const std::wstring &text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(std::size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

inline std::wstring fromUtf8(const std::string &bytes)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring text(std::size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), size);
    return text;
}

// Appends one request; two recorders at once take turns.
inline bool append(const std::wstring &request)
{
    const std::string line = toUtf8(request) + "\n";
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = CreateFileW(path().c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const bool done = WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr) != FALSE;
            CloseHandle(file);
            return done;
        }
        Sleep(20);
    }
    return false;
}

inline std::vector<std::wstring> read()
{
    std::vector<std::wstring> lines;
    HANDLE file = CreateFileW(path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string all;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        all.append(buffer, got);
    CloseHandle(file);
    std::size_t start = 0;
    for (std::size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(fromUtf8(all.substr(start, end - start)));
    return lines;
}

} // namespace shelllog
