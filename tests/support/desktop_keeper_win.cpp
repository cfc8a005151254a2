// Keeps Wine's desktop in use for a whole test run. Wine closes the desktop
// (and its desktop process) about a second after the last program using it
// has ended; the next GUI test then starts a new desktop process, which
// inherits that test's output and holds it open for a second after the test.
// Started by the test scripts with its output on /dev/null, and ended with
// the wineserver. It has no window of its own.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    GetDesktopWindow(); // connects this process to the desktop
    for (;;)
        Sleep(INFINITE);
}
