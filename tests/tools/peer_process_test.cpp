// The peer program itself, run as a process beside the test, on loopback:
// its exit codes, frames from one peer to another, and its answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/frame.h"
#include "runtime/socket.h"
#include "tests/net/net_test_support.h"

#ifdef _WIN32
#include <windows.h>
#define popen _popen
#define ExitCodeOf(status) (status)
#else
#include <sys/wait.h>
#define ExitCodeOf(status) WEXITSTATUS(status)
#endif

namespace {

// The peer program, found from the test program's own folder.
std::string PeerPath() {
    std::string relative = PEER_PROGRAM_FROM_TEST;
#ifdef _WIN32
    char self[MAX_PATH];
    std::string path(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
    std::replace(relative.begin(), relative.end(), '/', '\\');
#else
    std::string path = std::filesystem::read_symlink("/proc/self/exe").string();
#endif
    return path.substr(0, path.find_last_of("\\/") + 1) + relative;
}

// The number after "name": in a JSON line, or -1.
int NumberOf(const std::string& line, const std::string& name) {
    size_t at = line.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + name.size() + 3);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A running peer whose output (stdout and stderr) is read line by line.
class PeerProcess {
  public:
    explicit PeerProcess(const std::string& arguments) {
        std::string command = "\"" + PeerPath() + "\" " + arguments + " 2>&1";
#ifdef _WIN32
        // cmd /c drops the first and the last quote of a line with more
        // than two: one more pair keeps the program's own.
        command = "\"" + command + "\"";
#endif
        pipe_ = popen(command.c_str(), "r");
    }
    ~PeerProcess() {
        Finish();
    }
    // The next line (without its end), or "" at the end of the output.
    std::string Line() {
        std::string line;
        char chunk[4096];
        while (pipe_ && !Has(line, "\n") && std::fgets(chunk, sizeof chunk, pipe_))
            line += chunk;
        output += line;
        return line.substr(0, line.find_first_of("\r\n"));
    }
    // Reads the rest and returns the exit code.
    int Finish() {
        while (pipe_ && !Line().empty()) {
        }
        if (pipe_) exitCode_ = ExitCodeOf(pclose(pipe_));
        pipe_ = nullptr;
        return exitCode_;
    }
    // The port of the first line, {"event":"listening",...,"port":N}.
    int ListeningPort() {
        return NumberOf(Line(), "port");
    }
    std::string output;

  private:
    FILE* pipe_ = nullptr;
    int exitCode_ = -1;
};

// A UDP socket of the test on 127.0.0.1.
class PeerProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SocketsStart());
        socket = OpenLoopbackUdp();
        port = std::to_string(SocketLocalPort(socket));
    }
    void TearDown() override {
        SocketClose(socket);
        SocketsStop();
    }
    void Send(const std::string& bytes, int to) {
        ASSERT_EQ(SendBytes(socket, bytes, static_cast<uint16_t>(to)), int32_t(bytes.size()));
    }
    SocketHandle socket = NoSocket;
    std::string port;
};

// 0 done, 1 the network failed (the test's socket holds the port), 2 bad
// arguments, told in one line.
TEST_F(PeerProgram, ExitCodes) {
    const std::tuple<std::string, int, std::string> kCases[] = {
        {"--help", 0, "Usage: q7700-peer"},
        {"--bind 127.0.0.1 --port " + port + " --timeout 3000", 1, "port " + port + " is in use"},
        {"--port 70000", 2, "q7700-peer: --port needs"}};
    for (const auto& [arguments, code, part] : kCases) {
        PeerProcess peer(arguments);
        EXPECT_EQ(peer.Finish(), code) << arguments;
        EXPECT_TRUE(Has(peer.output, part)) << peer.output;
        EXPECT_TRUE(code != 2 || peer.output.find('\n') == peer.output.size() - 1) << peer.output;
    }
}

// Frames of one peer (each from a new port) reach another, which calls them
// well-formed and answers each with a frame of its own carrying the same
// message. A repeated nonce and a broken header are named and not
// answered; the largest datagram arrives whole.
TEST_F(PeerProgram, FramesGoFromPeerToPeerAndAreAnsweredBrokenOnesNamed) {
    PeerProcess listener("--bind 127.0.0.1 --port 0 --json --max 5 --timeout 20000 --echo "
                         "--answer-port " +
                         port);
    int to = NumberOf(listener.Line(), "port");
    ASSERT_GT(to, 0) << listener.output;
    PeerProcess sender("--to 127.0.0.1 --to-port " + std::to_string(to) +
                       " --send \"hello\\r\" --count 2 --rate 50 --fresh-port");
    int nonce = -1;
    for (int i = 0; i < 2; ++i) {
        std::string sent = sender.Line(); // "sent 11 bytes to ... (frame, nonce N)"
        ASSERT_TRUE(Has(sent, "sent 11 bytes to 127.0.0.1:" + std::to_string(to))) << sent;
        nonce = std::atoi(sent.c_str() + sent.find("nonce ") + 6);
        std::string line = listener.Line();
        EXPECT_TRUE(Has(line, "\"frame\":true,\"nonce\":" + std::to_string(nonce))) << line;
        EXPECT_TRUE(Has(line, "\"text\":\"hello\\r\"")) << line;
        EXPECT_TRUE(Has(listener.Line(), "\"event\":\"answered\"")) << listener.output;
        ASSERT_EQ(SocketWaitReadable(socket, 5000), 1);
        char answer[64];
        int32_t length = SocketReceiveFrom(socket, answer, sizeof answer, nullptr, nullptr);
        ASSERT_EQ(length, 11);
        EXPECT_TRUE(CheckFrame(answer, 11, -1).wellFormed);
        EXPECT_EQ(std::string(answer + 5, 6), "hello\r");
    }
    EXPECT_EQ(sender.Line(), "done: 0 received, 2 sent");
    EXPECT_EQ(sender.Finish(), 0) << sender.output;

    Send({0x10, 1, 0, static_cast<char>(nonce), static_cast<char>(FrameFlagByte(nonce)), 'x'}, to);
    EXPECT_TRUE(Has(listener.Line(), "\"frame\":false,\"nonce\":" + std::to_string(nonce)));
    Send(std::string("\x10\x00\x01\x05\x10", 5), to);
    EXPECT_TRUE(Has(listener.Line(), "\"reserved\":false")) << listener.output;
    Send(std::string(65507, 'z'), to);
    EXPECT_TRUE(Has(listener.Line(), "\"length\":65507")) << listener.output.substr(0, 2000);
    EXPECT_TRUE(Has(listener.Line(), "\"event\":\"done\",\"received\":5")) << listener.output;
    EXPECT_EQ(listener.Finish(), 0);
    EXPECT_EQ(SocketWaitReadable(socket, 100), 0); // only the answers to the good frames came
}

} // namespace
