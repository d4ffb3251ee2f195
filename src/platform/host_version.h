// Version of the host application (not of the filter): frames are processed
// only under hosts of major version 6 and later.
#pragma once
#include <cstdint>

namespace wdi {

// Major file version of the process's executable. A host without version
// information counts as current (7).
int32_t GetHostMajorVersion();

constexpr int32_t kCurrentHostMajorVersion = 7;

}  // namespace wdi
