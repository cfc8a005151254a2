// The peer program itself, run as a process beside the test, on loopback:
// its exit codes, and frames going from one peer (or the test) to another.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/frame.h"
#include "runtime/memory.h"
#include "runtime/socket.h"
#include "tests/support/program_heap_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// The peer program, found from the test program's own folder.
std::string PeerProgram() {
    std::string self;
#ifdef _WIN32
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    self.assign(path, length);
    std::string relative = PEER_PROGRAM_FROM_TEST;
    for (char& c : relative)
        if (c == '/') c = '\\';
    return self.substr(0, self.find_last_of("\\/") + 1) + relative;
#else
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    self.assign(path, length > 0 ? static_cast<size_t>(length) : 0);
    return self.substr(0, self.find_last_of('/') + 1) + PEER_PROGRAM_FROM_TEST;
#endif
}

// A running peer whose output (stdout and stderr) is read line by line.
class PeerProcess {
  public:
    explicit PeerProcess(const std::string& arguments) {
        std::string command = "\"" + PeerProgram() + "\" " + arguments + " 2>&1";
#ifdef _WIN32
        // cmd /c drops the first and the last quote of a line with more
        // than two: one more pair keeps the program's own.
        pipe_ = _popen(("\"" + command + "\"").c_str(), "r");
#else
        pipe_ = popen(command.c_str(), "r");
#endif
    }
    ~PeerProcess() {
        Finish();
    }
    bool started() const {
        return pipe_ != nullptr;
    }
    // The next line (without its end), or "" at the end of the output.
    std::string Line() {
        std::string line;
        char chunk[4096];
        while (pipe_ && std::fgets(chunk, sizeof chunk, pipe_)) {
            line += chunk;
            if (line.back() == '\n') break;
        }
        output_ += line;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        return line;
    }
    // Reads the rest and returns the exit code.
    int Finish() {
        if (!pipe_) return exitCode_;
        while (!Line().empty()) {
        }
#ifdef _WIN32
        exitCode_ = _pclose(pipe_);
#else
        int status = pclose(pipe_);
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
        pipe_ = nullptr;
        return exitCode_;
    }
    const std::string& output() const {
        return output_;
    }

  private:
    FILE* pipe_ = nullptr;
    std::string output_;
    int exitCode_ = -1;
};

// The number after "name": in a JSON line, or -1.
int NumberOf(const std::string& line, const std::string& name) {
    size_t at = line.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + name.size() + 3);
}

// The port of a {"event":"listening",...,"port":N} line, or -1.
int PortOf(const std::string& line) {
    return line.find("\"listening\"") == std::string::npos ? -1 : NumberOf(line, "port");
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(PeerProgram, HelpExitsWithZero) {
    PeerProcess peer("--help");
    ASSERT_TRUE(peer.started());
    EXPECT_EQ(peer.Finish(), 0);
    EXPECT_TRUE(Has(peer.output(), "Usage: q7700-peer")) << peer.output();
}

TEST(PeerProgram, BadArgumentsGiveOneLineAndExitCodeTwo) {
    for (const char* arguments : {"--port 70000", "--frobnicate", "--send"}) {
        PeerProcess peer(arguments);
        EXPECT_EQ(peer.Finish(), 2) << arguments;
        EXPECT_EQ(peer.output().find('\n'), peer.output().size() - 1)
            << arguments << ": " << peer.output();
        EXPECT_TRUE(Has(peer.output(), "q7700-peer: ")) << peer.output();
    }
}

TEST(PeerProgram, PortInUseGivesAClearLineAndExitCodeOne) {
    ASSERT_TRUE(SocketsStart());
    SocketHandle holder = SocketCreate(false, SocketDatagram);
    SocketAddress local;
    SocketAddressIPv4(&local, SocketParseIPv4("127.0.0.1"), 0);
    ASSERT_TRUE(SocketBind(holder, &local));
    std::string port = std::to_string(SocketLocalPort(holder));
    PeerProcess peer("--bind 127.0.0.1 --port " + port + " --timeout 3000");
    EXPECT_EQ(peer.Finish(), 1);
    EXPECT_TRUE(Has(peer.output(), "port " + port + " is in use")) << peer.output();
    SocketClose(holder);
    SocketsStop();
}

TEST(PeerProgram, OnePeerSendsFramesThatAnotherPrintsWellFormed) {
    PeerProcess listener("--bind 127.0.0.1 --port 0 --json --max 3 --timeout 20000");
    int port = PortOf(listener.Line());
    ASSERT_GT(port, 0) << listener.output();

    PeerProcess sender("--to 127.0.0.1 --to-port " + std::to_string(port) +
                       " --send \"hello\\r\" --count 3 --rate 50 --json");
    std::vector<int> nonces;
    for (std::string line = sender.Line(); !line.empty(); line = sender.Line()) {
        if (!Has(line, "\"event\":\"sent\"")) continue;
        nonces.push_back(NumberOf(line, "nonce"));
        EXPECT_TRUE(Has(line, "\"length\":11,\"frame\":true")) << line;
    }
    EXPECT_EQ(sender.Finish(), 0) << sender.output();
    ASSERT_EQ(nonces.size(), 3u) << sender.output();

    for (size_t i = 0; i < 3; ++i) {
        std::string line = listener.Line();
        EXPECT_TRUE(Has(line, "\"event\":\"datagram\"")) << line;
        EXPECT_TRUE(Has(line, "\"frame\":true")) << line;
        EXPECT_TRUE(Has(line, "\"text\":\"hello\\r\"")) << line;
        EXPECT_EQ(NumberOf(line, "nonce"), nonces[i]) << line;
    }
    EXPECT_TRUE(Has(listener.Line(), "\"event\":\"done\",\"received\":3"));
    EXPECT_EQ(listener.Finish(), 0);
}

// Frames from the program's own BuildFrame, sent by the test: the peer
// calls them well-formed, answers them, and calls a broken one what it is.
class PeerAgainstBuiltFrames : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        MemoryInit();
        ResetFrameBuilder();
        ASSERT_TRUE(SocketsStart());
        socket_ = SocketCreate(false, SocketDatagram);
        SocketAddress local;
        SocketAddressIPv4(&local, SocketParseIPv4("127.0.0.1"), 0);
        ASSERT_TRUE(SocketBind(socket_, &local));
    }
    void TearDown() override {
        SocketClose(socket_);
        SocketsStop();
        MemoryEnd();
        ProgramHeapTest::TearDown();
    }
    void Send(const std::string& bytes, int port) {
        ASSERT_EQ(SocketSendTo(socket_, bytes.data(), static_cast<int32_t>(bytes.size()),
                               SocketParseIPv4("127.0.0.1"), static_cast<uint16_t>(port)),
                  static_cast<int32_t>(bytes.size()));
    }
    static std::string Built(const Text& message) {
        auto* frame = static_cast<const char*>(BuildFrame(message));
        std::string bytes(frame, message.size() + 5);
        MemoryFree(FrameBuffer);
        return bytes;
    }
    SocketHandle socket_ = NoSocket;
};

TEST_F(PeerAgainstBuiltFrames, WellFormedFramesAreEchoedAndBrokenOnesNamed) {
    std::string answerPort = std::to_string(SocketLocalPort(socket_));
    PeerProcess peer("--bind 127.0.0.1 --port 0 --json --max 3 --timeout 20000 --echo "
                     "--answer-port " +
                     answerPort);
    int port = PortOf(peer.Line());
    ASSERT_GT(port, 0) << peer.output();

    std::string frame = Built("\xCF\xF0\xE8\xE2\xE5\xF2\n\r");
    Send(frame, port);
    std::string line = peer.Line();
    EXPECT_TRUE(Has(line, "\"frame\":true")) << line;
    EXPECT_TRUE(Has(line, "\"text\":\"Привет\\n\\r\"")) << line;
    EXPECT_TRUE(Has(peer.Line(), "\"event\":\"answered\"")) << peer.output();

    // The answer: a frame of the peer's own carrying the same message.
    ASSERT_EQ(SocketWaitReadable(socket_, 5000), 1);
    char answer[64];
    int32_t length = SocketReceiveFrom(socket_, answer, sizeof answer, nullptr, nullptr);
    ASSERT_EQ(length, static_cast<int32_t>(frame.size()));
    EXPECT_TRUE(CheckFrame(answer, static_cast<size_t>(length), -1).wellFormed);
    EXPECT_EQ(std::string(answer + 5, static_cast<size_t>(length) - 5), frame.substr(5));

    // The same nonce again from this host: not well-formed, and no answer.
    Send(frame, port);
    line = peer.Line();
    EXPECT_TRUE(Has(line, "\"frame\":false")) << line;
    EXPECT_TRUE(Has(line, "\"nonce_fresh\":false")) << line;

    std::string broken = Built("abc");
    broken[2] = 1;
    Send(broken, port);
    line = peer.Line();
    EXPECT_TRUE(Has(line, "\"frame\":false")) << line;
    EXPECT_TRUE(Has(line, "\"reserved\":false")) << line;
    EXPECT_TRUE(Has(peer.Line(), "\"event\":\"done\",\"received\":3")) << peer.output();
    EXPECT_EQ(peer.Finish(), 0);
    EXPECT_EQ(SocketWaitReadable(socket_, 100), 0); // only the one answer came
}

TEST_F(PeerAgainstBuiltFrames, LargestDatagramArrivesWhole) {
    PeerProcess peer("--bind 127.0.0.1 --port 0 --json --max 1 --timeout 20000");
    int port = PortOf(peer.Line());
    ASSERT_GT(port, 0) << peer.output();
    Send(std::string(65507, 'z'), port);
    std::string line = peer.Line();
    EXPECT_TRUE(Has(line, "\"length\":65507")) << line.substr(0, 200);
    EXPECT_EQ(peer.Finish(), 0);
}

} // namespace
