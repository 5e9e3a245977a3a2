#include <windows.h>

#include "vsk/yield.hpp"

namespace vsk {
void YieldTimeSlice() {
  Sleep(0);
}
}  // namespace vsk
