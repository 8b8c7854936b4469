#pragma once
// A request to stop the program the way its Cancel stops it, made by Ctrl-C,
// SIGTERM or SIGHUP once the handlers are installed. The handlers only set a
// flag; the waits that pump events look at it, stop the program they wait for
// and cancel the build there, so work files are removed as Cancel removes
// them instead of being left behind by a killed process.
namespace kiv {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP.
void InstallStopSignals();
// True once a stop was requested.
bool StopRequested();
// What the handlers do; also how a test asks for a stop.
void RequestStop();
// Forgets a request (tests).
void ClearStopRequest();

}  // namespace kiv
