// --region and --rect: the processing region the command line describes.
#pragma once
#include <string>

#include "cli/options.h"
#include "region/rect_list.h"

namespace wdi::cli {

// Loads --region into `region` (replacing what it held), then appends every
// --rect; a refused rectangle is a warning on standard error, a file that
// cannot be opened or is no region file an error.
bool buildRegion(const CliOptions& o, CRectList* region, std::string* error);

}  // namespace wdi::cli
