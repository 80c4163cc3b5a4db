// Stands in for the program of an older release in the installer tests: its
// version information says 0.90 (OlderProgram.rc), and it does nothing.

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
