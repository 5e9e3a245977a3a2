// Gives up the rest of the current time slice (Sleep(0) on Windows), so other
// ready threads run during a long expansion.
#pragma once

namespace vsk {
void YieldTimeSlice();
}
