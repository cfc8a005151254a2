// Windows consoles: argv comes in the ANSI code page, which cannot hold
// every character, so the arguments are read as UTF-16 instead; output is
// UTF-8 with the console told so.
#include "tools/peer/peer_console.h"

#include <windows.h>

#include <shellapi.h>

void PeerConsoleInit() {
    SetConsoleOutputCP(CP_UTF8);
}

static std::string Utf8Of(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(size) - 1); // without the terminator
    return utf8;
}

std::vector<std::string> PeerArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) {
        for (int i = 1; i < argc; ++i)
            arguments.emplace_back(argv[i]);
        return arguments;
    }
    for (int i = 1; i < count; ++i)
        arguments.push_back(Utf8Of(wide[i]));
    LocalFree(wide);
    return arguments;
}
