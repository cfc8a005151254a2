// The datagram-client store of a server, driven the way the poll and the
// network worker drive it: datagrams from senders, reads of any size,
// closes, floods of new senders, and allocation failures, decoded from the
// input. After every step the store is compared with a model that knows
// nothing but a byte queue per sender and the store's documented bounds:
// MaxUnreadBytes per sender, MaxDatagramClients senders, of which the least
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
// bound, few enough that the fuzzer meets the same sender again.
constexpr int32_t kSenders = 600;

uint32_t AddressOf(int32_t sender) {
    return 0x0100007Fu + (static_cast<uint32_t>(sender / 256) << 24); // 127.0.0.1, .2, .3
}
uint16_t PortOf(int32_t sender) {
    return static_cast<uint16_t>(40000 + sender % 256);
}
int32_t SenderOf(const ConnectionRecord* client) {
    return static_cast<int32_t>((client->peerAddress >> 24) - 1) * 256 +
           static_cast<int32_t>(client->datagramPort - 40000);
}

struct SenderModel {
    bool isClient = false;
    std::string unread; // in arrival order
    uint64_t lastActivity = 0;
};

struct Model {
    std::vector<SenderModel> senders = std::vector<SenderModel>(kSenders);
    size_t clients = 0;
    uint64_t clock = 0;  // datagrams kept so far
    int32_t spared = -1; // the last event's sender while its client exists

    void Forget(int32_t sender) {
        senders[static_cast<size_t>(sender)] = SenderModel{};
        --clients;
        if (spared == sender) spared = -1;
    }
};

// What the model says a datagram does: kept or dropped, and which sender
// makes way for it.
struct Prediction {
    bool keep = false;
    int32_t makesWay = -1;
};

// The model is no code under test: its branches guide nothing, and it runs
// for every datagram, so it goes without coverage feedback.
__attribute__((no_sanitize("coverage"))) Prediction Predict(const Model& model, int32_t sender,
                                                            size_t length) {
    Prediction prediction;
    if (length == 0) return prediction;
    const SenderModel& known = model.senders[static_cast<size_t>(sender)];
    if (known.isClient) {
        prediction.keep = known.unread.size() + length <= MaxUnreadBytes;
        return prediction;
    }
    if (length > MaxUnreadBytes) return prediction;
    if (model.clients >= MaxDatagramClients) {
        const SenderModel* oldest = nullptr;
        for (int32_t number = 0; number < kSenders; ++number) {
            const SenderModel& client = model.senders[static_cast<size_t>(number)];
            if (!client.isClient || !client.unread.empty() || number == model.spared) continue;
            if (!oldest || client.lastActivity < oldest->lastActivity) {
                oldest = &client;
                prediction.makesWay = number;
            }
        }
        if (!oldest) return prediction;
    }
    prediction.keep = true;
    return prediction;
}

class Run {
  public:
    Run() {
        server_ = static_cast<ServerRecord*>(ProgramHeapAllocate(sizeof(ServerRecord)));
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
        Prediction prediction = Predict(model_, sender, length);
        PlatformHeapFailAfter(ProgramHeap(), failAfter);
        ConnectionRecord* client = KeepDatagram(server_, AddressOf(sender), PortOf(sender),
                                                datagram.data(), static_cast<int32_t>(length));
        PlatformHeapFailAfter(ProgramHeap(), -1);
        if (!client) {
            // Dropped as the model says, or for want of memory.
            FUZZ_CHECK(!prediction.keep || failAfter >= 0);
            return;
        }
        FUZZ_CHECK(prediction.keep);
        Network()->lastEventClient = client; // as the poll does with a kept datagram
        if (prediction.makesWay >= 0) model_.Forget(prediction.makesWay);
        SenderModel& kept = model_.senders[static_cast<size_t>(sender)];
        if (!kept.isClient) ++model_.clients;
        kept.isClient = true;
        kept.unread += datagram;
        kept.lastActivity = ++model_.clock;
        model_.spared = sender;
        FUZZ_CHECK(client == Find(sender));
    }

    void Read(int32_t sender, int32_t size) {
        ConnectionRecord* client = Find(sender);
        if (client) ReadFrom(client, sender, size);
    }

    // The worker's way: the client of the latest event, while it exists.
    void ReadLastEventClient(int32_t size) {
        if (model_.spared < 0) return; // closed: the caller must not use it
        FUZZ_CHECK(LastEventClient() == Find(model_.spared));
        ReadFrom(LastEventClient(), model_.spared, size);
    }

    void Close(int32_t sender) {
        ConnectionRecord* client = Find(sender);
        if (!client) return;
        CloseConnection(client);
        model_.Forget(sender);
    }

    // Every client against the model; records and index agree.
    void Compare() {
        FUZZ_CHECK(server_->datagramClients.count == static_cast<int32_t>(model_.clients));
        FUZZ_CHECK(server_->datagramClients.count <= MaxDatagramClients);
        size_t listed = 0;
        for (void* p = ListFirst(&server_->clients); p; p = ListNext(p), ++listed) {
            auto* client = static_cast<ConnectionRecord*>(p);
            FUZZ_CHECK(client->kind == ConnectionDatagram && client->owner == server_);
            int32_t sender = SenderOf(client);
            FUZZ_CHECK(sender >= 0 && sender < kSenders);
            const SenderModel& known = model_.senders[static_cast<size_t>(sender)];
            FUZZ_CHECK(known.isClient);
            FUZZ_CHECK(client->unreadCount == static_cast<int32_t>(known.unread.size()));
            FUZZ_CHECK((client->unreadBlock != nullptr) == (client->unreadCount > 0));
            FUZZ_CHECK(client->lastActivity == known.lastActivity);
            FUZZ_CHECK(Find(sender) == client);
        }
        FUZZ_CHECK(listed == model_.clients);
    }

    // Reads everything out, closes every client and frees the store.
    void Finish() {
        for (int32_t sender = 0; sender < kSenders; ++sender)
            while (!model_.senders[static_cast<size_t>(sender)].unread.empty())
                ReadFrom(Find(sender), sender, 1000);
        while (auto* client = static_cast<ConnectionRecord*>(ListFirst(&server_->clients)))
            CloseConnection(client);
        ReleaseDatagramClients(server_);
        ProgramHeapFree(server_);
        Network()->lastEventClient = nullptr;
    }

  private:
    ConnectionRecord* Find(int32_t sender) {
        return FindDatagramClient(server_, AddressOf(sender), PortOf(sender));
    }

    void ReadFrom(ConnectionRecord* client, int32_t sender, int32_t size) {
        SenderModel& expected = model_.senders[static_cast<size_t>(sender)];
        FUZZ_CHECK(expected.isClient);
        // Exactly the size asked for, so that a write past it is caught.
        std::unique_ptr<char[]> buffer(size > 0 ? new char[static_cast<size_t>(size)] : nullptr);
        int32_t count = ReceiveData(client, buffer.get(), size);
        auto want = std::min<size_t>(expected.unread.size(), static_cast<size_t>(size));
        FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) == want);
        FUZZ_CHECK(expected.unread.compare(0, want, buffer.get(), want) == 0);
        expected.unread.erase(0, want);
    }

    ServerRecord* server_;
    Model model_;
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
    int64_t failAfter = -1; // armed by one operation for the next datagrams
    while (!input.Empty()) {
        switch (input.Byte() % 6) {
        case 0: {
            int32_t sender = input.Word() % kSenders;
            run.Receive(sender, input.Word() % (ServerDatagramSize + 1), failAfter);
            failAfter = -1;
            break;
        }
        case 1: {
            int32_t sender = input.Word() % kSenders;
            run.Read(sender, input.Word());
            break;
        }
        case 2:
            run.Close(input.Word() % kSenders);
            break;
        case 3: {
            // Many senders, one short datagram each: a new port per frame.
            int32_t first = input.Word() % kSenders;
            int32_t count = input.Byte() + 1;
            size_t length = input.Byte() % 16;
            for (int32_t k = 0; k < count; ++k)
                run.Receive((first + k) % kSenders, length, failAfter);
            failAfter = -1;
            break;
        }
        case 4:
            failAfter = input.Byte() % 4;
            break;
        case 5:
            run.ReadLastEventClient(input.Word() % 2048);
            break;
        }
        run.Compare();
    }
    run.Finish();
    // Every byte the store took is back.
    FUZZ_CHECK(PlatformHeapLiveBytes(ProgramHeap()) == liveBefore);
    return 0;
}
