// wdeint's main program: everything but the process entry point, so that
// tests can run it in process.
#pragma once

namespace wdi::cli {

// Runs wdeint with the given arguments. Messages go to standard error; the
// result is the exit status (0, or 2 after a one-line message).
int runTool(int argc, const char* const* argv);

}  // namespace wdi::cli
