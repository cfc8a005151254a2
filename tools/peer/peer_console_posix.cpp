// POSIX consoles take and show UTF-8 as they are.
#include "tools/peer/peer_console.h"

void PeerConsoleInit() {}

std::vector<std::string> PeerArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}
