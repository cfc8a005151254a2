#include "app/system_features.h"

#include <windows.h>

// Nothing in this program reads what the probe finds; it runs at start-up
// for the runtime's graphics and theme features, and keeps the alpha
// blending library loaded until shutdown.
static HMODULE gImageLibrary;
static FARPROC gAlphaBlend;
static int32_t gThemedForFeatures;

static bool ThemesPossible() {
    // Windows 9x, and NT before 5.1, have no visual styles.
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return false;
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return false;
    return version.dwMajorVersion > 5 ||
           (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
}

static int32_t ProbeThemedControls() {
    struct DllVersion {
        DWORD size, major, minor, build, platform;
    };
    using GetVersionProc = HRESULT(CALLBACK*)(DllVersion*);
    using IsAppThemedProc = BOOL(WINAPI*)();
    uint32_t commonControls = 0;
    if (HMODULE comctl = LoadLibraryW(L"COMCTL32.DLL")) {
        auto getVersion = reinterpret_cast<GetVersionProc>(
            reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
        DllVersion info{sizeof(DllVersion), 0, 0, 0, 0};
        if (!getVersion)
            commonControls = 1;
        else if (SUCCEEDED(getVersion(&info)))
            commonControls = (info.major & 0xFFFF) << 16 | (info.minor & 0xFFFF);
        FreeLibrary(comctl);
    }
    HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
    if (!uxtheme) return 0;
    auto isAppThemed = reinterpret_cast<IsAppThemedProc>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme, "IsAppThemed")));
    return isAppThemed && isAppThemed() && commonControls >= 0x60000 ? 1 : 0;
}

void SystemFeaturesProbe() {
    gImageLibrary = LoadLibraryW(L"msimg32.dll");
    if (gImageLibrary) gAlphaBlend = GetProcAddress(gImageLibrary, "AlphaBlend");
    if (ThemesPossible()) gThemedForFeatures = ProbeThemedControls();
}

void SystemFeaturesEnd() {
    if (gImageLibrary) FreeLibrary(gImageLibrary);
    gImageLibrary = nullptr;
    gAlphaBlend = nullptr;
}
