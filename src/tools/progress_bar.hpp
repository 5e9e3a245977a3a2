// A one-line progress bar on standard error, redrawn only when the
// percentage changes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vsk::tools {

class ProgressBar {
 public:
  ProgressBar(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  ~ProgressBar() { Finish(); }

  bool Enabled() const { return enabled_; }
  void Start(std::string label);
  void Update(std::int32_t percentage);
  // Ends the current line, if a bar is showing.
  void Finish();

 private:
  std::FILE* out_;
  bool enabled_;
  bool showing_ = false;
  std::int32_t last_ = -1;
  std::string label_;
};

// True when the stream is an interactive terminal.
bool IsTerminal(std::FILE* stream);

}  // namespace vsk::tools
