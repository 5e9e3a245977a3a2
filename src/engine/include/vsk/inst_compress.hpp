// TVSInstCompress: opens an archive, validates its header, walks its members
// and expands the ones whose name matches, verifying each compressed or
// custom member against its stored byte-sum checksum.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "vsk/archive_format.hpp"
#include "vsk/stream.hpp"

namespace vsk {

// The part of the component base class the component exposes: its name and
// a free integer tag.
class TComponent {
 public:
  std::string Name;
  std::int32_t Tag = 0;
};

// Direction a file-name check applies to. Published for OnCheckFile; nothing
// in the engine raises that event.
enum class TCProcessMode { cpmCompress, cpmExpand };

using TCompressEvent = std::function<void(TStream& dest, TStream& source, std::string& CompressID,
                                          std::int32_t& Outputsize, std::int32_t& checksum)>;
using TExpandEvent = std::function<void(TStream& dest, TStream& source, std::int32_t Sourcesize,
                                        std::int32_t Destsize, const std::string& CompressID,
                                        std::int32_t& checksum)>;
using TRecognizeEvent = std::function<void(const std::string& CompressID, bool& recognized)>;
using TShowProgressEvent = std::function<void(std::int32_t& PercentageDone)>;
using TFilenameCheckEvent = std::function<void(std::string& filepath, TCProcessMode mode)>;

class TVSInstCompress : public TComponent {
 public:
  // Published properties, in published order. Every one but TargetPath is a
  // plain field; OnCompress, OnCheckFile, TargetPath, MakeDirectories,
  // ExceptionOnFileError and CheckSpaceBeforeExpand belong to the writing
  // side and no expanding operation consults them.
  TCompressEvent OnCompress;
  TExpandEvent OnExpand;
  TFilenameCheckEvent OnCheckFile;
  TRecognizeEvent OnRecognize;
  TShowProgressEvent OnShowProgress;
  const std::string& TargetPath() const { return target_path_; }
  // Stores the value with a "\" appended unless it is empty or already
  // ends in one.
  void SetTargetPath(const std::string& value);
  bool MakeDirectories = false;
  bool ExceptionOnFileError = false;
  std::int32_t Key = 0;
  bool CheckSpaceBeforeExpand = false;

  // Expands every member named `member_name` (ASCII letters compared without
  // case), in archive order, appending each at `dest`'s current position.
  void ExpandFile(const std::string& archive_name, TStream& dest, const std::string& member_name);
  // The same walk over an archive that is already open, from its position.
  void ExpandArchive(TStream& archive, TStream& dest, const std::string& member_name);

  // Reads and validates the 21-byte header at the archive's position. An
  // archive with fewer than 21 bytes left yields an empty header instead.
  void ReadArchiveHeader(TStream& archive, ArchiveHeader& header, std::string& method_id);
  void InitArchiveHeader(ArchiveHeader& header, std::string_view method_id,
                         std::uint8_t archive_type, std::int32_t total_size) const;
  // Index of `method_id` in the method table, 3 when OnRecognize accepts it.
  std::uint8_t RecognizeMethod(const std::string& method_id);
  // False when the header or the name could not be read whole, and for a
  // negative NameLength or CompressedSize, which no archive can hold.
  bool ReadEntryHeader(TStream& archive, EntryHeader& entry, std::string& name);
  // Expands one member whose stored bytes start at `source`'s position.
  void ExpandEntry(TStream& dest, TStream& source, std::int32_t compressed_size,
                   std::int32_t expanded_size, std::int32_t stored_checksum, std::uint8_t method,
                   const std::string& method_id, std::int32_t key_flag);

 private:
  std::string target_path_;
};

}  // namespace vsk
