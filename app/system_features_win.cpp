#include "app/system_features.h"

#include <windows.h>

#include "runtime/dynamic_calls_win.h"

// Nothing in this program reads what the probe finds; it runs at start-up
// for the runtime's graphics and theme features, and keeps the alpha
// blending library loaded until shutdown. The libraries come from the table
// of dynamic calls, so the window library's own themed-controls check
// finds them loaded and the common-controls version asked.
static int32_t gThemedForFeatures; // kept apart from the window library's answer

static bool ThemesPossible() {
    // Windows 9x, and NT before 5.1, have no visual styles.
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return false;
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return false;
    return version.dwMajorVersion > 5 ||
           (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
}

void SystemFeaturesProbe() {
    LoadRuntimeLibrary(RuntimeLibrary::Image); // with "AlphaBlend" looked up
    if (ThemesPossible()) gThemedForFeatures = ThemedControlsCheck() ? 1 : 0;
}

void SystemFeaturesEnd() {
    ReleaseRuntimeLibrary(RuntimeLibrary::Image);
}
