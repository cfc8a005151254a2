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
//   answers COUNT GAP       send the main window COUNT messages, GAP ms apart, each
//                           timed until answered -> ok COUNT P50_US P99_US MAX_US
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
#include <initializer_list>
#include <string>
#include <vector>

#include "app/texts.h"
#include "runtime/cp1251.h"
#include "tools/driver/driver_win.h"

HWND gMain;

HWND Control(int id) {
    return gMain ? GetDlgItem(gMain, id) : nullptr;
}

namespace {

DWORD gProcessId; // the program's, once its window or a box of it was found

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes)
        hex += {digits[byte >> 4], digits[byte & 15]};
    return hex.empty() ? "-" : hex; // "-" stands for the empty text
}

std::wstring Wide(const std::string& text) {
    std::u16string chars = Cp1251ToUtf16(text);
    return std::wstring(chars.begin(), chars.end());
}

std::wstring WideFromHex(const char* hex) {
    std::string bytes;
    for (size_t i = 0; hex && std::strcmp(hex, "-") != 0 && hex[i] && hex[i + 1]; i += 2)
        bytes.push_back(static_cast<char>(std::stoul(std::string(hex + i, 2), nullptr, 16)));
    return Wide(bytes);
}

std::string Narrow(const std::wstring& text) {
    return Utf16ToCp1251(std::u16string(text.begin(), text.end()));
}

// "ok" and the numbers; a flag is 1 or 0.
std::string Ok(std::initializer_list<long long> numbers) {
    std::string line = "ok";
    for (long long number : numbers)
        line += " " + std::to_string(number);
    return line;
}

std::string WindowText(HWND window) {
    // WM_GETTEXT rather than GetWindowText: it reaches controls of another process.
    LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    buffer.resize(static_cast<size_t>(
        SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()))));
    return Narrow(buffer);
}

bool HasTitle(HWND window) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    return Narrow(title) == kProgramTitle;
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The visible top-level windows, in their order from the top.
std::vector<HWND> TopWindows() {
    std::vector<HWND> found;
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return _wcsicmp(className, name) == 0;
}

// The program's open message boxes: those of its process, or before its
// process is known (anyProcess) those titled as the program.
std::vector<HWND> MessageBoxes(bool anyProcess = false) {
    std::vector<HWND> boxes;
    for (HWND box : TopWindows()) {
        DWORD processId = 0;
        GetWindowThreadProcessId(box, &processId);
        if (IsClass(box, L"#32770") &&
            (anyProcess ? HasTitle(box) : gProcessId && processId == gProcessId))
            boxes.push_back(box);
    }
    return boxes;
}

HWND MessageBoxWindow() {
    std::vector<HWND> boxes = MessageBoxes();
    return boxes.empty() ? nullptr : boxes.front();
}

// "ok TITLEHEX TEXTHEX OWNED" of a box, once its text control (0xFFFF),
// which may be filled a moment after the box shows, holds the message.
std::string BoxAnswer(HWND box) {
    auto text = [box] {
        HWND control = GetDlgItem(box, 0xFFFF);
        return control ? WindowText(control) : std::string();
    };
    WaitFor(1000, 5, [&] { return !text().empty(); });
    return "ok " + Hex(WindowText(box)) + " " + Hex(text()) + " " +
           (GetWindow(box, GW_OWNER) ? "1" : "0");
}

// The family of the font that a DC really draws with: for a substituted
// face ("MS Shell Dlg") GetTextFace gives the name asked for, not the font.
// Empty for a font without outlines, which no label here uses.
std::wstring RealizedFace(HDC dc) {
    std::string buffer(GetOutlineTextMetricsW(dc, 0, nullptr), '\0');
    auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (buffer.empty() || !GetOutlineTextMetricsW(dc, static_cast<UINT>(buffer.size()), metrics))
        return std::wstring();
    return reinterpret_cast<const wchar_t*>(buffer.data() +
                                            reinterpret_cast<uintptr_t>(metrics->otmpFamilyName));
}

// Size of a label's text on one line in the font it draws with, and the face.
std::string Extent(HWND control) {
    // Wine answers WM_GETFONT from another process with 0; its static control
    // keeps the font in its first extra word, which any process can read. The
    // default GUI font is a stock object, so its handle is valid here too.
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!font && IsClass(control, L"Static"))
        font = reinterpret_cast<HFONT>(GetWindowLongPtrW(control, 0));
    if (!font) return "error the control's font is unknown here";
    HDC dc = GetDC(control); // measured on the control's own DC, in that font
    HGDIOBJ previous = SelectObject(dc, font);
    std::wstring text = Wide(WindowText(control)), face = RealizedFace(dc);
    SIZE size{};
    bool measured =
        previous && GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    if (!measured) return "error cannot measure in the control's font";
    return Ok({size.cx, size.cy}) + " " + Hex(Narrow(face));
}

// Presses button control as click does, then times until other shows visible
// and enabled and the main window's thread answers a message again.
std::string ClickUntilShown(HWND control, HWND other, DWORD timeoutMs) {
    // Timed here, beside the window, so that no round trip to the test is
    // counted; polled every millisecond.
    LARGE_INTEGER frequency, start;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PostMessageW(control, BM_CLICK, 0, 0);
    auto elapsedMs = [&] {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
    };
    bool shown = false;
    while (!(shown = IsWindowVisible(other) && IsWindowEnabled(other)) &&
           elapsedMs() < static_cast<long long>(timeoutMs))
        Sleep(1);
    long long shownMs = elapsedMs();
    if (!shown) return "error timed out " + std::to_string(shownMs);
    // The handler that showed it may still be busy (waiting for a thread,
    // say): the panel has answered once its thread takes messages again.
    DWORD_PTR result = 0;
    UINT left = static_cast<UINT>(std::max(1LL, static_cast<long long>(timeoutMs) - shownMs));
    if (!SendMessageTimeoutW(gMain, WM_NULL, 0, 0, SMTO_NORMAL, left, &result))
        return "error timed out " + std::to_string(elapsedMs());
    return Ok({shownMs, elapsedMs()});
}

int ProgramThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == gProcessId;
    CloseHandle(snapshot);
    return count;
}

// Brings a window to the front: the driver's own stand-in for another
// program (nullptr) or the program's main window.
std::string BringToFront(HWND window) {
    static HWND other;
    if (!window && !other)
        other = CreateWindowExW(0, L"Static", L"another program", WS_OVERLAPPEDWINDOW, 400, 300,
                                200, 100, nullptr, nullptr, nullptr, nullptr);
    if (!window) ShowWindow(window = other, SW_SHOW);
    SetForegroundWindow(window);
    bool front = WaitFor(2000, 5, [window] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        return GetForegroundWindow() == window;
    });
    return front ? "ok" : "error not in front";
}

std::string Run(const std::string& name, const char* arg1, const char* arg2, const char* arg3) {
    DWORD timeout = arg1 ? std::strtoul(arg1, nullptr, 10) : 5000;
    if (name == "find") {
        bool found = WaitFor(timeout, 5, [] {
            // The window shows before its controls are made; the received
            // box (11) is the last of them. A box of the program has its title.
            std::vector<HWND> windows = TopWindows();
            auto main = std::find_if(windows.begin(), windows.end(),
                                     [](HWND w) { return HasTitle(w) && GetDlgItem(w, 11); });
            gMain = main == windows.end() ? nullptr : *main;
            return gMain != nullptr;
        });
        if (!found) return "error no window";
        GetWindowThreadProcessId(gMain, &gProcessId);
        return "ok " + std::to_string(reinterpret_cast<uintptr_t>(gMain));
    }
    if (name == "foreground") return BringToFront(nullptr);
    if (name == "msgbox-any") {
        std::vector<HWND> boxes;
        if (!WaitFor(timeout, 5, [&] { return !(boxes = MessageBoxes(true)).empty(); }))
            return "error no message box";
        GetWindowThreadProcessId(boxes.front(), &gProcessId);
        return BoxAnswer(boxes.front());
    }
    if (name == "threads") {
        int count = ProgramThreads();
        return count < 0 ? "error no snapshot" : Ok({count});
    }
    if (name == "count-boxes") return Ok({static_cast<long long>(MessageBoxes().size())});
    if (name == "nomsgbox") return Ok({MessageBoxWindow() != nullptr});
    if (name == "msgbox-ok") {
        HWND box = MessageBoxWindow();
        if (!box) return "error no message box";
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        return "ok";
    }
    if (!gMain || !IsWindow(gMain)) return "error no window";
    std::string timing = RunTimingCommand(name, arg1, arg2, arg3);
    if (!timing.empty()) return timing;

    if (name == "activate") return BringToFront(gMain);
    if (name == "ping") {
        DWORD_PTR result = 0;
        return Ok({SendMessageTimeoutW(gMain, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &result) != 0});
    }
    if (name == "client") {
        RECT r;
        GetClientRect(gMain, &r);
        return Ok({r.right, r.bottom});
    }
    if (name == "msgbox") {
        HWND box = nullptr;
        if (!WaitFor(timeout, 5, [&] { return (box = MessageBoxWindow()) != nullptr; }))
            return "error no message box";
        return BoxAnswer(box) + (IsWindowEnabled(gMain) ? " 1" : " 0");
    }
    if (name == "close") {
        if (!IsWindowEnabled(gMain)) return "error window disabled";
        // What the close box does: the system command, which the default
        // handling turns into a close request.
        PostMessageW(gMain, WM_SYSCOMMAND, SC_CLOSE, 0);
        return "ok";
    }

    HWND control = arg1 ? Control(std::atoi(arg1)) : nullptr;
    if (!control) return "error no control";
    if (name == "text") return "ok " + Hex(WindowText(control));
    if (name == "settext") {
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideFromHex(arg2).c_str()));
        return "ok";
    }
    if (name == "type") {
        for (wchar_t c : WideFromHex(arg2))
            SendMessageW(control, WM_CHAR, c, 1);
        return "ok";
    }
    if (name == "state") return Ok({IsWindowVisible(control) != 0, IsWindowEnabled(control) != 0});
    if (name == "rect") {
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, gMain, reinterpret_cast<POINT*>(&r), 2);
        return Ok({r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    if (name == "extent") return Extent(control);
    // The presses, refused when the operator could not make them: a hidden
    // or disabled button, or a window disabled by a box it owns.
    if (name != "click" && name != "click-until-shown") return "error unknown command";
    if (!IsWindowVisible(control) || !IsWindowEnabled(control) || !IsWindowEnabled(gMain))
        return "error not clickable";
    if (name == "click-until-shown") {
        HWND other = arg2 ? Control(std::atoi(arg2)) : nullptr;
        if (!other) return "error no control";
        return ClickUntilShown(control, other, arg3 ? std::strtoul(arg3, nullptr, 10) : 5000);
    }
    // The button presses itself and sends its own click notification.
    long long time = NowUs();
    PostMessageW(control, BM_CLICK, 0, 0);
    return Ok({time});
}

} // namespace

int main() {
    // Plain "\n" line ends, whatever the console would make of them.
    _setmode(_fileno(stdout), _O_BINARY);
    timeBeginPeriod(1); // Sleep(1) polls at 1 ms, not at the default tick
    static char line[200000];
    while (std::fgets(line, sizeof line, stdin)) {
        char* command = std::strtok(line, " \r\n");
        char* arg1 = std::strtok(nullptr, " \r\n");
        char* arg2 = std::strtok(nullptr, " \r\n");
        char* arg3 = std::strtok(nullptr, " \r\n");
        if (command && std::strcmp(command, "quit") == 0) break;
        std::string answer = command ? Run(command, arg1, arg2, arg3) : "error empty";
        std::fputs((answer + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
    return 0;
}
