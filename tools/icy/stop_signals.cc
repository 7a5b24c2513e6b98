#include "tools/icy/stop_signals.h"

#include <signal.h>

#include <atomic>

namespace icy {
namespace {

std::atomic<Client*> gClient{nullptr};
volatile std::sig_atomic_t gSignal = 0;

void onStopSignal(int sig) {
  gSignal = sig;
  if (Client* client = gClient.load()) client->stop();
}

}  // namespace

void stopOnSignals(Client* client) {
  gClient.store(client);
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

int stopSignal() { return static_cast<int>(gSignal); }

}  // namespace icy
