#include "vsk/inst_compress.hpp"

#include <algorithm>

#include "vsk/archive_walk.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/file_stream.hpp"

namespace vsk {

void TVSInstCompress::SetTargetPath(const std::string& value) {
  target_path_ = value;
  if (!value.empty() && value.back() != '\\') target_path_ += '\\';
}

void TVSInstCompress::ExpandFile(const std::string& archive_name, TStream& dest,
                                 const std::string& member_name) {
  TFileStream archive(archive_name, TFileMode::OpenReadExclusive);
  ExpandArchive(archive, dest, member_name);
}

void TVSInstCompress::ExpandArchive(TStream& archive, TStream& dest,
                                    const std::string& member_name) {
  const ArchiveInfo info = ReadArchiveInfo(*this, archive);
  WalkMembers(*this, archive, info, [&](const ArchiveMember& member) {
    if (!SameMemberName(member.Name, member_name)) return;
    ExpandEntry(dest, archive, member.Entry.CompressedSize, member.Entry.ExpandedSize,
                member.Entry.Checksum, member.Entry.Method, info.MethodId, member.Entry.KeyFlag);
  });
}

void TVSInstCompress::ReadArchiveHeader(TStream& archive, ArchiveHeader& header,
                                        std::string& method_id) {
  method_id.assign(3, '\0');
  if (archive.Size() - archive.Position() < kArchiveHeaderSize) {
    InitArchiveHeader(header, method_id, caMulti, 0);
    return;
  }
  ArchiveHeaderBytes bytes{};
  archive.ReadBuffer(bytes.data(), kArchiveHeaderSize);
  header = DecodeArchiveHeader(bytes);
  if (header.Signature != kArchiveSignature) throw EInvalidHeader();
  if (header.ArchiveType != caMulti) throw EInvalidHeaderArchiveType();
  method_id.assign(header.MethodId.begin(), header.MethodId.end());
  // Only to refuse an id that neither the table nor OnRecognize accepts.
  RecognizeMethod(method_id);
}

void TVSInstCompress::InitArchiveHeader(ArchiveHeader& header, std::string_view method_id,
                                        std::uint8_t archive_type, std::int32_t total_size) const {
  header.Signature = kArchiveSignature;
  header.MethodId = {};
  std::copy_n(method_id.begin(), std::min<std::size_t>(method_id.size(), 3),
              header.MethodId.begin());
  header.TotalSize = total_size;
  header.ArchiveType = archive_type;
  header.Reserved = 0;
  header.KeyFlag = Key > 0 ? kKeyFlagScrambled : 0;
}

std::uint8_t TVSInstCompress::RecognizeMethod(const std::string& method_id) {
  for (std::size_t index = 0; index < kMethodIds.size(); ++index) {
    if (method_id == kMethodIds[index]) return static_cast<std::uint8_t>(index);
  }
  if (OnRecognize) {
    bool recognized = false;
    OnRecognize(method_id, recognized);
    if (recognized) return kMethodCustom;
  }
  throw EUnrecognizedCompressionMethod(method_id);
}

bool TVSInstCompress::ReadEntryHeader(TStream& archive, EntryHeader& entry, std::string& name) {
  EntryHeaderBytes bytes{};
  if (archive.Read(bytes.data(), kEntryHeaderSize) != kEntryHeaderSize) return false;
  entry = DecodeEntryHeader(bytes);
  // Negative sizes cannot describe a member; a negative CompressedSize would
  // also move the walk backwards.
  if (entry.NameLength < 0 || entry.CompressedSize < 0) return false;
  name.assign(static_cast<std::size_t>(entry.NameLength), '\0');
  return archive.Read(name.data(), entry.NameLength) == entry.NameLength;
}

void TVSInstCompress::ExpandEntry(TStream& dest, TStream& source, std::int32_t compressed_size,
                                  std::int32_t expanded_size, std::int32_t stored_checksum,
                                  std::uint8_t method, const std::string& method_id,
                                  std::int32_t key_flag) {
  if (method != kMethodStored && key_flag > 0 && Key == 0) throw EInvalidKey();
  std::int32_t sum = 0;
  switch (method) {
    case kMethodStored:
      // Stored members are copied as they are and never verified.
      if (compressed_size > 0) dest.CopyFrom(source, compressed_size);
      return;
    case kMethodRLE:
    case kMethodLZH1:
    case kMethodLH5:
      try {
        RunCodec(*this, dest, source, compressed_size, expanded_size, method, sum,
                 key_flag == kKeyFlagScrambled);
      } catch (const ELZHBadDecodeTable&) {
        // A wrong key garbles the code lengths before anything else.
        if (key_flag > 0) throw EInvalidKey();
        throw;
      }
      break;
    case kMethodCustom:
      if (OnExpand) OnExpand(dest, source, compressed_size, expanded_size, method_id, sum);
      break;
    default:
      break;
  }
  if (sum == stored_checksum) return;
  if (key_flag <= 0) throw EBadChecksum();
  const auto keyed_sum =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(Key) + static_cast<std::uint32_t>(sum));
  if (keyed_sum == stored_checksum) return;
  throw EInvalidKey();
}

}  // namespace vsk
