// The member walk with every member expanded: the archive, the component's
// key and which handlers are assigned all come from the input.
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "vsk/archive_walk.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/memory_stream.hpp"

namespace {

constexpr std::int32_t kOutputCap = 1 << 16;

void AssignHandlers(vsk::TVSInstCompress& component, std::uint8_t config,
                    std::uint8_t cancel_pattern, int& progress_calls) {
  if ((config & 0x02) != 0) {
    // A custom-method handler that reads what it is told and reports a sum.
    component.OnExpand = [](vsk::TStream& dest, vsk::TStream& source, std::int32_t sourcesize,
                            std::int32_t destsize, const std::string&, std::int32_t& checksum) {
      std::uint8_t buffer[256];
      const std::int32_t n = source.Read(buffer, sourcesize < 256 ? sourcesize : 256);
      dest.Write(buffer, n < destsize ? n : destsize);
      checksum = n;
    };
  }
  if ((config & 0x04) != 0) {
    component.OnRecognize = [config](const std::string&, bool& recognized) {
      recognized = (config & 0x08) != 0;
    };
  }
  if ((config & 0x10) != 0) {
    component.OnShowProgress = [&progress_calls, cancel_pattern](std::int32_t& percentage) {
      if (((cancel_pattern >> (progress_calls++ & 7)) & 1) != 0) percentage = -1;
    };
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vsk::fuzz::InputReader input({data, size});
  const std::uint8_t config = input.Byte();
  const std::uint8_t cancel_pattern = input.Byte();
  vsk::TVSInstCompress component;
  component.Key = (config & 0x01) != 0 ? 0x5EC12E7 : 0;
  int progress_calls = 0;
  AssignHandlers(component, config, cancel_pattern, progress_calls);
  vsk::TMemoryStream archive(input.Rest());
  try {
    const vsk::ArchiveInfo info = vsk::ReadArchiveInfo(component, archive);
    vsk::WalkMembers(component, archive, info, [&](const vsk::ArchiveMember& m) {
      vsk::fuzz::CappedSink sink(kOutputCap);
      try {
        component.ExpandEntry(sink, archive, m.Entry.CompressedSize, m.Entry.ExpandedSize,
                              m.Entry.Checksum, m.Entry.Method, info.MethodId, m.Entry.KeyFlag);
      } catch (const vsk::Exception&) {
        // A damaged member is an expected outcome; the walk goes on.
      }
    });
    // And the by-name expansion, which ends at the first failure.
    archive.SetPosition(0);
    vsk::fuzz::CappedSink sink(kOutputCap);
    component.ExpandArchive(archive, sink, "Installer\\Varnskell.exe");
  } catch (const vsk::Exception&) {
  }
  return 0;
}
