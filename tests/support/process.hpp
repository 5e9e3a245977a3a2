// Runs a command line through the shell and returns its exit code (-1 when
// it could not run or was killed). Native test programs only.
#pragma once

#include <string>

namespace vsk::test {
int RunShell(const std::string& command);
// Single-quotes `text` for a POSIX shell.
std::string ShellQuote(const std::string& text);
// True when `program` is found on PATH.
bool HaveProgram(const std::string& program);
}  // namespace vsk::test
