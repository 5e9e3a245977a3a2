#include <sched.h>

#include "vsk/yield.hpp"

namespace vsk {
void YieldTimeSlice() {
  sched_yield();
}
}  // namespace vsk
