// Automation driver: operates the program's window from beside it, as an
// operator would, for the end-to-end tests, the benchmarks and the run
// command's demonstration. It reads one command per line on standard input
// and answers each with one line: "ok ..." or "error ...".
// Texts travel as hexadecimal Windows-1251 bytes, so no code page or quoting
// question arises between the test and this driver.
//
//   find MS                 wait up to MS for the program's main window and its panel
//   text ID                 the text of control ID            -> ok HEX
//   settext ID HEX          replace the text of control ID
//   type ID HEX             type the characters into control ID, one by one
//   state ID                visibility and enabled state      -> ok VISIBLE ENABLED
//   rect ID                 client rectangle of control ID    -> ok X Y W H
//   client                  inner size of the main window     -> ok W H
//   extent ID               size of label ID's text on one line in the font the
//                           label draws with, and that font's face
//                                                             -> ok W H FACEHEX
//   click ID                press button ID as the mouse does (refused when the
//                           operator could not: hidden or disabled control or window)
//                           -> ok TIME: the real-time clock of the press, in us
//   msgbox MS               wait up to MS for a message box of the program
//                           -> ok TITLEHEX TEXTHEX OWNED MAINENABLED
//   msgbox-any MS           wait up to MS for a message box titled as the program,
//                           of any process (before any main window exists)
//                           -> ok TITLEHEX TEXTHEX OWNED
//   count-boxes             -> ok N: message boxes of the program now open
//   nomsgbox                -> ok 0|1: whether a message box is open
//   msgbox-ok               press OK of the open message box
//   close                   press the close box (refused while the window is disabled)
//   alive                   -> ok 0|1: whether the main window still exists
//   foreground              bring a window of the driver's own to the front, as
//                           when the operator switches to another program
//   activate                bring the program's window to the front again
//   threads                 -> ok N: threads the program's process has now
//   click-until-shown ID OTHER MS
//                           press button ID as click does, wait up to MS for control
//                           OTHER to be visible and enabled, then for the main
//                           window's thread to answer a message again
//                           -> ok SHOWNMS ANSWEREDMS (or error timed out ELAPSEDMS)
//   ping MS                 -> ok 0|1: whether the main window's thread answered a
//                           message within MS (a hung panel does not)
//   length                  -> ok N: the received box's text length
//   watch LEN COUNT MS      poll the received box's text length about every
//                           millisecond until it holds COUNT * LEN characters (or MS
//                           passed): when each block of LEN characters was first seen
//                           (real-time clock, us) and what a poll costs
//                           -> ok POLLS POLL_US_MEDIAN T0 T1 ... (as many as seen)
//   worker                  the network worker's own time per received datagram
//                           (from the start of its cycle to its pause) in the cycles
//                           since the last "worker", from the timing marks of the
//                           program's bench build -> ok COUNT P50_US P99_US MAX_US MEAN_US
//   marks                   the bench build's timing marks up to the event loop, with
//                           the counter's frequency and the driver's counter now
//                           -> ok FREQUENCY NOW TAG=COUNTER TAG=COUNTER ...
//   quit
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <mmsystem.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/cp1251.h"
#include "tests/e2e/driver/driver.h"

HWND gMain;

HWND Control(int id) {
    return gMain ? GetDlgItem(gMain, id) : nullptr;
}

void Answer(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

namespace {

const char16_t kTitle[] = u"Virtual Q7700-Ethernet demo";

DWORD gProcessId;

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex.push_back(digits[byte >> 4]);
        hex.push_back(digits[byte & 15]);
    }
    return hex.empty() ? "-" : hex; // "-" stands for the empty text
}

std::string Unhex(const char* hex) {
    std::string bytes;
    if (!hex || std::strcmp(hex, "-") == 0) return bytes;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        bytes.push_back(static_cast<char>(std::strtoul(pair, nullptr, 16)));
    }
    return bytes;
}

std::wstring Wide(const std::string& text) {
    std::u16string chars = Cp1251ToUtf16(text);
    return std::wstring(chars.begin(), chars.end());
}

std::string WindowText(HWND window) {
    // WM_GETTEXT rather than GetWindowText: it reaches controls of another process.
    LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied =
        SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    std::u16string chars(buffer.begin(), buffer.begin() + copied);
    return Utf16ToCp1251(chars);
}

bool IsMainWindow(HWND window) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    return std::u16string(reinterpret_cast<char16_t*>(title)) == kTitle;
}

BOOL CALLBACK FindMain(HWND window, LPARAM) {
    if (IsMainWindow(window)) {
        gMain = window;
        return FALSE;
    }
    return TRUE;
}

HWND gBox;
BOOL CALLBACK FindBox(HWND window, LPARAM) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == gProcessId && std::wcscmp(className, L"#32770") == 0 &&
        IsWindowVisible(window)) {
        gBox = window;
        return FALSE;
    }
    return TRUE;
}

int gBoxCount;
BOOL CALLBACK CountBoxes(HWND window, LPARAM) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == gProcessId && std::wcscmp(className, L"#32770") == 0 &&
        IsWindowVisible(window))
        ++gBoxCount;
    return TRUE;
}

BOOL CALLBACK FindTitledBox(HWND window, LPARAM) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wcscmp(className, L"#32770") == 0 && IsWindowVisible(window) && IsMainWindow(window)) {
        gBox = window;
        return FALSE;
    }
    return TRUE;
}

HWND MessageBoxWindow() {
    gBox = nullptr;
    if (gProcessId) EnumWindows(FindBox, 0);
    return gBox;
}

std::string BoxText(HWND box) {
    // The message text is the box's static control (identifier 0xFFFF).
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

HWND Control(const char* id) {
    return id ? ::Control(std::atoi(id)) : nullptr;
}

// The family of the font that a DC really draws with: for a substituted
// face ("MS Shell Dlg") GetTextFace gives the name asked for, not the font.
std::wstring RealizedFace(HDC dc) {
    UINT bytes = GetOutlineTextMetricsW(dc, 0, nullptr);
    if (bytes == 0) {
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        return face;
    }
    std::string buffer(bytes, '\0');
    auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (!GetOutlineTextMetricsW(dc, bytes, metrics)) return std::wstring();
    return reinterpret_cast<const wchar_t*>(buffer.data() +
                                            reinterpret_cast<uintptr_t>(metrics->otmpFamilyName));
}

template <typename Test> bool WaitFor(DWORD timeoutMs, Test test) {
    return ::WaitFor(timeoutMs, 5, test);
}

void Run(char* line) {
    char* command = std::strtok(line, " \r\n");
    char* arg1 = std::strtok(nullptr, " \r\n");
    char* arg2 = std::strtok(nullptr, " \r\n");
    char* arg3 = std::strtok(nullptr, " \r\n");
    if (!command) return Answer("error empty");
    std::string name = command;

    if (name == "find") {
        DWORD timeout = arg1 ? std::strtoul(arg1, nullptr, 10) : 5000;
        bool found = WaitFor(timeout, [] {
            gMain = nullptr;
            EnumWindows(FindMain, 0);
            // The window shows before its controls are made; the received
            // box (11) is the last of them.
            return gMain != nullptr && IsWindowVisible(gMain) && GetDlgItem(gMain, 11) != nullptr;
        });
        if (!found) return Answer("error no window");
        GetWindowThreadProcessId(gMain, &gProcessId);
        return Answer("ok " + std::to_string(reinterpret_cast<uintptr_t>(gMain)));
    }
    if (name == "alive") return Answer(gMain && IsWindow(gMain) ? "ok 1" : "ok 0");
    if (name == "foreground") {
        static HWND other;
        if (!other)
            other = CreateWindowExW(0, L"Static", L"another program", WS_OVERLAPPEDWINDOW, 400, 300,
                                    200, 100, nullptr, nullptr, nullptr, nullptr);
        ShowWindow(other, SW_SHOW);
        SetForegroundWindow(other);
        bool front = WaitFor(2000, [] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            return GetForegroundWindow() == other;
        });
        return Answer(front ? "ok" : "error not in front");
    }
    if (name == "quit") std::exit(0);
    if (name == "msgbox-any") {
        DWORD timeout = arg1 ? std::strtoul(arg1, nullptr, 10) : 5000;
        bool found = WaitFor(timeout, [] {
            gBox = nullptr;
            EnumWindows(FindTitledBox, 0);
            return gBox != nullptr;
        });
        if (!found) return Answer("error no message box");
        HWND box = gBox;
        GetWindowThreadProcessId(box, &gProcessId);
        WaitFor(1000, [&] { return !BoxText(box).empty(); });
        return Answer("ok " + Hex(WindowText(box)) + " " + Hex(BoxText(box)) + " " +
                      (GetWindow(box, GW_OWNER) ? "1" : "0"));
    }
    if (name == "threads") {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return Answer("error no snapshot");
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        int count = 0;
        for (BOOL more = Thread32First(snapshot, &entry); more;
             more = Thread32Next(snapshot, &entry))
            if (entry.th32OwnerProcessID == gProcessId) ++count;
        CloseHandle(snapshot);
        return Answer("ok " + std::to_string(count));
    }
    if (name == "count-boxes") {
        gBoxCount = 0;
        EnumWindows(CountBoxes, 0);
        return Answer("ok " + std::to_string(gBoxCount));
    }
    if (name == "nomsgbox") return Answer(MessageBoxWindow() ? "ok 1" : "ok 0");
    if (name == "msgbox-ok") {
        HWND box = MessageBoxWindow();
        if (!box) return Answer("error no message box");
        HWND ok = GetDlgItem(box, IDOK);
        if (ok)
            PostMessageW(ok, BM_CLICK, 0, 0);
        else
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        return Answer("ok");
    }
    if (!gMain || !IsWindow(gMain)) return Answer("error no window");
    if (RunTimingCommand(name, arg1, arg2, arg3)) return;

    if (name == "activate") {
        SetForegroundWindow(gMain);
        bool front = WaitFor(2000, [] { return GetForegroundWindow() == gMain; });
        return Answer(front ? "ok" : "error not in front");
    }
    if (name == "ping") {
        UINT timeout = arg1 ? static_cast<UINT>(std::strtoul(arg1, nullptr, 10)) : 1000;
        DWORD_PTR result = 0;
        bool answered =
            SendMessageTimeoutW(gMain, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &result) != 0;
        return Answer(answered ? "ok 1" : "ok 0");
    }
    if (name == "client") {
        RECT r;
        GetClientRect(gMain, &r);
        return Answer("ok " + std::to_string(r.right) + " " + std::to_string(r.bottom));
    }
    if (name == "msgbox") {
        DWORD timeout = arg1 ? std::strtoul(arg1, nullptr, 10) : 5000;
        HWND box = nullptr;
        if (!WaitFor(timeout, [&] { return (box = MessageBoxWindow()) != nullptr; }))
            return Answer("error no message box");
        // The text control may be filled a moment after the box shows.
        WaitFor(1000, [&] { return !BoxText(box).empty(); });
        bool owned = GetWindow(box, GW_OWNER) != nullptr;
        return Answer("ok " + Hex(WindowText(box)) + " " + Hex(BoxText(box)) + " " +
                      (owned ? "1" : "0") + " " + (IsWindowEnabled(gMain) ? "1" : "0"));
    }
    if (name == "close") {
        if (!IsWindowEnabled(gMain)) return Answer("error window disabled");
        // What the close box does: the system command, which the default
        // handling turns into a close request.
        PostMessageW(gMain, WM_SYSCOMMAND, SC_CLOSE, 0);
        return Answer("ok");
    }

    HWND control = arg1 ? Control(arg1) : nullptr;
    if (!control) return Answer("error no control");
    if (name == "text") return Answer("ok " + Hex(WindowText(control)));
    if (name == "settext") {
        std::wstring text = Wide(Unhex(arg2));
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return Answer("ok");
    }
    if (name == "type") {
        for (wchar_t c : Wide(Unhex(arg2)))
            SendMessageW(control, WM_CHAR, c, 1);
        return Answer("ok");
    }
    if (name == "state")
        return Answer(std::string("ok ") + (IsWindowVisible(control) ? "1" : "0") + " " +
                      (IsWindowEnabled(control) ? "1" : "0"));
    if (name == "rect") {
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, gMain, reinterpret_cast<POINT*>(&r), 2);
        return Answer("ok " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                      std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top));
    }
    if (name == "extent") {
        // The font the label draws with. Wine answers WM_GETFONT from another
        // process with 0; its static control keeps the font in its first
        // extra word, which any process can read. The default GUI font is a
        // stock object, so its handle is valid in this process too.
        auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        wchar_t className[16] = {};
        GetClassNameW(control, className, 16);
        if (!font && _wcsicmp(className, L"Static") == 0)
            font = reinterpret_cast<HFONT>(GetWindowLongPtrW(control, 0));
        LOGFONTW description{};
        if (!font || !GetObjectW(font, sizeof description, &description))
            return Answer("error the control's font is unknown here");
        // Measured on the control's own DC, in that font.
        HDC dc = GetDC(control);
        HGDIOBJ previous = SelectObject(dc, font);
        std::wstring text = Wide(WindowText(control));
        SIZE size{};
        bool measured = previous && GetTextExtentPoint32W(dc, text.c_str(),
                                                          static_cast<int>(text.size()), &size);
        std::wstring face = measured ? RealizedFace(dc) : std::wstring();
        if (previous) SelectObject(dc, previous);
        ReleaseDC(control, dc);
        if (!measured) return Answer("error cannot measure in the control's font");
        return Answer("ok " + std::to_string(size.cx) + " " + std::to_string(size.cy) + " " +
                      Hex(Utf16ToCp1251(std::u16string(face.begin(), face.end()))));
    }
    if (name == "click-until-shown") {
        HWND other = arg2 ? Control(arg2) : nullptr;
        if (!other) return Answer("error no control");
        if (!IsWindowVisible(control) || !IsWindowEnabled(control) || !IsWindowEnabled(gMain))
            return Answer("error not clickable");
        DWORD timeout = arg3 ? std::strtoul(arg3, nullptr, 10) : 5000;
        // Timed here, beside the window, so that no round trip to the test
        // is counted; polled every millisecond.
        LARGE_INTEGER frequency, start, now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        PostMessageW(control, BM_CLICK, 0, 0);
        auto elapsedMs = [&] {
            QueryPerformanceCounter(&now);
            return static_cast<long long>((now.QuadPart - start.QuadPart) * 1000 /
                                          frequency.QuadPart);
        };
        bool shown = false;
        while (!(shown = IsWindowVisible(other) && IsWindowEnabled(other)) &&
               elapsedMs() < static_cast<long long>(timeout))
            Sleep(1);
        long long shownMs = elapsedMs();
        if (!shown) return Answer("error timed out " + std::to_string(shownMs));
        // The handler that showed it may still be busy (waiting for a thread,
        // say): the panel has answered once its thread takes messages again.
        DWORD_PTR result = 0;
        UINT left = static_cast<UINT>(std::max(1LL, static_cast<long long>(timeout) - shownMs));
        if (!SendMessageTimeoutW(gMain, WM_NULL, 0, 0, SMTO_NORMAL, left, &result))
            return Answer("error timed out " + std::to_string(elapsedMs()));
        return Answer("ok " + std::to_string(shownMs) + " " + std::to_string(elapsedMs()));
    }
    if (name == "click") {
        if (!IsWindowVisible(control) || !IsWindowEnabled(control) || !IsWindowEnabled(gMain))
            return Answer("error not clickable");
        // The button presses itself and sends its own click notification.
        long long time = NowUs();
        PostMessageW(control, BM_CLICK, 0, 0);
        return Answer("ok " + std::to_string(time));
    }
    Answer("error unknown command");
}

} // namespace

int main() {
    // Plain "\n" line ends, whatever the console would make of them.
    _setmode(_fileno(stdout), _O_BINARY);
    timeBeginPeriod(1); // Sleep(1) polls at 1 ms, not at the default tick
    char line[200000];
    while (std::fgets(line, sizeof line, stdin))
        Run(line);
    return 0;
}
