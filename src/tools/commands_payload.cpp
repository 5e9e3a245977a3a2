// stamp and payload: putting a payload behind a launcher, and looking at one.
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <string>

#include "atomic_output.hpp"
#include "commands.hpp"
#include "payload_layout.hpp"
#include "payload_locator.hpp"
#include "stream_window.hpp"
#include "vsk/archive_walk.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/file_stream.hpp"

namespace vsk::tools {

namespace {

constexpr std::string_view kInstallerMember = "Installer\\Varnskell.exe";
constexpr std::int64_t kMaxFileSize = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kOffsetFieldSize = 4;

std::array<std::uint8_t, 4> LittleEndian(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

std::string Hex(std::int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%" PRIX64 " (%" PRId64 ")", value, value);
  return text;
}

// The launcher's single marker, which must still say "no payload".
std::int64_t CheckLauncher(const std::string& path, TStream& launcher) {
  const auto markers = FindMarkerPositions(launcher);
  if (markers.empty()) {
    throw ToolError(path + " holds no payload marker \"VSK_SIZE\": not a launcher");
  }
  if (markers.size() > 1) {
    throw ToolError(path + " holds " + std::to_string(markers.size()) +
                    " copies of the payload marker; a launcher has exactly one");
  }
  const std::int64_t marker = markers.front();
  std::uint8_t stored[kOffsetFieldSize] = {};
  launcher.SetPosition(static_cast<std::int32_t>(marker + launcher::kMarkerTextSize));
  if (launcher.Read(stored, kOffsetFieldSize) != kOffsetFieldSize) {
    throw ToolError(path + ": the payload marker has no room for an offset behind it");
  }
  if (stored[0] != launcher::kNoPayloadFlag) {
    throw ToolError(path + " already carries a payload (its marker holds an offset)");
  }
  return marker;
}

// Validates that `path` holds an archive and tells whether it has the
// installer member.
bool CheckArchive(const std::string& path, std::int32_t size) {
  TFileStream file(path, TFileMode::OpenReadShared);
  TVSInstCompress component;
  if (size < kArchiveHeaderSize) throw ToolError(path + " is not an archive: it is too short");
  bool has_installer = false;
  try {
    const ArchiveInfo info = ReadArchiveInfo(component, file);
    WalkMembers(component, file, info, [&](const ArchiveMember& member) {
      if (SameMemberName(member.Name, kInstallerMember)) has_installer = true;
    });
  } catch (const Exception& failure) {
    throw ToolError(path + " is not an archive: " + failure.Message());
  }
  return has_installer;
}

std::int32_t FileSizeOf(const std::string& path) {
  TFileStream file(path, TFileMode::OpenReadShared);
  const std::int64_t end = file.Seek(0, TSeekOrigin::soEnd);
  if (end >= kMaxFileSize) throw ToolError(path + " is too large for a payload");
  return static_cast<std::int32_t>(end);
}

void AppendBlock(TStream& out, const std::string& path, std::int32_t size) {
  const auto length = LittleEndian(size);
  out.WriteBuffer(length.data(), kOffsetFieldSize);
  TFileStream archive(path, TFileMode::OpenReadShared);
  out.CopyFrom(archive, size);
}

void PrintBlock(std::size_t index, const PayloadBlockInfo& block, std::int64_t file_size) {
  std::printf("Block %zu:      length field at %s, archive of %" PRId32 " bytes", index + 1,
              Hex(block.offset).c_str(), block.length);
  if (!block.complete) {
    std::printf(" -- runs past the end of the file\n");
    return;
  }
  const std::int64_t end = block.offset + kOffsetFieldSize + block.length;
  if (end == file_size) {
    std::printf(", ends at the end of the file\n");
  } else {
    std::printf(", ends at %s\n", Hex(end).c_str());
  }
}

int ExtractPayloadBlock(const ParsedArgs& args, const std::string& path,
                        const PayloadLayout& layout, const std::string& which) {
  if (which != "1" && which != "2") throw UsageError("--extract takes 1 or 2");
  const auto out_path = args.Value("output");
  if (!out_path) throw UsageError("--extract needs -o FILE");
  if (layout.located_offset <= 0) throw ToolError(path + " carries no payload");
  const std::size_t index = which == "1" ? 0 : 1;
  if (index >= layout.blocks.size() || !layout.blocks[index].complete) {
    throw ToolError("block " + which + " of " + path + " is missing or runs past the end");
  }
  const PayloadBlockInfo& block = layout.blocks[index];
  TFileStream file(path, TFileMode::OpenReadShared);
  file.SetPosition(static_cast<std::int32_t>(block.offset + kOffsetFieldSize));
  AtomicOutputFile out(*out_path);
  out.Stream().CopyFrom(file, block.length);
  out.Commit();
  std::printf("Extracted the archive of block %s (%" PRId32 " bytes) to %s\n", which.c_str(),
              block.length, out_path->c_str());
  return 0;
}

}  // namespace

int RunStamp(const ParsedArgs& args) {
  const std::string& launcher_path = Positional(args, 3, 0);
  const std::string& first = Positional(args, 3, 1);
  const std::string& second = Positional(args, 3, 2);
  const auto out_path = args.Value("output");
  if (!out_path) throw UsageError("stamp needs -o OUT");

  const std::int32_t launcher_size = FileSizeOf(launcher_path);
  std::int64_t marker = 0;
  {
    TFileStream launcher(launcher_path, TFileMode::OpenReadShared);
    marker = CheckLauncher(launcher_path, launcher);
  }
  const std::int32_t first_size = FileSizeOf(first);
  const std::int32_t second_size = FileSizeOf(second);
  const bool has_installer = CheckArchive(first, first_size);
  CheckArchive(second, second_size);
  if (!has_installer && !args.Has("force")) {
    throw ToolError(first + " holds no member \"" + std::string(kInstallerMember) +
                    "\" (use --force to stamp it anyway)");
  }
  const std::int64_t total =
      std::int64_t{launcher_size} + 2 * kOffsetFieldSize + first_size + second_size;
  if (total > kMaxFileSize) throw ToolError("the stamped setup would exceed 2147483647 bytes");

  AtomicOutputFile out(*out_path);
  {
    TFileStream launcher(launcher_path, TFileMode::OpenReadShared);
    out.Stream().CopyFrom(launcher, launcher_size);
  }
  // The first block starts right behind the launcher's image.
  const auto offset = LittleEndian(launcher_size);
  out.Stream().SetPosition(static_cast<std::int32_t>(marker + launcher::kMarkerTextSize));
  out.Stream().WriteBuffer(offset.data(), kOffsetFieldSize);
  out.Stream().Seek(0, TSeekOrigin::soEnd);
  AppendBlock(out.Stream(), first, first_size);
  AppendBlock(out.Stream(), second, second_size);
  out.Commit();
  std::printf("Stamped %s: launcher %" PRId32 " bytes, marker at %s, first block at %s (%" PRId32
              " bytes), second block at %s (%" PRId32 " bytes)\n",
              out_path->c_str(), launcher_size, Hex(marker).c_str(), Hex(launcher_size).c_str(),
              first_size, Hex(launcher_size + kOffsetFieldSize + first_size).c_str(), second_size);
  return 0;
}

int RunPayload(const ParsedArgs& args) {
  const std::string& path = Positional(args, 1, 0);
  const PayloadLayout layout = InspectPayload(path);
  if (layout.marker_positions.empty()) {
    throw ToolError(path + " holds no payload marker \"VSK_SIZE\": not a launcher");
  }
  const auto extract = args.Value("extract");
  if (extract) return ExtractPayloadBlock(args, path, layout, *extract);

  std::printf("Setup %s: %" PRId64 " bytes\n", path.c_str(), layout.file_size);
  std::printf("Marker:       at %s", Hex(layout.marker_positions.front()).c_str());
  if (layout.marker_positions.size() > 1) {
    std::printf(" (%zu copies; the launcher uses the first it accepts)",
                layout.marker_positions.size());
  }
  std::printf("\n");
  if (!layout.stored_bytes) {
    std::printf("Stored offset: none (the marker ends the file)\n");
  } else if ((*layout.stored_bytes)[0] == launcher::kNoPayloadFlag) {
    std::printf("Stored offset: \"X\" -- a launcher without payload\n");
  } else {
    const auto& b = *layout.stored_bytes;
    const auto stored = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
        static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
    std::printf("Stored offset: %s\n", Hex(stored).c_str());
  }
  if (layout.located_offset <= 0) {
    std::printf("No payload: the launcher would only beep.\n");
    return 0;
  }
  TFileStream file(path, TFileMode::OpenReadShared);
  for (std::size_t i = 0; i < layout.blocks.size(); ++i) {
    PrintBlock(i, layout.blocks[i], layout.file_size);
  }
  for (std::size_t i = 0; i < layout.blocks.size(); ++i) {
    const PayloadBlockInfo& block = layout.blocks[i];
    if (!block.complete) continue;
    std::printf("\n");
    TStreamWindow archive(file, static_cast<std::int32_t>(block.offset + kOffsetFieldSize),
                          block.length);
    PrintArchiveListing(archive, "in block " + std::to_string(i + 1));
  }
  return 0;
}

}  // namespace vsk::tools
