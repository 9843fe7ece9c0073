#pragma once

// Network watches and alerts call RequestConnection before they touch the network: it
// makes sure there is a connection (dialling one if need be) and arms the hang-up of a
// connection the program dialled. The engine installs the handler; without one (a single
// check from the command line) nothing is dialled.

#include <functional>

namespace sentrel {

void RequestConnection();

// Installs the handler RequestConnection calls; returns the previous one.
std::function<void()> SetConnectionRequester(std::function<void()> requester);

} // namespace sentrel
