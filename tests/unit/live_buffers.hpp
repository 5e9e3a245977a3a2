// Counts what the process holds on the heap, so tests can check that every
// path releases what it allocated.
#pragma once

namespace vsk::test {
// The 8192-byte arrays alive now (the pipeline's buffers).
int LiveCodecBuffers();
// All blocks from operator new and new[] that are not yet deleted.
long LiveAllocations();
}  // namespace vsk::test
