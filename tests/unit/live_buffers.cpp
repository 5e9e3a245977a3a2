// Replaces operator new and delete for this test program: every live block
// is counted, and arrays of exactly the pipeline's buffer size are tracked
// by address. A test instrument, hence the process-wide counters.
#include "live_buffers.hpp"

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
constexpr std::size_t kTrackedSize = 8192;
std::array<void*, 64> tracked{};
std::atomic<long> live_blocks{0};

void Track(void* p) {
  for (auto& slot : tracked) {
    if (slot == nullptr) {
      slot = p;
      return;
    }
  }
}

void Untrack(void* p) {
  for (auto& slot : tracked) {
    if (slot == p) slot = nullptr;
  }
}

void* Allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  ++live_blocks;
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  --live_blocks;
  std::free(p);
}
}  // namespace

namespace vsk::test {
int LiveCodecBuffers() {
  int live = 0;
  for (const void* slot : tracked)
    live += slot != nullptr ? 1 : 0;
  return live;
}

long LiveAllocations() {
  return live_blocks.load();
}
}  // namespace vsk::test

void* operator new(std::size_t size) {
  return Allocate(size);
}

void* operator new[](std::size_t size) {
  void* p = Allocate(size);
  if (size == kTrackedSize) Track(p);
  return p;
}

void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}

void operator delete[](void* p) noexcept {
  if (p != nullptr) Untrack(p);
  Release(p);
}

void operator delete[](void* p, std::size_t) noexcept {
  operator delete[](p);
}
