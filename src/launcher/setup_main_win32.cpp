// Setup.exe: the self-extracting installer's launcher. A GUI-subsystem
// program that creates no window; its only inputs are its own file and the
// offset stored in PayloadMarker.
#include <windows.h>

#include <array>
#include <cstdint>

#include "main_flow.hpp"
#include "platform_win32.hpp"

namespace {

// The marker text and the stored offset of the first PayloadBlock. "X" and
// three zero bytes mark a launcher without payload; `vskarc stamp` writes
// the real offset into the file. This must stay the only copy of the marker
// text in the file: it is read through a volatile reference, so the compiler
// can neither fold it into a second copy (an immediate, a merged string) nor
// drop it.
extern const volatile std::uint8_t PayloadMarker[12];
const volatile std::uint8_t PayloadMarker[12] = {'V', 'S', 'K', '_', 'S', 'I',
                                                 'Z', 'E', 'X', 0,   0,   0};

std::array<std::uint8_t, vsk::launcher::kMarkerTextSize> MarkerTextFromImage() {
  std::array<std::uint8_t, vsk::launcher::kMarkerTextSize> text{};
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = PayloadMarker[i];
  return text;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  vsk::launcher::Win32Platform platform;
  const auto marker_text = MarkerTextFromImage();
  return vsk::launcher::RunLauncher(platform, marker_text);
}
