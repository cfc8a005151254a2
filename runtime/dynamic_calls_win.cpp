#include "runtime/dynamic_calls_win.h"

#include <cstddef>
#include <cstring>

DynamicCalls gDynamicCalls;

namespace {

// The table's rows: which library each procedure comes from, its name, and
// its slot. The name and the slot come from the same word, so they cannot
// differ.
struct ProcedureRow {
    const char* name;
    unsigned char library; // a RuntimeLibrary
    unsigned char offset;  // of the slot in DynamicCalls
};

constexpr ProcedureRow Row(const char* name, RuntimeLibrary library, size_t offset) {
    return {name, static_cast<unsigned char>(library), static_cast<unsigned char>(offset)};
}

#define ROW(library, procedure)                                                                    \
    Row(#procedure, RuntimeLibrary::library, offsetof(DynamicCalls, procedure))

const ProcedureRow kProcedures[] = {
    ROW(CommonControls, DllGetVersion),
    ROW(Theme, IsAppThemed),
    ROW(Theme, OpenThemeData),
    ROW(Theme, CloseThemeData),
    ROW(Theme, GetThemeBackgroundContentRect),
    ROW(Theme, IsThemeBackgroundPartiallyTransparent),
    ROW(Theme, DrawThemeParentBackground),
    ROW(Theme, DrawThemeBackground),
    ROW(Image, AlphaBlend),
    ROW(Resolver, getaddrinfo),
    ROW(Resolver, freeaddrinfo),
    ROW(Resolver, getnameinfo),
    ROW(Multimedia, timeBeginPeriod),
    ROW(Multimedia, timeEndPeriod),
};

#undef ROW

// Every slot is a procedure, one row each.
static_assert(sizeof(DynamicCalls) == sizeof kProcedures / sizeof kProcedures[0] * sizeof(FARPROC));

// Fills the library's slots from the module, or empties them for null. The
// generic entry is copied into the typed slot byte for byte: a procedure's
// address is the same whatever its type, and no cast is needed.
void Take(RuntimeLibrary library, HMODULE module) {
    for (const ProcedureRow& row : kProcedures) {
        if (row.library != static_cast<unsigned char>(library)) continue;
        FARPROC entry = module ? GetProcAddress(module, row.name) : nullptr;
        std::memcpy(reinterpret_cast<unsigned char*>(&gDynamicCalls) + row.offset, &entry,
                    sizeof entry);
    }
}

// The files, in the order of RuntimeLibrary, and what is held of each.
const char* const kFiles[] = {"COMCTL32.DLL", "uxtheme.dll", "msimg32.dll", "ws2_32.dll",
                              "winmm.dll"};
HMODULE gHandles[sizeof kFiles / sizeof kFiles[0]];

uint32_t gCommonControlsVersion;

} // namespace

HMODULE LoadRuntimeLibrary(RuntimeLibrary library, const char* file) {
    HMODULE& held = gHandles[static_cast<int>(library)];
    if (held && !file) return held;
    ReleaseRuntimeLibrary(library);
    held = LoadLibraryA(file ? file : kFiles[static_cast<int>(library)]);
    Take(library, held);
    return held;
}

void ReleaseRuntimeLibrary(RuntimeLibrary library) {
    HMODULE& held = gHandles[static_cast<int>(library)];
    if (!held) return;
    Take(library, nullptr);
    FreeLibrary(held);
    held = nullptr;
}

HMODULE RuntimeLibraryHandle(RuntimeLibrary library) {
    return gHandles[static_cast<int>(library)];
}

bool ThemedControlsCheck() {
    constexpr uint32_t kVersion6 = 6 << 16;
    uint32_t version = CommonControlsVersion();
    if (!LoadRuntimeLibrary(RuntimeLibrary::Theme)) return false;
    auto isAppThemed = gDynamicCalls.IsAppThemed;
    return isAppThemed && isAppThemed() && version >= kVersion6;
}

uint32_t CommonControlsVersion() {
    if (gCommonControlsVersion) return gCommonControlsVersion;
    if (!LoadRuntimeLibrary(RuntimeLibrary::CommonControls)) return 0;
    if (auto getVersion = gDynamicCalls.DllGetVersion) {
        DllVersionRecord version{sizeof(DllVersionRecord), 0, 0, 0, 0};
        if (SUCCEEDED(getVersion(&version)))
            gCommonControlsVersion = (version.major & 0xFFFF) << 16 | (version.minor & 0xFFFF);
    } else {
        gCommonControlsVersion = 1;
    }
    ReleaseRuntimeLibrary(RuntimeLibrary::CommonControls);
    return gCommonControlsVersion;
}
