#include "cli/region_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace wdi::cli {

namespace {

std::string rectText(const RectOption& r) {
  return std::string(r.include ? "+" : "-") + std::to_string(r.left) + "," + std::to_string(r.top) +
         "," + std::to_string(r.right) + "," + std::to_string(r.bottom);
}

}  // namespace

bool buildRegion(const CliOptions& o, CRectList* region, std::string* error) {
  if (region == nullptr) {
    *error = "out of memory for the processing region";
    return false;
  }
  if (!o.regionFile.empty()) {
    std::FILE* f = std::fopen(o.regionFile.c_str(), "rb");
    if (f == nullptr) {
      *error = o.regionFile + ": cannot open: " + std::strerror(errno);
      return false;
    }
    std::fclose(f);
    if (region->LoadFromFile(o.regionFile.c_str()) != 0) {
      *error = o.regionFile + ": not a region file this filter takes";
      return false;
    }
  }
  for (const RectOption& r : o.rects) {
    if (region->AddRect(r.include, r.left, r.top, r.right, r.bottom) < 0) {
      std::fprintf(stderr,
                   "wdeint: warning: rectangle %s refused (negative or inverted edges, or a "
                   "single pixel)\n",
                   rectText(r).c_str());
    }
  }
  return true;
}

}  // namespace wdi::cli
