#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hostnet/host_adapter_info.h"
#include "net/datagram_endpoint.h"
#include "protocol/discovery.h"
#include "protocol/packets.h"
#include "protocol/settings_write.h"
#include "protocol/ticks.h"

namespace cli {

enum ExitCode : int {
    kExitOk = 0,              // done; every write acknowledged
    kExitNotAcknowledged = 1, // some write not acknowledged (or, with --verify, not taken)
    kExitInvalidInput = 2,    // bad arguments, file or value; nothing was written
    kExitNotFound = 3,        // a camera named by its MAC did not answer the search
    kExitNetworkError = 4,    // the transport failed
    kExitOutputError = 5,     // standard output could not be written
};

// Where the commands run: a new endpoint for every search and every write, the clock and the
// two timing values the window uses too.
struct Environment {
    std::function<std::unique_ptr<net::DatagramEndpoint>()> openEndpoint;
    std::ostream& out;
    std::ostream& err;
    protocol::TickSource ticks = protocol::systemTicks;
    std::uint32_t searchListenSeconds = protocol::kSearchListenSeconds;
    std::int32_t ackWaitSeconds = protocol::kAckWaitSeconds;
    // The most cameras a search lists (see protocol::discoverAllCameras).
    std::size_t mostCameras = protocol::kMostCameras;
    // Where `set`'s FIELD=- arguments read their passwords, a line each, and `apply -` its
    // settings file: standard input.
    int passwordInput = 0;
    // The PC's adapters, for `address`: its own addresses, and the mask and gateway it takes by
    // default. False when they cannot be read.
    std::function<bool(std::vector<hostnet::AdapterEntry>&)> listAdapters = {};
};

// args without the program name. Returns the exit status. Everything written to env.out and
// env.err passes through PrintableOutput (text_encoding.h). Whether standard output could be
// written is main's to check, as the streams here may be any.
int run(const std::vector<std::string>& args, Environment& env);

} // namespace cli
