// vskarc create: packs files and directories into a new archive, which
// appears under its name only once it is complete.
#include <array>
#include <cinttypes>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "atomic_output.hpp"
#include "commands.hpp"
#include "create_members.hpp"
#include "progress_bar.hpp"
#include "vsk/archive_writer.hpp"

namespace vsk::tools {

namespace {

struct MethodChoice {
  std::string_view option;
  std::uint8_t method;
};

constexpr std::array kMethodChoices{
    MethodChoice{"stored", kMethodStored}, MethodChoice{"rle", kMethodRLE},
    MethodChoice{"lzh", kMethodLZH1}, MethodChoice{"lh5", kMethodLH5}};

std::uint8_t MethodOption(const ParsedArgs& args) {
  const auto text = args.Value("method");
  if (!text) return kMethodLH5;
  for (const auto& choice : kMethodChoices) {
    if (choice.option == *text) return choice.method;
  }
  throw UsageError("--method takes stored, rle, lzh or lh5, not '" + *text + "'");
}

std::int32_t Percentage(std::int64_t done, std::int64_t total) {
  return total <= 0 ? 100 : static_cast<std::int32_t>(done * 100 / total);
}

struct CreateSummary {
  int members = 0;
  std::int64_t expanded = 0;
  std::int64_t stored = 0;
  int left_unscrambled = 0;  // stored uncompressed although a key was given
};

CreateSummary WriteMembers(TStream& out, const std::vector<PlannedMember>& members,
                           std::uint8_t method, std::int32_t key, ProgressBar& bar) {
  ArchiveWriterOptions options;
  options.Method = method;
  options.Key = key;
  if (bar.Enabled()) {
    options.Progress = [&bar](std::int64_t done, std::int64_t total) {
      bar.Update(Percentage(done, total));
    };
  }
  ArchiveWriter writer(out, std::move(options));
  CreateSummary summary;
  for (const PlannedMember& member : members) {
    bar.Start(Printable(member.name));
    const EntryHeader entry = writer.AddFile(member.name, member.path);
    bar.Finish();
    ++summary.members;
    summary.expanded += entry.ExpandedSize;
    summary.stored += entry.CompressedSize;
    if (key != 0 && entry.Method == kMethodStored && entry.ExpandedSize > 0)
      ++summary.left_unscrambled;
  }
  writer.Finish();
  return summary;
}

}  // namespace

int RunCreate(const ParsedArgs& args) {
  if (args.positional.size() < 2) throw UsageError("create needs ARCHIVE and at least one FILE");
  const std::string& archive_path = args.positional[0];
  const std::span<const std::string> files = std::span(args.positional).subspan(1);
  const std::uint8_t method = MethodOption(args);
  const std::int32_t key = KeyOption(args);

  const std::vector<PlannedMember> members =
      PlanMembers(files, args.Value("directory"), archive_path);
  ProgressBar bar(stderr, WantProgress(args));
  AtomicOutputFile out(archive_path);
  const CreateSummary summary = WriteMembers(out.Stream(), members, method, key, bar);
  out.Commit();

  std::printf("Created %s (method %s): %d member%s, %" PRId64 " bytes, %" PRId64 " bytes stored\n",
              archive_path.c_str(), MethodDisplayName(method).c_str(), summary.members,
              summary.members == 1 ? "" : "s", summary.expanded, summary.stored);
  if (summary.left_unscrambled > 0) {
    // The reader copies stored members as they are, so they cannot be keyed.
    std::fprintf(stderr,
                 "vskarc: warning: %d member%s stored uncompressed, in the clear: stored members "
                 "are never scrambled\n",
                 summary.left_unscrambled, summary.left_unscrambled == 1 ? " is" : "s are");
  }
  return 0;
}

}  // namespace vsk::tools
