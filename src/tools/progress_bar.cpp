#include "progress_bar.hpp"

#include <algorithm>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vsk::tools {

namespace {
constexpr int kBarWidth = 30;
constexpr std::size_t kLabelWidth = 40;
}  // namespace

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

void ProgressBar::Start(std::string label) {
  Finish();
  label_ = std::move(label);
  if (label_.size() > kLabelWidth) label_ = "..." + label_.substr(label_.size() - kLabelWidth + 3);
  last_ = -1;
  Update(0);
}

void ProgressBar::Update(std::int32_t percentage) {
  if (!enabled_) return;
  const std::int32_t shown = std::clamp(percentage, 0, 100);
  if (shown == last_) return;
  last_ = shown;
  const int filled = shown * kBarWidth / 100;
  std::fprintf(out_, "\r[%.*s%*s] %3d%% %s", filled, "##############################",
               kBarWidth - filled, "", static_cast<int>(shown), label_.c_str());
  std::fflush(out_);
  showing_ = true;
}

void ProgressBar::Finish() {
  if (!showing_) return;
  std::fputc('\n', out_);
  std::fflush(out_);
  showing_ = false;
}

}  // namespace vsk::tools
