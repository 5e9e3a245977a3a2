#include "cli_options.hpp"

#include <charconv>
#include <cstdio>
#include <limits>

#include "progress_bar.hpp"

namespace vsk::tools {

namespace {

const OptionSpec* FindLong(std::span<const OptionSpec> specs, std::string_view name) {
  for (const auto& option : specs) {
    if (option.long_name == name) return &option;
  }
  return nullptr;
}

const OptionSpec* FindShort(std::span<const OptionSpec> specs, char name) {
  for (const auto& option : specs) {
    if (option.short_name != 0 && option.short_name == name) return &option;
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> ParsedArgs::Value(std::string_view name) const {
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs) {
  ParsedArgs parsed;
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    const OptionSpec* option = nullptr;
    std::optional<std::string> inline_value;
    if (arg.starts_with("--")) {
      std::string_view body = std::string_view(arg).substr(2);
      const auto eq = body.find('=');
      if (eq != std::string_view::npos) {
        inline_value = std::string(body.substr(eq + 1));
        body = body.substr(0, eq);
      }
      option = FindLong(specs, body);
    } else {
      option = FindShort(specs, arg[1]);
      if (option != nullptr && arg.size() > 2) inline_value = arg.substr(2);
    }
    if (option == nullptr) throw UsageError("unknown option " + arg);
    std::string value;
    if (option->takes_value) {
      if (inline_value) {
        value = *inline_value;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        throw UsageError("option " + arg + " needs a value");
      }
    } else if (inline_value) {
      throw UsageError("option --" + std::string(option->long_name) + " takes no value");
    }
    parsed.values[std::string(option->long_name)] = value;
  }
  return parsed;
}

const std::string& Positional(const ParsedArgs& args, std::size_t count, std::size_t index) {
  if (args.positional.size() != count) throw UsageError("wrong number of arguments");
  return args.positional[index];
}

std::int32_t KeyOption(const ParsedArgs& args) {
  const auto text = args.Value("key");
  if (!text) return 0;
  const auto key = ParseKey(*text);
  if (!key) throw UsageError("--key needs a signed 32-bit number (decimal or 0x hex): " + *text);
  return *key;
}

bool WantProgress(const ParsedArgs& args) {
  if (args.Has("no-progress")) return false;
  return args.Has("progress") || IsTerminal(stderr);
}

std::optional<std::int32_t> ParseKey(std::string_view text) {
  bool negative = false;
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty()) return std::nullopt;
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (magnitude > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  if (base == 16) {
    // A hexadecimal key is a bit pattern: any 32-bit value, optionally negated.
    auto bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
  }
  const std::int64_t value =
      negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace vsk::tools
