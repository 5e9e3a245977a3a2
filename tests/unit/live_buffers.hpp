// Counts the 8192-byte arrays alive in the process, so tests can check that
// a codec run releases its buffers on every path.
#pragma once

namespace vsk::test {
int LiveCodecBuffers();
}
