"""Whether a Windows program loads on Windows XP SP3 (NT 5.1), the oldest
system the program tells apart:

    xp_imports.py EXE [MINGW-GCC]

Reads the program's import table and fails on a function that XP SP3 lacks:
one named below, or one that the MinGW-w64 headers declare only for a newer
Windows than the project compiles for (_WIN32_WINNT 0x0501), read from the
headers with MINGW-GCC (default i686-w64-mingw32-gcc). Fails too on a DLL
that XP does not have and on a header that asks for a newer Windows than 5.1.
Such an import comes from a library, not from the project's code, which the
headers already hold to XP: it would stop the program before it starts.
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

# Newer than XP SP3, whether the headers say so or not: what runtime
# libraries built for Vista and later reach for first.
NEWER = set("""
GetTickCount64 QueryUnbiasedInterruptTime GetSystemTimePreciseAsFileTime
InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
WakeConditionVariable WakeAllConditionVariable
InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive
ReleaseSRWLockShared TryAcquireSRWLockExclusive TryAcquireSRWLockShared
InitOnceInitialize InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete
InitializeCriticalSectionEx CreateEventExA CreateEventExW CreateMutexExA CreateMutexExW
CreateSemaphoreExA CreateSemaphoreExW CreateWaitableTimerExA CreateWaitableTimerExW
FlsAlloc FlsFree FlsGetValue FlsSetValue
WaitOnAddress WakeByAddressSingle WakeByAddressAll
GetCurrentProcessorNumber GetCurrentProcessorNumberEx GetThreadId GetProcessIdOfThread
SetThreadStackGuarantee GetErrorMode GetThreadErrorMode SetThreadErrorMode
AddDllDirectory RemoveDllDirectory SetDefaultDllDirectories
CancelIoEx GetFileInformationByHandleEx SetFileInformationByHandle
GetFinalPathNameByHandleA GetFinalPathNameByHandleW CreateSymbolicLinkA CreateSymbolicLinkW
QueryFullProcessImageNameA QueryFullProcessImageNameW FlushProcessWriteBuffers
GetLocaleInfoEx LCMapStringEx CompareStringEx GetUserDefaultLocaleName
LocaleNameToLCID LCIDToLocaleName RegGetValueA RegGetValueW
inet_pton inet_ntop InetPtonW InetNtopW WSAPoll
""".split())

# The system DLLs of XP SP3 that a program like this one could import.
XP_DLLS = set("""
kernel32 user32 gdi32 advapi32 shell32 shlwapi comctl32 comdlg32 ole32 oleaut32
msvcrt ws2_32 wsock32 mswsock winmm version imm32 uxtheme iphlpapi winspool.drv
psapi secur32 crypt32 rpcrt4 setupapi ntdll msimg32 usp10 riched20 riched32
""".split())

HEADERS = ["winsock2.h", "ws2tcpip.h", "windows.h", "commctrl.h", "objbase.h",
           "shellapi.h", "mmsystem.h", "tlhelp32.h", "process.h"]


def read_pe(path):
    """(machine, OS version, subsystem version, {dll: [function or #ordinal]})."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s is no Windows program" % path)
    machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    wide = magic == 0x20B  # PE32+
    os_version = struct.unpack_from("<HH", data, optional + 40)
    subsystem_version = struct.unpack_from("<HH", data, optional + 48)
    directories = optional + (112 if wide else 96)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = optional + optional_size
    spans = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        for size, address, raw_size, raw in spans:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address %#x lies in no section" % rva)

    def name_at(rva):
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii")

    imports = {}
    entry = offset(import_rva) if import_rva else None
    while entry is not None:
        lookup, _, _, name, first = struct.unpack_from("<IIIII", data, entry)
        if name == 0:
            break
        functions = imports.setdefault(name_at(name).lower(), [])
        thunk = offset(lookup or first)
        while True:
            value = struct.unpack_from("<Q" if wide else "<I", data, thunk)[0]
            if value == 0:
                break
            if value >> (63 if wide else 31):
                functions.append("#%d" % (value & 0xFFFF))
            else:
                functions.append(name_at(value + 2))  # past the hint
            thunk += 8 if wide else 4
        entry += 20
    return machine, os_version, subsystem_version, imports


def declared(gcc, winnt):
    """The functions the headers declare for _WIN32_WINNT winnt."""
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "h.c")
        info = os.path.join(work, "h.aux")
        with open(source, "w") as out:
            out.writelines("#include <%s>\n" % header for header in HEADERS)
        subprocess.run([gcc, "-fsyntax-only", "-D_WIN32_WINNT=%s" % winnt, "-DWINVER=%s" % winnt,
                        "-aux-info", info, source], check=True, capture_output=True)
        names = set()
        for line in open(info, errors="replace"):
            found = re.search(r"(\w+) \(", line.split("*/", 1)[-1])
            if found:
                names.add(found.group(1))
        return names


def main():
    path = sys.argv[1]
    gcc = sys.argv[2] if len(sys.argv) > 2 else "i686-w64-mingw32-gcc"
    _, os_version, subsystem_version, imports = read_pe(path)
    newer = NEWER | (declared(gcc, "0x0A00") - declared(gcc, "0x0501"))
    faults = []
    for name, version in (("operating system", os_version), ("subsystem", subsystem_version)):
        if version > (5, 1):
            faults.append("asks in its header for %s version %d.%d" % ((name,) + version))
    for dll, functions in sorted(imports.items()):
        if dll.removesuffix(".dll") not in XP_DLLS:
            faults.append("imports %s, which Windows XP does not have" % dll)
        faults += ["imports %s from %s" % (f, dll) for f in functions if f in newer]
    program = os.path.basename(path)
    if faults:
        print("%s would not load on Windows XP SP3: it" % program)
        print("".join("    %s\n" % fault for fault in faults), end="")
        return 1
    count = sum(len(functions) for functions in imports.values())
    print("%s imports nothing newer than Windows XP SP3 (%d functions from %d DLLs)" %
          (program, count, len(imports)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
