// Command-line parsing for vskarc: a subcommand, then positional arguments
// and options in any order. Each command declares the options it takes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vsk::tools {

// A malformed command line: reported with the usage line, exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OptionSpec {
  std::string_view long_name;  // "key" for --key
  char short_name;             // 'o' for -o, or 0
  bool takes_value;
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string, std::less<>> values;  // by long name; flags map to ""

  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
  std::optional<std::string> Value(std::string_view name) const;
};

// Parses the arguments after the subcommand. "--" ends the options.
ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs);

// Positional argument `index` of a command that takes exactly `count`.
const std::string& Positional(const ParsedArgs& args, std::size_t count, std::size_t index);

// The --key option's value, 0 without it; UsageError when it is malformed.
std::int32_t KeyOption(const ParsedArgs& args);

// Whether to show a progress bar on standard error: always with
// --progress, never with --no-progress, otherwise when it is a terminal.
bool WantProgress(const ParsedArgs& args);

// Decimal (a leading "-" allowed) or "0x" hexadecimal, as a signed 32-bit
// value; hexadecimal takes the full 32-bit pattern (0xFFFFFFFF is -1).
std::optional<std::int32_t> ParseKey(std::string_view text);

}  // namespace vsk::tools
