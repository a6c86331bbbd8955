#include "app/platform/platform.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace kestrova {
namespace {
std::atomic<Platform*> installed{nullptr};
}  // namespace

Platform& platform() {
  Platform* current = installed.load(std::memory_order_acquire);
  if (current == nullptr) {
    std::fputs("Kestrova: no platform installed\n", stderr);
    std::abort();
  }
  return *current;
}

ScopedPlatform::ScopedPlatform(Platform& installedPlatform)
    : previous_(installed.exchange(&installedPlatform, std::memory_order_acq_rel)) {}

ScopedPlatform::~ScopedPlatform() { installed.store(previous_, std::memory_order_release); }

}  // namespace kestrova
