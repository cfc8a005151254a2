// What a rich-text box needs to hold a received log by itself: a read-only
// box of the program's received box's class and size, filled with the same
// lines, for the memory the benchmark may not count against the program.
//
//   richedit_reference    then on standard input: "fill LINES SIZE", "quit"
//
// It prints "ready" once the box is made and "filled" once it holds LINES
// lines of SIZE characters (ended by CR LF), appended at the end as the
// program appends them.
#include <windows.h>

#include <richedit.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    LoadLibraryW(L"riched20.dll");
    HWND top = CreateWindowExW(0, L"Static", L"reference", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               300, 250, nullptr, nullptr, nullptr, nullptr);
    HWND box = CreateWindowExW(0, L"RichEdit20W", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                   ES_READONLY,
                               10, 135, 280, 100, top, nullptr, nullptr, nullptr);
    SendMessageW(box, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    std::puts("ready");
    std::fflush(stdout);
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        int lines = 0, size = 0;
        if (std::sscanf(line, "fill %d %d", &lines, &size) != 2) break;
        std::wstring text;
        for (int i = 0; i < lines; ++i) {
            text.append(static_cast<size_t>(size > 2 ? size - 2 : 0), L'x');
            text += L"\r\n";
            if (text.size() >= 100000 || i + 1 == lines) {
                SendMessageW(box, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
                SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
                text.clear();
            }
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        std::puts("filled");
        std::fflush(stdout);
    }
    return 0;
}
