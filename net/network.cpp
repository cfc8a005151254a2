#include "net/network.h"

#include "net/server.h"
#include "runtime/socket.h"

static NetworkState gNetwork;

NetworkState* Network() {
    return &gNetwork;
}

int32_t StartNetwork() {
    gNetwork.started = SocketsStart() ? 1 : 0;
    // Only the IPv6 paths need the newer resolver; without it IPv4 works on.
    gNetwork.newerResolver = SocketResolverLoad("ws2_32.dll") ? 1 : 0;
    // Made whatever the sockets layer said, so that later calls fail one by
    // one where they need a socket rather than on missing state.
    if (!gNetwork.servers)
        gNetwork.servers = CreateObjectRegistry(sizeof(ServerRecord), 16, CloseServer);
    gNetwork.lastEventClient = nullptr;
    // Without a registry no server could ever open: that is no start either.
    return gNetwork.started && gNetwork.servers ? 1 : 0;
}

void StopNetwork() {
    if (gNetwork.servers) {
        // Every server's socket is closed here, before the sockets layer ends.
        FreeAllObjects(gNetwork.servers);
        DestroyObjectRegistry(gNetwork.servers);
    }
    if (gNetwork.started) SocketsStop();
    SocketResolverUnload();
    gNetwork = NetworkState{};
}
