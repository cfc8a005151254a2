// The peer program itself, run as a process beside the test, on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/frame.h"
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

// The peer with these arguments, its output (stdout and stderr) to be read.
FILE* StartPeer(const std::string& arguments) {
    // The program as seen from the test's build folder, where CTest runs it.
    std::string command = "\"" PEER_PROGRAM_FROM_TEST "\" " + arguments + " 2>&1";
#ifdef _WIN32
    // cmd /c takes backslashes in paths, and drops the first and the last
    // quote of a line with more than two: one more pair keeps ours.
    std::replace(command.begin(), command.begin() + command.find(' '), '/', '\\');
    command = "\"" + command + "\"";
#endif
    return popen(command.c_str(), "r");
}

// The rest of a peer's output, read to its end (in output), and its exit code.
int Finish(FILE* peer, std::string* output) {
    if (!peer) return -1;
    char chunk[4096];
    for (size_t count; (count = std::fread(chunk, 1, sizeof chunk, peer)) > 0;)
        output->append(chunk, count);
    return ExitCodeOf(pclose(peer));
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
        EXPECT_EQ(Finish(StartPeer(arguments), &output), code) << arguments;
        EXPECT_NE(output.find(part), std::string::npos) << output;
        EXPECT_TRUE(code != 2 || output.find('\n') == output.size() - 1) << output;
    }
    SocketClose(socket);
    SocketsStop();
}

// Frames of one peer, each from a new port, reach another, which answers
// each to the port given and ends after the number it was told to take.
TEST(PeerProgram, FramesFromPeerToPeerAreAnswered) {
    ASSERT_TRUE(SocketsStart());
    SocketHandle socket = OpenLoopbackUdp(); // where the answers go
    const std::string to = std::to_string(UnusedUdpPort());
    FILE* listener = StartPeer("-b 127.0.0.1 -p " + to + " --json --max=2 --timeout 20000 --echo " +
                               "--answer-port " + std::to_string(SocketLocalPort(socket)));
    char line[256] = {}; // the peer's first line, once it listens (or its end)
    ASSERT_TRUE(listener && std::fgets(line, sizeof line, listener));
    ASSERT_NE(std::strstr(line, "\"listening\""), nullptr) << line;
    std::string sent, received;
    EXPECT_EQ(Finish(StartPeer("--to 127.0.0.1 --to-port=" + to + " --count 2 --rate 50 " +
                               "--fresh-port --send-hex \"68 65 6c 6c 6f 0d\""),
                     &sent),
              0);
    for (int i = 0; i < 2; ++i) {
        char answer[64];
        ASSERT_EQ(SocketWaitReadable(socket, 5000), 1) << "no answer " << i << " came";
        ASSERT_EQ(SocketReceiveFrom(socket, answer, sizeof answer, nullptr, nullptr), 11);
        EXPECT_TRUE(CheckFrame(answer, 11, -1).wellFormed &&
                    std::string(answer + 5, 6) == "hello\r");
    }
    EXPECT_EQ(Finish(listener, &received), 0);
    EXPECT_NE(received.find("\"event\":\"done\",\"received\":2"), std::string::npos) << received;
    SocketClose(socket);
    SocketsStop();
}

} // namespace
