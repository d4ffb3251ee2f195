// SIGINT, SIGTERM and SIGPIPE end wdeint at a frame boundary: the handler
// only notes the signal, and the frame loop stops before the next frame.
#pragma once

namespace wdi::cli {

// Installs the handlers (with SA_RESTART, so that no read or write is cut
// short by a signal and every frame is written whole).
void installInterruptHandlers();

// The signal that asked wdeint to stop, or 0.
int interruptSignal();

// "SIGINT", "SIGTERM", "SIGPIPE".
const char* signalName(int signal);

}  // namespace wdi::cli
