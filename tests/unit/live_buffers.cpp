// Replaces the array forms of operator new/delete for this test program:
// arrays of exactly the pipeline's buffer size are tracked by address.
#include "live_buffers.hpp"

#include <array>
#include <cstdlib>
#include <new>

namespace {
constexpr std::size_t kTrackedSize = 8192;
std::array<void*, 64> tracked{};  // test instrument: one process-wide table

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
}  // namespace

namespace vsk::test {
int LiveCodecBuffers() {
  int live = 0;
  for (const void* slot : tracked)
    live += slot != nullptr ? 1 : 0;
  return live;
}
}  // namespace vsk::test

void* operator new[](std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  if (size == kTrackedSize) Track(p);
  return p;
}

void operator delete[](void* p) noexcept {
  if (p == nullptr) return;
  Untrack(p);
  std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
  operator delete[](p);
}
