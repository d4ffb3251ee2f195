#include "plugin/module_attach.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "platform/message_box.h"

namespace wdi {
namespace {

constexpr uint32_t kIdentificationFlag = 1u << 21;

bool identificationFlagSettable() {
#if defined(__i386__)
  // Sets bit 21 of EFLAGS, reads it back and restores the old flags.
  uint32_t saved = 0;
  uint32_t readBack = 0;
  __asm__ volatile(
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "orl %2, %1\n\t"
      "pushl %1\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %1\n\t"
      "pushl %0\n\t"
      "popfl\n\t"
      : "=&r"(saved), "=&r"(readBack)
      : "i"(kIdentificationFlag)
      : "cc", "memory");
  return (readBack & kIdentificationFlag) != 0;
#elif defined(__x86_64__)
  return true;  // every 64-bit processor has the instruction
#else
  return false;
#endif
}

}  // namespace

void* moduleInstance = nullptr;

CpuFeatures DecodeCpuFeatures(bool identificationAvailable, uint32_t leaf1Edx) {
  if (!identificationAvailable) return {false, false};
  return {(leaf1Edx & (1u << 23)) != 0, (leaf1Edx & (1u << 25)) != 0};
}

CpuFeatures DetectCpuFeatures() {
  const bool available = identificationFlagSettable();
  uint32_t edx = 0;
#if defined(__i386__) || defined(__x86_64__)
  if (available) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(1, a, b, c, d);
    edx = d;
  }
#endif
  return DecodeCpuFeatures(available, edx);
}

uint32_t AttachModule(const CpuFeatures& cpu, void* instance, StringLoader load,
                      FilterDescription* description) {
  if (!cpu.mmx) {
    showFocusMessageBox(kNoMmxText, kLoadRefusedCaption);
    return kNoMmxLastError;
  }
  moduleInstance = instance;
  std::memset(description, 0, sizeof *description);
  FillFilterDescription(description, load);
  return 0;
}

}  // namespace wdi
