// The peer program itself, run as a process beside the test, on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "runtime/socket.h"
#include "tests/net/net_test_support.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#define ExitCodeOf(status) (status)
#else
#include <sys/wait.h>
#define ExitCodeOf(status) WEXITSTATUS(status)
#endif

namespace {

// Runs the peer to its end: its exit code, and its output (stdout and
// stderr) in output.
int RunPeer(const std::string& arguments, std::string* output) {
    // The program as seen from the test's build folder, where CTest runs it.
    std::string command = "\"" PEER_PROGRAM_FROM_TEST "\" " + arguments + " 2>&1";
#ifdef _WIN32
    // cmd /c takes backslashes in paths, and drops the first and the last
    // quote of a line with more than two: one more pair keeps ours.
    std::replace(command.begin(), command.begin() + command.find(' '), '/', '\\');
    command = "\"" + command + "\"";
#endif
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char chunk[4096];
    for (size_t count; (count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output->append(chunk, count);
    return ExitCodeOf(pclose(pipe));
}

// 0 done, 1 the network failed, 2 bad arguments, told in one line; each
// run ends by itself (its time-out at the latest), which ends the reading
// of its output. What the peer does on the wire, as the device of the
// end-to-end tests, they check.
TEST(PeerProgram, ExitCodesSayHowItEnded) {
    ASSERT_TRUE(SocketsStart());
    SocketHandle socket = OpenLoopbackUdp(); // holds a port on 127.0.0.1
    std::string port = std::to_string(SocketLocalPort(socket));
    const std::tuple<std::string, int, std::string> kExits[] = {
        {"--port 1 --help --bogus", 0, "Usage: q7700-peer"}, // help wins over the rest
        {"--to 127.0.0.1 --to-port " + port + " --send x --timeout 9000", 0,
         "done: 0 received, 1 sent\n"},
        {"--bind 127.0.0.1 --port " + port + " --timeout 3000", 1, "port " + port + " is in use"},
        {"--port 70000 --timeout 3000", 2, "q7700-peer: --port needs"}};
    for (const auto& [arguments, code, part] : kExits) {
        std::string output;
        EXPECT_EQ(RunPeer(arguments, &output), code) << arguments;
        EXPECT_NE(output.find(part), std::string::npos) << output;
        EXPECT_TRUE(code != 2 || output.find('\n') == output.size() - 1) << output;
    }
    SocketClose(socket);
    SocketsStop();
}

} // namespace
