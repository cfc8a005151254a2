// The datagram-client store of a server, driven the way the poll and the
// network worker drive it: datagrams from senders, reads of any size,
// closes, floods of new senders, and allocation failures, decoded from the
// input. After every step the store is compared with a model that knows
// nothing but a byte queue per sender and the store's documented bounds:
// MaxUnreadBytes per sender (also a datagram that fills a sender's unread
// bytes to exactly the bound, and one a byte past it), MaxDatagramClients
// senders, of which the least
// recently active one without unread bytes (never the last event's) makes
// way for a new sender, and a datagram dropped whole when it does not fit.
// A dropped datagram, also one dropped for want of memory, changes nothing.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/network.h"
#include "net/server.h"
#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Senders are numbered 0 to kSenders - 1: enough to go past the client
// bound, few enough that the fuzzer meets the same sender again. Sender n
// sends from 127.0.0.(1 + n / 256), port 40000 + n % 256.
constexpr int32_t kSenders = 600;

// What the model knows of a sender.
struct Sender {
    bool isClient = false;
    std::string unread; // in arrival order
    uint64_t lastActivity = 0;
};

class Run {
  public:
    Run() : server_(static_cast<ServerRecord*>(ProgramHeapAllocate(sizeof(ServerRecord)))) {
        FUZZ_CHECK(server_ != nullptr);
        server_->socketType = NetModeUdp;
        Network()->lastEventClient = nullptr;
    }

    // A datagram from a sender reaches the poll; failAfter >= 0 lets only
    // that many allocations succeed meanwhile.
    void Receive(int32_t sender, size_t length, int64_t failAfter) {
        std::string datagram(length, '\0');
        for (size_t i = 0; i < length; ++i)
            datagram[i] = static_cast<char>(serial_ * 131 + i * 7);
        ++serial_;
        int32_t makesWay = -1;
        bool keep = Predict(sender, length, &makesWay);
        PlatformHeapFailAfter(ProgramHeap(), failAfter);
        ConnectionRecord* client = KeepDatagram(server_, AddressOf(sender), PortOf(sender),
                                                datagram.data(), static_cast<int32_t>(length));
        PlatformHeapFailAfter(ProgramHeap(), -1);
        // Dropped as the model says, or for want of memory.
        FUZZ_CHECK(client ? keep : !keep || failAfter >= 0);
        if (!client) return;
        Network()->lastEventClient = client; // as the poll does with a kept datagram
        if (makesWay >= 0) Forget(makesWay);
        Sender& kept = senders_[static_cast<size_t>(sender)];
        clients_ += !kept.isClient;
        kept.isClient = true;
        kept.unread += datagram;
        kept.lastActivity = ++clock_;
        spared_ = sender;
        FUZZ_CHECK(client == Find(sender));
    }

    // A datagram that takes the sender's unread bytes to the bound, or one
    // byte past it.
    void FillToBound(int32_t sender, bool past, int64_t failAfter) {
        size_t unread = senders_[static_cast<size_t>(sender)].unread.size();
        Receive(sender, size_t{MaxUnreadBytes} - unread + past, failAfter);
    }

    void Read(int32_t sender, int32_t size) {
        if (ConnectionRecord* client = Find(sender)) ReadFrom(client, sender, size);
    }

    // The worker's way: the client of the latest event, while it exists.
    void ReadLastEventClient(int32_t size) {
        if (spared_ < 0) return; // closed: the caller must not use it
        FUZZ_CHECK(LastEventClient() == Find(spared_));
        ReadFrom(LastEventClient(), spared_, size);
    }

    void Close(int32_t sender) {
        ConnectionRecord* client = Find(sender);
        if (!client) return;
        CloseConnection(client);
        Forget(sender);
    }

    // Every client against the model; records and index agree.
    void Compare() {
        FUZZ_CHECK(server_->datagramClients.count == static_cast<int32_t>(clients_));
        size_t listed = 0;
        for (void* p = ListFirst(&server_->clients); p; p = ListNext(p), ++listed) {
            auto* client = static_cast<ConnectionRecord*>(p);
            auto sender = static_cast<int32_t>((client->peerAddress >> 24) - 1) * 256 +
                          client->datagramPort - 40000;
            FUZZ_CHECK(client->kind == ConnectionDatagram && client->owner == server_ &&
                       sender >= 0 && sender < kSenders && Find(sender) == client);
            const Sender& known = senders_[static_cast<size_t>(sender)];
            FUZZ_CHECK(known.isClient && client->lastActivity == known.lastActivity);
            FUZZ_CHECK(client->unreadCount == static_cast<int32_t>(known.unread.size()));
            FUZZ_CHECK((client->unreadBlock != nullptr) == (client->unreadCount > 0));
        }
        FUZZ_CHECK(listed == clients_);
    }

    // Reads everything out, closes every client and frees the store.
    void Finish() {
        for (int32_t sender = 0; sender < kSenders; ++sender)
            while (!senders_[static_cast<size_t>(sender)].unread.empty())
                ReadFrom(Find(sender), sender, 1000);
        while (auto* client = static_cast<ConnectionRecord*>(ListFirst(&server_->clients)))
            CloseConnection(client);
        ReleaseDatagramClients(server_);
        ProgramHeapFree(server_);
        Network()->lastEventClient = nullptr;
    }

  private:
    static uint32_t AddressOf(int32_t sender) { return 0x0100007Fu + (sender / 256 << 24); }
    static uint16_t PortOf(int32_t sender) { return static_cast<uint16_t>(40000 + sender % 256); }
    ConnectionRecord* Find(int32_t sender) {
        return FindDatagramClient(server_, AddressOf(sender), PortOf(sender));
    }

    // Whether the model keeps a datagram, and which client makes way for it.
    // The model is no code under test: its branches guide nothing, and it
    // runs for every datagram, so it goes without coverage feedback.
    __attribute__((no_sanitize("coverage"))) bool Predict(int32_t sender, size_t length,
                                                          int32_t* makesWay) {
        const Sender& known = senders_[static_cast<size_t>(sender)];
        if (length == 0 || known.unread.size() + length > size_t{MaxUnreadBytes}) return false;
        if (known.isClient || clients_ < size_t{MaxDatagramClients}) return true;
        for (int32_t number = 0; number < kSenders; ++number) {
            const Sender& client = senders_[static_cast<size_t>(number)];
            if (client.isClient && client.unread.empty() && number != spared_ &&
                (*makesWay < 0 || client.lastActivity < senders_[size_t(*makesWay)].lastActivity))
                *makesWay = number;
        }
        return *makesWay >= 0;
    }

    void Forget(int32_t sender) {
        senders_[static_cast<size_t>(sender)] = Sender{};
        --clients_;
        if (spared_ == sender) spared_ = -1;
    }

    void ReadFrom(ConnectionRecord* client, int32_t sender, int32_t size) {
        FUZZ_CHECK(senders_[static_cast<size_t>(sender)].isClient);
        std::string& unread = senders_[static_cast<size_t>(sender)].unread;
        // Exactly the size asked for, so that a write past it is caught.
        std::unique_ptr<char[]> buffer(size > 0 ? new char[static_cast<size_t>(size)] : nullptr);
        int32_t count = ReceiveData(client, buffer.get(), size);
        auto want = std::min<size_t>(unread.size(), static_cast<size_t>(size));
        FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) == want);
        FUZZ_CHECK(unread.compare(0, want, buffer.get(), want) == 0);
        unread.erase(0, want);
    }

    ServerRecord* server_;
    std::vector<Sender> senders_ = std::vector<Sender>(kSenders);
    size_t clients_ = 0;  // senders with a client
    uint64_t clock_ = 0;  // datagrams kept so far
    int32_t spared_ = -1; // the last event's sender while its client exists
    uint32_t serial_ = 0;
};

} // namespace

// Each input grows and frees blocks of up to 64 KiB many times; a smaller
// quarantine than the default 256 MiB keeps that memory warm and the runs
// quick, and still holds freed blocks for thousands of later allocations.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=32";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ProgramHeapCreate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t liveBefore = PlatformHeapLiveBytes(ProgramHeap());
    FuzzInput input(data, size);
    Run run;
    int64_t failAfter = -1; // armed by one step for the datagrams of the next
    while (!input.Empty()) {
        int op = input.Byte() % 7;
        if (op == 4) {
            failAfter = input.Byte() % 4;
            continue;
        }
        uint16_t word = input.Word();
        int32_t sender = word % kSenders;
        if (op == 0) run.Receive(sender, input.Word() % (ServerDatagramSize + 1), failAfter);
        if (op == 1) run.Read(sender, input.Word());
        if (op == 2) run.Close(sender);
        if (op == 3) {
            // Many senders, one short datagram each: a new port per frame.
            int32_t count = input.Byte() + 1;
            size_t length = input.Byte() % 16;
            for (int32_t k = 0; k < count; ++k)
                run.Receive((sender + k) % kSenders, length, failAfter);
        }
        if (op == 5) run.ReadLastEventClient(word % 2048);
        if (op == 6) run.FillToBound(sender, word & 0x8000, failAfter);
        if (op == 0 || op == 3 || op == 6) failAfter = -1;
        run.Compare();
    }
    run.Finish();
    // Every byte the store took is back.
    FUZZ_CHECK(PlatformHeapLiveBytes(ProgramHeap()) == liveBefore);
    return 0;
}
