// vskarc create: not built yet.
#include "commands.hpp"

namespace vsk::tools {

int RunCreate(const ParsedArgs&) {
  throw ToolError("create is not available yet");
}

}  // namespace vsk::tools
