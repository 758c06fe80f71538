// What the IM client's side needs from the system besides its windows and
// blocks: where they are published, and how the client is told to stop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvo::platform {

// Prepares the place where this client publishes its windows and blocks.
// `directory` is the endpoint directory asked for on the command line (empty:
// the environment's). POSIX: the endpoint directory and its private object
// directory are made or checked, and whatever a killed client of the same
// user left there is removed. Windows: windows and kernel objects belong to
// the session and go with their process; there is no directory, so a
// non-empty `directory` is refused. False with `error` set when the place
// cannot be used.
bool PrepareImClientEndpoint(const std::string& directory, std::string* error);

// Where the exchange object `name` lives, for messages: " (PATH)" on POSIX,
// "" where objects have no path.
std::string ExchangeObjectLocation(std::u16string_view name);

// The calling process's ID.
uint32_t CurrentProcessId();

// Makes the process wait for a stop request instead of dying of it: SIGTERM
// and SIGINT on POSIX (SIGPIPE is ignored too), Ctrl+C, Ctrl+Break, closing
// the console, logging off or shutting down on Windows. Call once, before any
// thread is started.
void InterceptStopRequests();
// Blocks until a stop request arrives (after InterceptStopRequests).
void WaitForStopRequest();

}  // namespace corvo::platform
