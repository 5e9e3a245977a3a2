#include "process.hpp"

#include <cstdlib>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace vsk::test {

int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
#ifdef _WIN32
  return status;
#else
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
#endif
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

bool HaveProgram(const std::string& program) {
  return RunShell("command -v " + ShellQuote(program) + " >/dev/null 2>&1") == 0;
}

}  // namespace vsk::test
