// The peer program itself, run as a process beside the test, on loopback:
// its exit codes, frames from one peer to another, and its answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/frame.h"
#include "runtime/socket.h"
#include "tests/net/net_test_support.h"

#ifdef _WIN32
#define popen _popen
#define ExitCodeOf(status) (status)
#else
#include <sys/wait.h>
#define ExitCodeOf(status) WEXITSTATUS(status)
#endif

namespace {

// A running peer whose output (stdout and stderr) is read line by line.
class Peer {
  public:
    explicit Peer(const std::string& arguments) {
        // The program as seen from the test's build folder, where CTest runs it.
        std::string command = "\"" PEER_PROGRAM_FROM_TEST "\" " + arguments + " 2>&1";
#ifdef _WIN32
        // cmd /c takes backslashes in paths, and drops the first and the last
        // quote of a line with more than two: one more pair keeps ours.
        std::replace(command.begin(), command.begin() + command.find(' '), '/', '\\');
        command = "\"" + command + "\"";
#endif
        pipe_ = popen(command.c_str(), "r");
    }
    ~Peer() {
        if (pipe_) pclose(pipe_);
    }
    // The next line with its end, or "" at the end of the output.
    std::string Line() {
        std::string line;
        char chunk[4096];
        while (pipe_ && line.find('\n') == std::string::npos && std::fgets(chunk, 4096, pipe_))
            line += chunk;
        return line;
    }
    // The rest of the output (in output) and the exit code.
    int Finish() {
        for (std::string line; !(line = Line()).empty();)
            output += line;
        int status = pipe_ ? pclose(pipe_) : -1;
        pipe_ = nullptr;
        return ExitCodeOf(status);
    }
    std::string output;

  private:
    FILE* pipe_;
};

// 0 done, 1 the network failed, 2 bad arguments, told in one line. Frames
// of one peer (each from a new port) reach another, which calls them
// well-formed and answers each with a frame of its own carrying the same
// message. A repeated nonce and a broken header are named and not
// answered; the largest datagram arrives whole.
TEST(PeerProgram, ExitCodesAndFramesFromPeerToPeerAnsweredBrokenOnesNamed) {
    ASSERT_TRUE(SocketsStart());
    SocketHandle socket = OpenLoopbackUdp(); // the test's, on 127.0.0.1
    std::string port = std::to_string(SocketLocalPort(socket));
    const std::tuple<std::string, int, std::string> kExits[] = {
        {"--port 1 --help --bogus", 0, "Usage: q7700-peer"}, // help wins over the rest
        {"--bind 127.0.0.1 --port " + port + " --timeout 3000", 1, "port " + port + " is in use"},
        {"--port 70000 --timeout 3000", 2, "q7700-peer: --port needs"}};
    for (const auto& [arguments, code, part] : kExits) {
        Peer peer(arguments);
        EXPECT_EQ(peer.Finish(), code) << arguments;
        EXPECT_NE(peer.output.find(part), std::string::npos) << peer.output;
        EXPECT_TRUE(code != 2 || peer.output.find('\n') == peer.output.size() - 1) << peer.output;
    }

    Peer listener("-b 127.0.0.1 -p 0 --json --max=5 --timeout 20000 --echo --answer-port " + port);
    std::string listening = listener.Line();
    const std::string kListening = "{\"event\":\"listening\",\"address\":\"127.0.0.1\",\"port\":";
    ASSERT_EQ(listening.rfind(kListening, 0), 0u) << listening;
    int to = std::atoi(listening.c_str() + kListening.size());
    Peer sender("--to 127.0.0.1 --to-port=" + std::to_string(to) +
                " --send-hex \"68 65 6c 6c 6f 0d\" --count 2 --rate 50 --fresh-port");
    std::string nonces[2];
    for (std::string& nonce : nonces) {
        std::string sent = sender.Line(),
                    kSent = "sent 11 bytes to 127.0.0.1:" + std::to_string(to);
        ASSERT_EQ(sent.rfind(kSent + " (frame, nonce ", 0), 0u) << sent;
        nonce = std::to_string(std::atoi(sent.c_str() + kSent.size() + 15));
        ASSERT_EQ(SocketWaitReadable(socket, 5000), 1);
        char answer[64];
        ASSERT_EQ(SocketReceiveFrom(socket, answer, sizeof answer, nullptr, nullptr), 11);
        EXPECT_TRUE(CheckFrame(answer, 11, -1).wellFormed);
        EXPECT_EQ(std::string(answer + 5, 6), "hello\r");
    }
    EXPECT_EQ(sender.Finish(), 0);
    EXPECT_EQ(sender.output, "done: 0 received, 2 sent\n");

    int repeated = std::stoi(nonces[1]);
    const std::string kOthers[] = {
        {0x10, 1, 0, static_cast<char>(repeated), static_cast<char>(FrameFlagByte(repeated)), 'x'},
        std::string("\x10\x00\x01\x05\x10", 5),
        std::string(65507, 'z')};
    for (const std::string& datagram : kOthers)
        ASSERT_EQ(SendBytes(socket, datagram, static_cast<uint16_t>(to)), int32_t(datagram.size()));
    EXPECT_EQ(listener.Finish(), 0);
    const std::string kParts[] = {"\"frame\":true,\"nonce\":" + nonces[0] + ",",
                                  "\"frame\":true,\"nonce\":" + nonces[1] + ",",
                                  "\"text\":\"hello\\r\"",
                                  "\"event\":\"answered\"",
                                  "\"frame\":false,\"nonce\":" + nonces[1] + ",",
                                  "\"reserved\":false",
                                  "\"length\":65507",
                                  "\"event\":\"done\",\"received\":5"};
    for (const std::string& part : kParts)
        EXPECT_NE(listener.output.find(part), std::string::npos) << part;
    EXPECT_EQ(SocketWaitReadable(socket, 100), 0); // only the answers to the good frames came
    SocketClose(socket);
    SocketsStop();
}

} // namespace
