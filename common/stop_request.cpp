#include "common/stop_request.h"

#include <signal.h>

#include <initializer_list>

namespace kiv {

namespace {
volatile sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) { g_stop = 1; }
}  // namespace

void InstallStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a blocking wait returns with EINTR and sees the flag soon.
  sa.sa_flags = 0;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &sa, nullptr);
}

bool StopRequested() { return g_stop != 0; }

void RequestStop() { g_stop = 1; }

void ClearStopRequest() { g_stop = 0; }

}  // namespace kiv
