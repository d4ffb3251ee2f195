// A native run has no host executable; it behaves as a current host unless a
// test sets another version.
#include "platform/host_version.h"
#include "platform/native_hooks.h"

namespace wdi {
namespace {
int32_t hostMajorVersion = kCurrentHostMajorVersion;
}

int32_t GetHostMajorVersion() { return hostMajorVersion; }

void setHostMajorVersion(int32_t version) { hostMajorVersion = version; }

}  // namespace wdi
