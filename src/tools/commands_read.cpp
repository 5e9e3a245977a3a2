// list, extract and test: the reading side of vskarc.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "atomic_output.hpp"
#include "commands.hpp"
#include "progress_bar.hpp"
#include "tool_streams.hpp"
#include "vsk/archive_walk.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/file_stream.hpp"
#include "vsk/inst_compress.hpp"

namespace vsk::tools {

namespace {

void AttachProgress(TVSInstCompress& component, ProgressBar& bar) {
  if (!bar.Enabled()) return;
  component.OnShowProgress = [&bar](std::int32_t& percentage) { bar.Update(percentage); };
}

// Counts the members an extraction of `name` would expand, reading headers only.
int CountMatches(const std::string& archive_path, const std::string& name) {
  TVSInstCompress component;
  TFileStream archive(archive_path, TFileMode::OpenReadExclusive);
  const ArchiveInfo info = ReadArchiveInfo(component, archive);
  int matches = 0;
  WalkMembers(component, archive, info, [&](const ArchiveMember& member) {
    if (SameMemberName(member.Name, name)) ++matches;
  });
  return matches;
}

// True when both names lead to one existing file.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// Expands into `output` through a temporary file. After a failure the bytes
// written so far are kept (as for any destination) when `output` is new, but
// they never replace an existing file.
void ExtractToFile(TVSInstCompress& component, const std::string& archive, const std::string& name,
                   const std::string& output) {
  std::error_code ignored;
  const bool existed = std::filesystem::exists(output, ignored);
  AtomicOutputFile out(output);
  try {
    component.ExpandFile(archive, out.Stream(), name);
  } catch (...) {
    if (!existed) {
      try {
        out.Commit();
      } catch (const ToolError&) {
        // The expansion's failure is the one to report.
      }
    }
    throw;
  }
  out.Commit();
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

void PrintArchiveListing(TStream& archive, const std::string& label) {
  TVSInstCompress component;
  const std::int32_t archive_size = archive.Size();
  const ArchiveInfo info = ReadArchiveInfo(component, archive);
  if (archive_size < kArchiveHeaderSize) {
    std::printf("Archive %s: %" PRId32 " bytes, shorter than an archive header: no members\n",
                label.c_str(), archive_size);
    return;
  }
  std::printf("Archive %s: method id \"%s\", total size %" PRId32 "\n", label.c_str(),
              Printable(info.MethodId).c_str(), info.Header.TotalSize);
  std::printf("%-6s %11s %11s %4s %-8s  %s\n", "Method", "Stored", "Expanded", "Key", "Checksum",
              "Name");
  std::int64_t stored = 0;
  std::int64_t expanded = 0;
  std::int64_t end_of_members = archive.Position();
  int members = 0;
  WalkMembers(component, archive, info, [&](const ArchiveMember& m) {
    const EntryHeader& e = m.Entry;
    std::printf("%-6s %11" PRId32 " %11" PRId32 " %4" PRId32 " %08" PRIX32 "  %s\n",
                MethodDisplayName(e.Method).c_str(), e.CompressedSize, e.ExpandedSize, e.KeyFlag,
                static_cast<std::uint32_t>(e.Checksum), Printable(m.Name).c_str());
    if (static_cast<std::int64_t>(m.DataPosition) + e.CompressedSize > archive_size) {
      std::fprintf(stderr, "vskarc: warning: stored bytes of \"%s\" run past the end of %s\n",
                   Printable(m.Name).c_str(), label.c_str());
    }
    stored += e.CompressedSize;
    expanded += e.ExpandedSize;
    end_of_members = static_cast<std::int64_t>(m.DataPosition) + e.CompressedSize;
    ++members;
  });
  std::printf("%d member%s, %" PRId64 " bytes stored, %" PRId64 " bytes expanded\n", members,
              members == 1 ? "" : "s", stored, expanded);
  if (end_of_members < archive_size) {
    // The walk ended early: TotalSize was reached or a header was damaged.
    std::fprintf(stderr,
                 "vskarc: warning: %" PRId64
                 " bytes after the last member are not reached by the member walk\n",
                 archive_size - end_of_members);
  }
}

int RunList(const ParsedArgs& args) {
  const std::string& path = Positional(args, 1, 0);
  TFileStream archive(path, TFileMode::OpenReadExclusive);
  PrintArchiveListing(archive, path);
  return 0;
}

int RunExtract(const ParsedArgs& args) {
  const std::string& path = Positional(args, 2, 0);
  const std::string& name = Positional(args, 2, 1);
  TVSInstCompress component;
  component.Key = KeyOption(args);
  // Refuse before touching the destination, so a typo leaves no empty file.
  if (CountMatches(path, name) == 0) {
    throw ToolError("no member \"" + Printable(name) + "\" in " + path);
  }
  ProgressBar bar(stderr, WantProgress(args));
  AttachProgress(component, bar);
  bar.Start(Printable(name));
  const auto output = args.Value("output");
  // Creating the destination truncates it: it must not be the archive.
  if (output && SameFile(*output, path)) {
    throw ToolError("the output file " + *output + " is the archive itself");
  }
  if (output && *output != "-") {
    ExtractToFile(component, path, name, *output);
  } else {
    TStdioStream dest(stdout);
    component.ExpandFile(path, dest, name);
  }
  bar.Finish();
  std::fflush(stdout);
  return 0;
}

int RunTest(const ParsedArgs& args) {
  const std::string& path = Positional(args, 1, 0);
  TVSInstCompress component;
  component.Key = KeyOption(args);
  ProgressBar bar(stderr, WantProgress(args));
  AttachProgress(component, bar);
  TFileStream archive(path, TFileMode::OpenReadExclusive);
  const ArchiveInfo info = ReadArchiveInfo(component, archive);
  int members = 0;
  int failed = 0;
  std::optional<Exception> first_failure;
  WalkMembers(component, archive, info, [&](const ArchiveMember& m) {
    ++members;
    const std::string shown = Printable(m.Name);
    bar.Start(shown);
    TNullStream sink;
    try {
      component.ExpandEntry(sink, archive, m.Entry.CompressedSize, m.Entry.ExpandedSize,
                            m.Entry.Checksum, m.Entry.Method, info.MethodId, m.Entry.KeyFlag);
      bar.Finish();
      std::printf("OK      %s\n", shown.c_str());
    } catch (const Exception& failure) {
      bar.Finish();
      ++failed;
      if (!first_failure) first_failure = failure;
      std::printf("FAILED  %s: %s: %s\n", shown.c_str(), failure.ClassName().c_str(),
                  failure.Message().c_str());
    }
    std::fflush(stdout);
  });
  std::printf("%d member%s tested, %d failed\n", members, members == 1 ? "" : "s", failed);
  if (first_failure) throw *first_failure;
  return 0;
}

}  // namespace vsk::tools
