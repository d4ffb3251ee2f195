// wdeint --bgr24: raw host images driven through the plug-in's vfAction the
// way the video editor drives it, so that the module's bytes can be
// reproduced outside a host.
#pragma once
#include <string>

#include "cli/options.h"

namespace wdi::cli {

// Returns false with a one-line message. Warnings (refused rectangles, the
// module's own messages) go to standard error and do not fail the run.
bool processBgr24(const CliOptions& options, std::string* error);

}  // namespace wdi::cli
