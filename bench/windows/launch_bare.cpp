// A bare Win32 window program, built as Pennaroc.exe is: one dialog-class
// window of the main window's size, with a menu bar and a caption, shown
// centred, and a message loop. The launch benchmark's yardstick.

#include <windows.h>

namespace {

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

// The window and its message loop; also the second yardstick's
// (launch_conversation.cpp).
int bareWindowMain(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassExW(&windowClass);

    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 1, L"Options");
    AppendMenuW(bar, MF_STRING, 2, L"Help");
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, 351, 168};
    AdjustWindowRectEx(&frame, style, TRUE, WS_EX_DLGMODALFRAME);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, L"BareWindow", L"Bare", style,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, bar, instance,
                                  nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

#ifndef PENNAROC_BARE_WINDOW_ONLY
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return bareWindowMain(instance);
}
#endif
