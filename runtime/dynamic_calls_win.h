#pragma once
// The one home of the functions that the program takes from system
// libraries at run time (LoadLibrary and GetProcAddress): each library is
// loaded once, on the first ask, and held in one table; each procedure is
// typed once, here, and looked up once, when its library is loaded. Every
// caller asks here and copes with an absent library or procedure (null).
// No lock: each library is loaded and released by one thread at a time (the
// main thread at start-up and shutdown; PauseMs loads its own once, under
// RunOnce), and its procedures are read after its load has returned.
#include <windows.h>

#include <cstdint>

// The libraries of the table.
enum class RuntimeLibrary {
    CommonControls, // "COMCTL32.DLL", only asked for its version
    Theme,          // "uxtheme.dll": the themed-controls check, the editor's frame
    Image,          // "msimg32.dll": the system-feature probe
    Resolver,       // "ws2_32.dll": the newer resolver of the sockets layer
    Multimedia,     // "winmm.dll": the timer resolution of PauseMs
};

// The version record of "DllGetVersion": five 32-bit fields, 20 bytes.
struct DllVersionRecord {
    DWORD size, major, minor, build, platform;
};

// The resolver's result list (addrinfo), declared here since the sockets
// layer uses Windows sockets 1.1, whose header does not declare it.
struct ResolverResult {
    int flags;
    int family;
    int socketType;
    int protocol;
    size_t addressLength;
    char* canonicalName;
    struct sockaddr* address;
    ResolverResult* next;
};

// Every procedure of the table, named as its library names it. A procedure
// is null while its library is not loaded, and when the library lacks it.
struct DynamicCalls {
    // COMCTL32.DLL
    HRESULT(CALLBACK* DllGetVersion)(DllVersionRecord*);
    // uxtheme.dll
    BOOL(WINAPI* IsAppThemed)();
    HANDLE(WINAPI* OpenThemeData)(HWND, LPCWSTR);
    HRESULT(WINAPI* CloseThemeData)(HANDLE);
    HRESULT(WINAPI* GetThemeBackgroundContentRect)(HANDLE, HDC, int, int, const RECT*, RECT*);
    BOOL(WINAPI* IsThemeBackgroundPartiallyTransparent)(HANDLE, int, int);
    HRESULT(WINAPI* DrawThemeParentBackground)(HWND, HDC, const RECT*);
    HRESULT(WINAPI* DrawThemeBackground)(HANDLE, HDC, int, int, const RECT*, const RECT*);
    // msimg32.dll
    BOOL(WINAPI* AlphaBlend)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
    // ws2_32.dll
    int(WINAPI* getaddrinfo)(const char*, const char*, const ResolverResult*, ResolverResult**);
    void(WINAPI* freeaddrinfo)(ResolverResult*);
    int(WINAPI* getnameinfo)(const struct sockaddr*, int, char*, DWORD, char*, DWORD, int);
    // winmm.dll
    UINT(WINAPI* timeBeginPeriod)(UINT);
    UINT(WINAPI* timeEndPeriod)(UINT);
};

// The table as loaded so far. Written only by the functions below.
extern DynamicCalls gDynamicCalls;
inline const DynamicCalls& Dynamic() {
    return gDynamicCalls;
}

// The library, loaded on the first call with its procedures looked up;
// later calls return the same handle and load nothing. Null when it cannot
// be loaded; the next call then tries again. A file other than the
// library's own (a test's stand-in that lacks the procedures, or that does
// not exist) is loaded in its place at every call, after the library held
// before is released.
HMODULE LoadRuntimeLibrary(RuntimeLibrary library, const char* file = nullptr);
// Releases the table's hold on the library (FreeLibrary) and empties its
// procedures. Nothing when it is not loaded.
void ReleaseRuntimeLibrary(RuntimeLibrary library);
// The handle held, or null while the library is not loaded; never loads.
HMODULE RuntimeLibraryHandle(RuntimeLibrary library);

// The themed-controls check: "IsAppThemed" says so and the common controls
// are version 6.0 or later. Loads the theme library on the way (and keeps it).
bool ThemedControlsCheck();

// The common-controls version, major << 16 | minor (each the low 16 bits of
// what "DllGetVersion" reports); 1 when the library has no version entry
// point, 0 when it cannot be loaded. Asked once: the library is loaded for
// the question and released again, and a non-zero answer is kept.
uint32_t CommonControlsVersion();
