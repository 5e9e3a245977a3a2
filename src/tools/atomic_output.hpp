// An output file that appears under its name only when complete: bytes go to
// a temporary file beside the target, which replaces the target on Commit().
// Without Commit() the temporary file is removed and the target is untouched.
#pragma once

#include <memory>
#include <string>

#include "vsk/file_stream.hpp"

namespace vsk::tools {

class AtomicOutputFile {
 public:
  // Raises EFCreateError when the temporary file cannot be created.
  explicit AtomicOutputFile(std::string target);
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
  ~AtomicOutputFile();

  TStream& Stream() { return *stream_; }
  // Closes the file and moves it over the target; raises ToolError on failure.
  void Commit();

 private:
  std::string target_;
  std::string temporary_;
  std::unique_ptr<TFileStream> stream_;
  bool committed_ = false;
};

}  // namespace vsk::tools
