#include "create_members.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "commands.hpp"
#include "vsk/archive_writer.hpp"
#include "vsk/file_stream.hpp"

namespace vsk::tools {

namespace {

namespace fs = std::filesystem;

constexpr char kNameSeparator = '\\';

std::string Shortened(const std::string& name) {
  constexpr std::size_t kShown = 60;
  return name.size() <= kShown ? name : name.substr(0, kShown) + "...";
}

class MemberPlanner {
 public:
  explicit MemberPlanner(fs::path archive) : archive_(std::move(archive)) {}

  void AddArgument(const std::string& file, const fs::path& path) {
    Add(MemberNameOf(file), path, file);
  }

  std::vector<PlannedMember> Take() { return std::move(members_); }

 private:
  static void CheckName(const std::string& name) {
    if (static_cast<std::int64_t>(name.size()) > kMaxMemberNameLength) {
      throw ToolError("member name longer than " + std::to_string(kMaxMemberNameLength) +
                      " bytes: " + Shortened(name));
    }
  }

  // The archive being replaced would otherwise be packed into its successor.
  bool IsTheArchive(const fs::path& path) const {
    std::error_code ignored;
    return fs::equivalent(path, archive_, ignored);
  }

  void AddFile(const std::string& name, const fs::path& path) {
    if (IsTheArchive(path)) {
      std::fprintf(stderr, "vskarc: warning: %s is the archive itself; not packed\n",
                   Printable(name).c_str());
      return;
    }
    std::error_code error;
    const auto size = static_cast<std::int64_t>(fs::file_size(path, error));
    if (error) throw ToolError("cannot read " + path.string() + ": " + error.message());
    total_size_ += size;
    if (total_size_ > kMaxArchiveBytes) {
      throw ToolError("the files add up to more than " + std::to_string(kMaxArchiveBytes) +
                      " bytes, the most one archive can hold");
    }
    // Unreadable files fail now, before any compression work.
    TFileStream probe(path.string(), TFileMode::OpenReadShared);
    members_.push_back({name, path.string(), size});
  }

  void AddDirectory(const std::string& name, const fs::path& path) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
      entries.push_back(*it);
    if (error) throw ToolError("cannot read directory " + path.string() + ": " + error.message());
    // Byte order of the names, the same on every system and every run.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return a.path().filename().string() < b.path().filename().string();
    });
    const std::string prefix =
        name.empty() || name.back() == kNameSeparator ? name : name + kNameSeparator;
    for (const auto& entry : entries) {
      const std::string child = prefix + entry.path().filename().string();
      if (entry.is_symlink() && entry.is_directory()) {
        // As tar does: a linked directory could lead back into the walk.
        std::fprintf(stderr, "vskarc: warning: not following the directory link %s\n",
                     Printable(child).c_str());
        continue;
      }
      Add(child, entry.path(), entry.path().string());
    }
  }

  // `shown` names the file in messages: the argument as given, or the path
  // found in a directory.
  void Add(const std::string& name, const fs::path& path, const std::string& shown) {
    // Before touching the disk: such a path may be too long to open at all.
    CheckName(name);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) throw ToolError("cannot read " + shown + ": " + error.message());
    if (fs::is_directory(status)) {
      AddDirectory(name, path);
    } else if (fs::is_regular_file(status)) {
      AddFile(name, path);
    } else {
      throw ToolError("not a regular file or directory: " + shown);
    }
  }

  fs::path archive_;
  std::vector<PlannedMember> members_;
  std::int64_t total_size_ = 0;
};

}  // namespace

std::string MemberNameOf(std::string file) {
  std::replace(file.begin(), file.end(), '/', kNameSeparator);
  return file;
}

std::vector<PlannedMember> PlanMembers(std::span<const std::string> files,
                                       const std::optional<std::string>& base_dir,
                                       const std::string& archive_path) {
  MemberPlanner planner(archive_path);
  for (const std::string& file : files) {
    planner.AddArgument(file, base_dir ? fs::path(*base_dir) / file : fs::path(file));
  }
  return planner.Take();
}

}  // namespace vsk::tools
