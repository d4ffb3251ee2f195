// The tool-tip text of each settings dialog control, in the order in which
// the tools are added.
#pragma once
#include <cstddef>

namespace wdi {

struct ToolTipRow {
  int controlId;
  const char* text;
};

extern const ToolTipRow ToolTipTable[];
extern const size_t kToolTipCount;

}  // namespace wdi
