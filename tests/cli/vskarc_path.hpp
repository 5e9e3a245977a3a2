// The vskarc program under test.
#pragma once

#include <string>

#include "run_process.hpp"

namespace vsk::test {
inline std::string VskarcPath() {
  return NativePath(VSKARC_PATH);
}
}  // namespace vsk::test
