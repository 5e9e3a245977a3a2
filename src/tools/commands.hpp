// The vskarc subcommands. Each returns the process exit code; engine
// failures propagate as vsk::Exception, tool failures as ToolError.
#pragma once

#include <stdexcept>
#include <string>

#include "cli_options.hpp"
#include "vsk/stream.hpp"

namespace vsk::tools {

// A failure of the tool itself (not of the engine): "vskarc: <what>", exit 1.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int RunList(const ParsedArgs& args);
int RunExtract(const ParsedArgs& args);
int RunTest(const ParsedArgs& args);
int RunCreate(const ParsedArgs& args);

int RunStamp(const ParsedArgs& args);
int RunPayload(const ParsedArgs& args);

// Prints one row per member the walk reaches and a totals line; `label`
// names the archive in the heading.
void PrintArchiveListing(TStream& archive, const std::string& label);

// The member name or method id as one printable line: bytes below 0x20 and
// 0x7F become \xNN.
std::string Printable(std::string_view text);

}  // namespace vsk::tools
