#pragma once
// SIGTERM and SIGINT end a program's running stream promptly: the handlers
// call the client's stop(), which is signal-safe.
#include <csignal>

#include "tools/icy/icy_client.h"

namespace icy {

// Until stopOnSignals(nullptr), both signals stop `client`.
void stopOnSignals(Client* client);
// The last of the two signals that came, 0 when none did.
int stopSignal();

}  // namespace icy
