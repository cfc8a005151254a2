#include "app/network_worker.h"

#include <atomic>

#include "app/app_state.h"
#include "app/frame.h"
#include "app/panel.h"
#include "app/texts.h"
#include "net/connection.h"
#include "net/network.h"
#include "net/server.h"
#include "runtime/memory.h"
#include "runtime/pause.h"
#include "runtime/platform.h"
#include "runtime/requester.h"
#include "runtime/timing_marks.h"
#include "ui/gadgets/gadgets.h"

constexpr ObjectNumber kServer = 0;
// Bytes read per data event; anything beyond stays unread for the next event.
constexpr int32_t kReceiveBlockSize = 1000;
constexpr int32_t kPollPauseMs = 10;
// Address space that must be left free for the received box to take one
// more payload: far more than one append needs (the control's growth), so
// that it is there also when the address space is broken up.
constexpr size_t kDefaultShowHeadroom = size_t{64} << 20;
static std::atomic<size_t> gShowHeadroom{kDefaultShowHeadroom};

void SetShowHeadroom(size_t bytes) {
    gShowHeadroom = bytes ? bytes : kDefaultShowHeadroom;
}

// The low 32 bits of a typed number, as the fields are read.
static int32_t FieldInteger(ObjectNumber field) {
    return static_cast<int32_t>(static_cast<uint32_t>(ParseInteger(GadgetGetText(field))));
}

Text ComposeMessage() {
    Text code1 = CharFromCode(FieldInteger(FieldCode1));
    Text code2 = CharFromCode(FieldInteger(FieldCode2));
    return GadgetGetText(FieldMessage) + code1 + code2;
}

void SendFrame(const Text& address, int32_t port, const Text& message) {
    ConnectionRecord* connection = OpenConnection(address, port, NetModeUdp);
    if (!connection) {
        ShowMessage(kErrorTitle, kCannotConnectText, 0);
        return;
    }
    BuildFrame(message);
    if (FrameBuffer) { // no block for the frame: this send is skipped
        SendData(connection, FrameBuffer, TextLength(message) + FrameHeaderSize);
        MemoryFree(FrameBuffer);
        FrameBuffer = nullptr;
    }
    CloseConnection(connection);
}

// Reads and drops what is left of a datagram longer than the receive block.
// Read at the next event it would be shown as if it were a datagram of its
// own, its first bytes taken for a header; left unread it would pile up in
// the network layer until that sender's datagrams were dropped.
static void DiscardUnread(ConnectionRecord* client) {
    unsigned char scratch[kReceiveBlockSize];
    while (ReceiveData(client, scratch, kReceiveBlockSize) > 0) {
    }
}

// Appends the payload of one data event to the received box, unless the
// process is running out of address space. The box keeps every payload since
// Start and has no length limit, and it is the one thing in the program that
// grows with what arrives: the rich-text control under Wine keeps several
// hundred bytes per character, so a sender of long payloads that never stops
// filled a 32-bit process's 2 GB in two and a half minutes, after which a
// failed allocation aborted the program. Such a payload is dropped instead,
// as the network library drops a datagram it has no memory for; a new run
// (Stop, Start) empties the box and shows again.
static void ShowReceived(ConnectionRecord* client) {
    void* block =
        PlatformAddressSpaceRoom(gShowHeadroom) ? MemoryAllocate(kReceiveBlockSize) : nullptr;
    if (!block) {
        DiscardUnread(client);
        return;
    }
    ReceiveData(client, block, kReceiveBlockSize);
    DiscardUnread(client);
    GadgetAppendText(BoxReceived, ReceivedPayloadText(block, kReceiveBlockSize));
    MemoryFree(block);
}

uint32_t NetworkWorker(intptr_t) {
    GadgetSetText(BoxReceived, "");
    Text address = GadgetGetText(FieldIp);
    int32_t port = FieldInteger(FieldPort);

    if (OpenServer(kServer, port, NetModeUdp) == 0) {
        ShowMessage(kProgramTitle, kPortBusyBefore + IntegerToText(port) + kPortBusyAfter, 0);
        return 0;
    }
    for (;;) {
        NoteTimingMark("cycle");
        int32_t event = PollServerEvents();
        if (event != NetEventNone) {
            ConnectionRecord* client = LastEventClient();
            if (event == NetEventData) {
                ShowReceived(client);
                NoteTimingMark("shown");
            }
        }
        if (SendRequested != 0) {
            // Cleared before the send: a press that comes while this frame is
            // on its way asks for another frame instead of being lost.
            SendRequested = 0;
            SendFrame(address, port, ComposeMessage());
        }
        NoteTimingMark("pause");
        PauseMs(kPollPauseMs);
        if (StopRequested == 1) break;
    }
    CloseServer(kServer);
    return 0;
}
