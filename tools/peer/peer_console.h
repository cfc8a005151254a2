#pragma once
// The console around q7700-peer: its arguments as UTF-8 and UTF-8 output,
// whatever the system's code pages.
#include <string>
#include <vector>

// Makes the console show UTF-8 output (Windows); nothing elsewhere.
void PeerConsoleInit();
// The command line's arguments, without the program's name, in UTF-8. On
// Windows they are read as UTF-16 from the system, so that any character
// typed arrives intact.
std::vector<std::string> PeerArguments(int argc, char** argv);
