// Starts a program with arguments (no shell), waits for it and collects its
// exit code and output, on POSIX and on Windows alike.
#pragma once

#include <string>
#include <vector>

namespace vsk::test {

struct ProcessResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// `work_dir` receives the captured output files while the program runs.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& work_dir);

// A path of the build tree as the running program sees it: unchanged on
// POSIX; under Wine the Unix root is drive Z:.
std::string NativePath(std::string build_path);

}  // namespace vsk::test
